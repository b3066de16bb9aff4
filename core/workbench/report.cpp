#include "tamsel/workbench/report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>
#include <sstream>
#include <utility>

#include "tamsel/measures/trend.h"
#include "tamsel/models/sentinels.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/sets.h"
#include "tamsel/support/messages.h"
#include "tamsel/tables/text_table.h"
#include "tamsel/workbench/evaluation.h"
#include "tamsel/workbench/fit_outcomes.h"
#include "tamsel/workbench/plots.h"
#include "tamsel/workbench/project.h"
#include "tamsel/workbench/table_views.h"

namespace tamsel {

namespace {

// Keeps the messages of a part of the report that may fail, so that its reason becomes a
// note instead of a message box in the middle of writing the report.
class NoteSink : public MessageSink {
  public:
    MessageAnswer Show(const std::string& text, MessageButtons buttons, MessageIcon) override {
        std::lock_guard lock(m_mutex);
        std::string line = text;
        for (std::size_t at = line.find(kLineBreak); at != std::string::npos;
             at = line.find(kLineBreak, at)) {
            line.replace(at, kLineBreak.size(), " ");
        }
        m_last = line;
        return buttons == MessageButtons::Ok      ? MessageAnswer::Ok
               : buttons == MessageButtons::YesNo ? MessageAnswer::No
                                                  : MessageAnswer::Cancel;
    }
    std::string Last() const {
        std::lock_guard lock(m_mutex);
        return m_last;
    }

  private:
    mutable std::mutex m_mutex;
    std::string m_last;
};

// Runs part with its messages kept; when it gives nothing, adds a note with the reason.
template <typename Part>
auto Quietly(std::vector<ReportBlock>& blocks, const std::string& what, Part part) {
    NoteSink sink;
    auto result = [&] {
        ScopedMessageSink installed(&sink);
        return part();
    }();
    if (!result) {
        const std::string reason = sink.Last();
        blocks.push_back(ReportText{
            what + " could not be computed" + (reason.empty() ? "." : ": " + reason), true});
    }
    return result;
}

// Adds the chart that build draws, or a note on why there is none.
template <typename Build>
void AddChart(ReportSection& section, std::string caption, std::string description, Build build) {
    std::optional<Plot> plot = Quietly(section.blocks, "The chart \"" + caption + "\"", build);
    if (!plot) return;
    section.blocks.push_back(
        ReportChart{std::move(caption), std::move(description), std::move(plot->chart)});
}

ReportCell Cell(const DbValue& value) {
    if (const auto* d = std::get_if<double>(&value)) return {ReportNumber(*d), true};
    if (const auto* i = std::get_if<std::int64_t>(&value)) return {std::to_string(*i), true};
    if (const auto* s = std::get_if<std::string>(&value)) return {*s, false};
    return {"—", false};
}

ReportTable Table(std::string caption, const RowSet& rows,
                  const std::vector<std::size_t>& columns) {
    ReportTable table{std::move(caption), {}, {}};
    for (std::size_t c : columns) table.headings.push_back(rows.headings[c]);
    for (const auto& row : rows.rows) {
        std::vector<ReportCell>& cells = table.rows.emplace_back();
        for (std::size_t c : columns) cells.push_back(Cell(row[c]));
    }
    return table;
}

ReportTable Table(std::string caption, const RowSet& rows) {
    std::vector<std::size_t> columns(rows.headings.size());
    for (std::size_t c = 0; c < columns.size(); ++c) columns[c] = c;
    return Table(std::move(caption), rows, columns);
}

std::string SetName(const std::string& label, const PredictionSetRef& set) {
    return label + " (set " + SetRefText(set) + ")";
}

bool Wanted(const ReportRequest& request, const PredictionSetRef& set) {
    return request.sets.empty() ||
           std::find(request.sets.begin(), request.sets.end(), set) != request.sets.end();
}

std::string ShellWord(const std::string& word) {
    if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUV"
                                                "WXYZ0123456789_-+=.,/:@%") == std::string::npos) {
        return word;
    }
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// A set as the sections name it.
struct RankedSet {
    PredictionSetRef set;
    std::string label;  // ModelLabel
};

// Everything the sections share: the request, the dataset and the league table.
struct Context {
    Database& db;
    const ReportRequest& request;
    DataSetInfo dataSet;
    CurrentSelection selection;  // the dataset current
    std::vector<EstimatesSetInfo> rawSets;
    std::vector<RecalibratedSetInfo> recalibratedSets;
    std::optional<Evaluation> evaluation;  // only the sets asked for
    // The sets asked for by rank; in key order when there is no league table.
    std::vector<RankedSet> ranked;
    std::optional<std::vector<TrendPoint>> trend;
    std::vector<ReportBlock> leagueNotes;  // why there is no league table
};

std::optional<double> FinalLaplace(const Context& context) {
    if (!context.trend || context.trend->empty()) return std::nullopt;
    return context.trend->back().laplace;
}

ReportSection DataSection(Context& context) {
    ReportSection section{"data", "The data", {}};
    section.blocks.push_back(ReportText{
        "The failures as recorded: the time between successive failures and the number of "
        "failures against the cumulative test time. Shorter gaps late in testing would mean "
        "the software got worse."});
    std::optional<std::vector<FailureTimeRow>> rows =
        Quietly(section.blocks, "The failure times",
                [&] { return ReadFailureTimeRows(context.db, context.dataSet.name); });
    ReportTable facts{"The dataset", {"Property", "Value"}, {}};
    facts.rows.push_back({{"Failures", false}, {std::to_string(context.dataSet.count), true}});
    if (rows && !rows->empty()) {
        facts.rows.push_back(
            {{"Total time", false}, {ReportNumber(rows->back().cumulativeTime), true}});
    }
    facts.rows.push_back(
        {{"Source", false},
         {context.dataSet.source.empty() ? "not recorded" : context.dataSet.source, false}});
    // The file name only: the folder it was imported from means nothing to a reader.
    const std::string& file = context.dataSet.file;
    facts.rows.push_back(
        {{"Imported from", false},
         {file.empty() ? "not recorded" : file.substr(file.find_last_of('/') + 1), false}});
    section.blocks.push_back(std::move(facts));
    AddChart(section, "Interfailure and cumulative failure times",
             "The time between failures (left axis) and the cumulative time (right axis) "
             "against the failure index of dataset " +
                 context.dataSet.name + ".",
             [&] {
                 std::optional<Plot> plot = PlotFailureTimes(context.db, context.selection);
                 if (plot) ShowFailureDataSeries(plot->chart, 2);
                 return plot;
             });
    AddChart(section, "Cumulative failures",
             "The number of failures against the cumulative test time; a curve that flattens "
             "shows reliability growth.",
             [&] { return PlotCumulativeFailures(context.db, context.selection); });
    return section;
}

ReportSection TrendSection(Context& context) {
    ReportSection section{"trend", "Trend", {}};
    section.blocks.push_back(ReportText{
        "The Laplace factor u(i) tests the failures up to i for a trend. Below the lower "
        "dashed line (-1.645) reliability growth is significant at 5 %, below the dotted one "
        "(-2.326) at 1 %; growth models apply only where there is growth."});
    AddChart(section, "Laplace trend test",
             "The Laplace factor against the failure index with the one-sided critical lines "
             "at 5 % and 1 %.",
             [&] { return PlotLaplaceTrend(context.db, context.selection); });
    const std::optional<double> u = FinalLaplace(context);
    if (!u) {
        section.blocks.push_back(
            ReportText{"There is no Laplace factor at the last failure: the test needs at least 2 "
                       "failures and a cumulative time above 0.",
                       true});
        return section;
    }
    const TrendPoint& last = context.trend->back();
    const std::string at = " at failure " + std::to_string(last.failureIndex);
    ReportTable table{"Laplace test" + at, {"Quantity", "Value"}, {}};
    table.rows.push_back({{"Laplace factor" + at, false}, {ReportNumber(*u), true}});
    table.rows.push_back({{"Critical value, 5 %", false}, {ReportNumber(-kLaplace5), true}});
    table.rows.push_back({{"Critical value, 1 %", false}, {ReportNumber(-kLaplace1), true}});
    table.rows.push_back({{"Running average of interfailure times" + at, false},
                          {ReportNumber(last.runningAverage), true}});
    table.rows.push_back({{"Verdict", false}, {LaplaceConclusion(*u), false}});
    section.blocks.push_back(std::move(table));
    return section;
}

ReportSection LeagueSection(Context& context) {
    ReportSection section{"league", "League table", {}};
    section.blocks.push_back(ReportText{
        "Every set judged on the same failures by how well it predicted each next failure "
        "before it happened. The rank follows -ln PL (smaller is better); a u-plot or y-plot "
        "p-value below 0.05 means biased or drifting predictions. AIC and BIC measure the fit "
        "to the failures seen, not prediction."});
    if (!context.evaluation) {
        for (ReportBlock& note : context.leagueNotes) section.blocks.push_back(std::move(note));
        if (context.leagueNotes.empty()) {
            section.blocks.push_back(
                ReportText{"There is no league table: no model has been applied.", true});
        }
        return section;
    }
    const Evaluation& evaluation = *context.evaluation;
    const RowSet rows = EvaluationTable(evaluation, true);
    const auto verdict = std::find(rows.headings.begin(), rows.headings.end(), "Verdict");
    const std::size_t split = static_cast<std::size_t>(verdict - rows.headings.begin()) + 1;
    // Rank, set, model and kind head both tables.
    std::vector<std::size_t> quality;
    std::vector<std::size_t> criteria = {0, 1, 2, 3};
    for (std::size_t c = 0; c < rows.headings.size(); ++c) {
        (c < split ? quality : criteria).push_back(c);
    }
    section.blocks.push_back(Table("Prediction quality, failures " +
                                       std::to_string(evaluation.firstIndex) + " to " +
                                       std::to_string(evaluation.lastIndex),
                                   rows, quality));
    section.blocks.push_back(Table(
        evaluation.fitIndex > 0
            ? "Information criteria of the fits to failure " + std::to_string(evaluation.fitIndex)
            : "Information criteria",
        rows, criteria));
    return section;
}

// The sets of one kind by rank.
std::vector<RankedSet> RankedSets(const Context& context, bool recalibrated) {
    std::vector<RankedSet> sets;
    for (const RankedSet& set : context.ranked) {
        if (set.set.recalibrated == recalibrated) sets.push_back(set);
    }
    return sets;
}

// "the best" sets when they are ranked, else "the first".
std::string Best(const Context& context) { return context.evaluation ? "the best" : "the first"; }

struct PlotKindText {
    PlotType type;
    const char* name;
    const char* reading;
};

constexpr PlotKindText kPredictionPlots[] = {
    {PlotType::RawUPlots, "u-plot",
     "the closer to the diagonal, the better calibrated; a line above it means optimistic, "
     "below it pessimistic predictions; dashed: the 5 % band"},
    {PlotType::RawYPlots, "y-plot",
     "a line leaving the 5 % band around the diagonal shows a bias that changes with time"},
    {PlotType::LogPlr, "log(PLR)",
     "a rising line predicted better than the reference, a falling one worse"},
    {PlotType::RawMedians, "medians",
     "the median predicted time to the next failure at each failure"},
};

std::optional<Plot> PlotOfSets(Context& context, PlotType type,
                               const std::vector<RankedSet>& sets) {
    const std::optional<CurrentSelection> selection =
        WithSetOfDataSet(context.db, context.selection, sets.front().set);
    if (!selection) return std::nullopt;
    PlotChoices choose;
    choose.start = [&](const PlotStartBounds& bounds) -> std::optional<int> {
        return std::clamp(context.request.start.value_or(bounds.proposed), bounds.smallest,
                          bounds.largest);
    };
    choose.reference = [&]() -> std::optional<PredictionSetRef> {
        return context.evaluation ? context.evaluation->reference : context.ranked.front().set;
    };
    std::optional<Plot> plot = BuildPlot(context.db, type, *selection, choose);
    if (!plot) return std::nullopt;
    for (std::size_t i = 1; i < sets.size(); ++i) AddSetToPlot(context.db, *plot, sets[i].set);
    return plot;
}

ReportSection PredictionPlotsSection(Context& context) {
    ReportSection section{"plots", "Prediction plots", {}};
    section.blocks.push_back(ReportText{
        "How each set's predictions compared with the failures that followed, raw and "
        "recalibrated. Each line is a set; the labels carry the u- and y-plot distances and "
        "their p-values."});
    for (bool recalibrated : {false, true}) {
        const std::vector<RankedSet> sets = RankedSets(context, recalibrated);
        const std::string kind = recalibrated ? "recalibrated" : "raw";
        if (sets.empty()) {
            section.blocks.push_back(ReportText{"There are no " + kind + " sets to plot.", true});
            continue;
        }
        for (const PlotKindText& plotKind : kPredictionPlots) {
            const std::string name = std::string(plotKind.name) + " of the " + kind + " sets";
            std::string caption = name;
            caption[0] = static_cast<char>(std::toupper(caption[0]));
            AddChart(section, caption, "The " + name + ": " + plotKind.reading + ".",
                     [&] { return PlotOfSets(context, plotKind.type, sets); });
        }
    }
    return section;
}

ReportSection QuartilesSection(Context& context) {
    ReportSection section{"quartiles", "Quartiles of the best set", {}};
    section.blocks.push_back(ReportText{
        "The spread of the best set's predicted time to the next failure at each failure: "
        "the quartiles and median around the MTTF. A widening band means growing "
        "uncertainty."});
    const std::vector<RankedSet> best = RankedSets(context, false);
    if (best.empty()) {
        section.blocks.push_back(ReportText{"There is no raw set to show.", true});
        return section;
    }
    const PredictionSetRef set = best.front().set;
    AddChart(section, "Quartiles and MTTF of " + SetName(best.front().label, set),
             "The lower quartile, median, upper quartile and MTTF of the time to the next "
             "failure predicted by " +
                 Best(context) + " raw set at each failure.",
             [&] {
                 const std::optional<CurrentSelection> selection =
                     WithSetOfDataSet(context.db, context.selection, set);
                 return selection ? PlotQuartilesAndMttf(context.db, *selection) : std::nullopt;
             });
    return section;
}

std::optional<std::vector<ForecastLine>> ForecastOf(Context& context, ReportSection& section,
                                                    const RankedSet& set) {
    return Quietly(section.blocks, "The forecast of " + SetName(set.label, set.set), [&] {
        return ForecastSet(context.db, set.set, std::nullopt, context.request.query);
    });
}

ReportSection ForecastSection(Context& context) {
    ReportSection section{"forecasts", "Forecasts", {}};
    section.blocks.push_back(ReportText{
        "What the best raw and the best recalibrated set forecast from the last failure: the "
        "failure intensity, the time to the next failure, the mission and the target, with "
        "intervals (90 % for the next failure, 95 % for the rest)."});
    if (!context.evaluation) {
        section.blocks.push_back(ReportText{
            "Without a league table no set is the best: the first set of each kind is shown.",
            true});
    }
    for (bool recalibrated : {false, true}) {
        const std::vector<RankedSet> sets = RankedSets(context, recalibrated);
        if (sets.empty()) {
            section.blocks.push_back(ReportText{std::string("There is no ") +
                                                    (recalibrated ? "recalibrated" : "raw") +
                                                    " set to forecast from.",
                                                true});
            continue;
        }
        if (std::optional<std::vector<ForecastLine>> lines =
                ForecastOf(context, section, sets.front())) {
            section.blocks.push_back(Table("Forecast of " + Best(context) + " " +
                                               (recalibrated ? "recalibrated" : "raw") + " set, " +
                                               SetName(sets.front().label, sets.front().set),
                                           ForecastTable(*lines)));
        }
    }
    return section;
}

ReportSection OutcomesSection(Context& context) {
    ReportSection section{"outcomes", "Fit outcomes", {}};
    section.blocks.push_back(ReportText{
        "How the fit at each failure ended. A fit at a limit predicts as the simpler model it "
        "tends to; a singular fit repeats an earlier prediction. Sets that are not fully "
        "converged are noted below the table."});
    ReportTable table{"Fit outcomes per set",
                      {"Set", "Model", "Fits", "Converged", "At a limit", "At a boundary",
                       "Out of iterations", "Singular"},
                      {}};
    std::vector<ReportText> notes;
    for (const EstimatesSetInfo& set : context.rawSets) {
        const std::optional<std::map<int, std::string>> outcomes =
            Quietly(section.blocks, "The fit outcomes of set " + std::to_string(set.id),
                    [&] { return FitOutcomesByIndex(context.db, set.id); });
        if (!outcomes) continue;
        std::vector<ReportCell>& row = table.rows.emplace_back();
        row = {{std::to_string(set.id), true}, {ModelName(set), false}};
        if (outcomes->empty()) {
            row.push_back({"not recorded", false});
            row.resize(table.headings.size(), {"—", false});
            continue;
        }
        FitOutcomeCounts counts;
        for (const auto& [index, text] : *outcomes) {
            if (const std::optional<FitOutcome> kind = OutcomeKind(text)) {
                ++counts.byOutcome[static_cast<std::size_t>(*kind)];
            }
        }
        row.push_back({std::to_string(outcomes->size()), true});
        for (int count : counts.byOutcome) row.push_back({std::to_string(count), true});
        if (counts.Count(FitOutcome::Converged) != static_cast<int>(outcomes->size())) {
            notes.push_back(
                {ModelName(set) + " (set " + std::to_string(set.id) +
                     ") is not fully converged: " + FitSummary(counts) +
                     ". Its predictions at those failures come from a limit model or an earlier "
                     "fit; read them with care.",
                 true});
        }
    }
    if (context.rawSets.empty()) {
        section.blocks.push_back(ReportText{"No model has been applied to this dataset.", true});
    } else {
        section.blocks.push_back(std::move(table));
    }
    for (ReportText& note : notes) section.blocks.push_back(std::move(note));
    return section;
}

std::string Optional(const std::optional<double>& value) {
    return value ? ReportNumber(*value) : "none";
}

ReportSection SettingsSection(Context& context) {
    ReportSection section{"settings", "Settings", {}};
    section.blocks.push_back(ReportText{
        "What the numbers above depend on: each set's failure range and inference method "
        "with its minimiser tolerances, and the choices of this report."});
    ReportTable sets{
        "Range and inference method of each set",
        {"Set", "Model", "Range", "Inference method", "Iterations (1-D)", "Iterations (n-D)",
         "Absolute precision", "Relative precision", "Eta", "Tolerance"},
        {}};
    for (const EstimatesSetInfo& set : context.rawSets) {
        MinimisationSettings one;
        MinimisationSettings many;
        const bool read =
            Quietly(section.blocks, "The settings of set " + std::to_string(set.id), [&] {
                return GetMinimisationParameters(context.db, MinimiserSettings::OneDimensional,
                                                 set.inferenceMethodId, one) &&
                       GetMinimisationParameters(context.db, MinimiserSettings::MultiDimensional,
                                                 set.inferenceMethodId, many);
            });
        if (!read) continue;
        sets.rows.push_back(
            {{std::to_string(set.id), true},
             {ModelName(set), false},
             {std::to_string(set.rangeStart) + " to " + std::to_string(set.rangeEnd), false},
             {set.inference, false},
             {std::to_string(one.maxIter), true},
             {std::to_string(many.maxIter), true},
             {ReportNumber(many.absolutePrecision), true},
             {ReportNumber(many.relativePrecision), true},
             {ReportNumber(many.eta), true},
             {ReportNumber(many.tolerance), true}});
    }
    if (!sets.rows.empty()) section.blocks.push_back(std::move(sets));
    ReportTable choices{"Choices of this report", {"Setting", "Value"}, {}};
    const ReportRequest& request = context.request;
    if (context.evaluation) {
        choices.rows.push_back({{"Failures judged", false},
                                {std::to_string(context.evaluation->firstIndex) + " to " +
                                     std::to_string(context.evaluation->lastIndex),
                                 false}});
        choices.rows.push_back(
            {{"Log(PLR) reference", false},
             {SetName(context.evaluation->referenceLabel, context.evaluation->reference), false}});
    }
    choices.rows.push_back(
        {{"Plot start", false},
         {request.start ? std::to_string(*request.start) : "default (largest range start + 15)",
          false}});
    choices.rows.push_back({{"Mission time", false}, {Optional(request.query.mission), false}});
    choices.rows.push_back(
        {{"Target intensity", false}, {Optional(request.query.targetIntensity), false}});
    choices.rows.push_back({{"Target MTTF", false}, {Optional(request.query.targetMttf), false}});
    section.blocks.push_back(std::move(choices));
    return section;
}

ReportSection ProvenanceSection(Context& context) {
    ReportSection section{"provenance", "Provenance", {}};
    section.blocks.push_back(ReportText{
        "Where this report comes from. The digest is that of the failure times as "
        "`tamsel-cli failures DB NAME --format csv` prints them; the command writes this "
        "report again."});
    ReportTable table{"Provenance", {"Item", "Value"}, {}};
    const std::string file = context.db.FileName();
    table.rows.push_back(
        {{"Project file", false}, {file.substr(file.find_last_of('/') + 1), false}});
    if (const std::optional<RowSet> rows = Quietly(section.blocks, "The failure times", [&] {
            return FailureTimesRows(context.db, context.dataSet.id);
        })) {
        std::ostringstream csv;
        WriteCsvTable(csv, *rows);
        table.rows.push_back(
            {{"SHA-256 of the failure times", false}, {context.request.sha256(csv.str()), false}});
    }
    table.rows.push_back({{"Command", false}, {ReportCommand(file, context.request), false}});
    section.blocks.push_back(std::move(table));
    return section;
}

ReportSection SummarySection(Context& context) {
    ReportSection section{"summary", "Summary", {}};
    section.blocks.push_back(ReportText{
        "The verdict in three lines: is there reliability growth, which set predicts best "
        "and without bias, and what it forecasts."});
    const std::optional<double> u = FinalLaplace(context);
    section.blocks.push_back(
        ReportText{u ? "Trend: the Laplace factor at failure " +
                           std::to_string(context.trend->back().failureIndex) + " is " +
                           ReportNumber(*u) + ": " + LaplaceConclusion(*u) + "."
                     : "Trend: there is no Laplace factor at the last failure."});
    if (!context.evaluation || context.evaluation->sets.empty()) {
        section.blocks.push_back(ReportText{"Best set: there is no set to rank.", true});
        return section;
    }
    const SetEvaluation& best = context.evaluation->sets.front();
    section.blocks.push_back(
        ReportText{"Best set: " + SetName(best.label, best.set) + " predicted best (-ln PL " +
                   ReportNumber(best.minusLogPl) + " over failures " +
                   std::to_string(context.evaluation->firstIndex) + " to " +
                   std::to_string(context.evaluation->lastIndex) + "): " + best.verdict + "."});
    // The next failure and the mission from the best set; the target from the best raw set,
    // since a recalibrated set recalibrates the next failure only.
    const RankedSet bestSet{best.set, best.label};
    const std::vector<RankedSet> raw = RankedSets(context, false);
    const bool targetFromBest = !best.set.recalibrated || raw.empty();
    std::string forecast;
    const auto say = [&](const RankedSet& set, std::initializer_list<std::string_view> wanted) {
        const std::optional<std::vector<ForecastLine>> lines = ForecastOf(context, section, set);
        if (!lines) return;
        std::string said;
        for (const ForecastLine& line : *lines) {
            if (std::none_of(wanted.begin(), wanted.end(),
                             [&](std::string_view w) { return line.quantity.starts_with(w); })) {
                continue;
            }
            said += (said.empty() ? "" : "; ") + line.quantity + " " + Cell(line.value).text;
        }
        if (said.empty()) return;
        forecast += (forecast.empty() ? "Forecast of " : "; forecast of ") + set.label +
                    " from failure " + Cell(lines->front().value).text + ": " + said;
    };
    if (targetFromBest) {
        say(bestSet, {"Median", "Reliability", "Test time"});
    } else {
        say(bestSet, {"Median", "Reliability"});
        say(raw.front(), {"Test time"});
    }
    if (!forecast.empty()) section.blocks.push_back(ReportText{forecast + "."});
    return section;
}

}  // namespace

std::string ReportNumber(double value) {
    if (!std::isfinite(value)) return "no finite value";
    if (std::fabs(value) >= kInfiniteQuartile) return "unbounded";
    // Integer digits matter (a cumulative time of 88682); below them four are enough.
    if (std::fabs(value) >= 1e4 && std::fabs(value) < 1e15) {
        return FormatTableNumber(std::round(value), 16);
    }
    return FormatTableNumber(value == 0.0 ? 0.0 : value, 4);
}

std::string ReportCommand(const std::string& dbFileName, const ReportRequest& request) {
    std::string command =
        "tamsel-cli report " + ShellWord(dbFileName) + " " + ShellWord(request.dataName);
    if (!request.sets.empty()) {
        command += " --sets";
        for (const PredictionSetRef& set : request.sets) command += " " + SetRefText(set);
    }
    if (request.start) command += " --start " + std::to_string(*request.start);
    if (request.reference) command += " --reference " + SetRefText(*request.reference);
    const auto option = [&command](const char* name, const std::optional<double>& value) {
        if (value) command += std::string(" ") + name + " " + FormatTableNumber(*value);
    };
    option("--mission", request.query.mission);
    option("--target-intensity", request.query.targetIntensity);
    option("--target-mttf", request.query.targetMttf);
    return command + " --out " + ShellWord(request.outName);
}

std::optional<Report> BuildReport(Database& db, const ReportRequest& request) {
    if (!CheckForecastQuery(request.query)) return std::nullopt;
    if (!LookUpDataSet(db, request.dataName)) return std::nullopt;
    std::optional<DataSetInfo> dataSet = FindDataSet(db, request.dataName);
    std::optional<std::vector<EstimatesSetInfo>> rawSets = ListEstimatesSets(db, request.dataName);
    std::optional<std::vector<RecalibratedSetInfo>> recalibrated =
        ListPredictionsSets(db, request.dataName);
    if (!dataSet || !rawSets || !recalibrated) return std::nullopt;
    for (const PredictionSetRef& set : request.sets) {
        const bool known =
            set.recalibrated
                ? std::any_of(recalibrated->begin(), recalibrated->end(),
                              [&](const RecalibratedSetInfo& info) { return info.id == set.id; })
                : std::any_of(rawSets->begin(), rawSets->end(),
                              [&](const EstimatesSetInfo& info) { return info.id == set.id; });
        if (!known) {
            ShowMessage("The set " + SetRefText(set) + " is not a set of the dataset " +
                        request.dataName + ".");
            return std::nullopt;
        }
    }
    Context context{db, request, std::move(*dataSet), {}, {}, {}, {}, {}, {}, {}};
    context.selection.databaseFileName = db.FileName();
    context.selection.dataSetName = request.dataName;
    for (const EstimatesSetInfo& set : *rawSets) {
        if (Wanted(request, {set.id, false})) context.rawSets.push_back(set);
    }
    for (const RecalibratedSetInfo& set : *recalibrated) {
        if (Wanted(request, {set.id, true})) context.recalibratedSets.push_back(set);
    }
    std::vector<ReportBlock> ignored;
    context.trend = Quietly(ignored, "", [&] { return ReadTrend(db, request.dataName); });
    if (!rawSets->empty()) {
        context.evaluation = Quietly(context.leagueNotes, "The league table", [&] {
            return EvaluateDataSet(db, request.dataName, request.start, request.reference);
        });
    }
    if (context.evaluation) {
        std::erase_if(context.evaluation->sets,
                      [&](const SetEvaluation& set) { return !Wanted(request, set.set); });
        for (const SetEvaluation& set : context.evaluation->sets) {
            context.ranked.push_back({set.set, set.label});
        }
    } else {
        std::vector<PredictionSetRef> sets;
        for (const EstimatesSetInfo& set : context.rawSets) sets.push_back({set.id, false});
        for (const RecalibratedSetInfo& set : context.recalibratedSets)
            sets.push_back({set.id, true});
        for (const PredictionSetRef& set : sets) {
            if (std::optional<std::string> label =
                    Quietly(ignored, "", [&] { return ModelLabel(db, set); })) {
                context.ranked.push_back({set, std::move(*label)});
            }
        }
    }

    Report report;
    report.title = "Reliability evidence: " + request.dataName;
    report.facts = {
        {"Dataset", request.dataName}, {"Date", request.date}, {"Version", request.version}};
    report.sections.push_back(SummarySection(context));
    report.sections.push_back(DataSection(context));
    report.sections.push_back(TrendSection(context));
    report.sections.push_back(LeagueSection(context));
    report.sections.push_back(PredictionPlotsSection(context));
    report.sections.push_back(QuartilesSection(context));
    report.sections.push_back(ForecastSection(context));
    report.sections.push_back(OutcomesSection(context));
    report.sections.push_back(SettingsSection(context));
    report.sections.push_back(ProvenanceSection(context));
    return report;
}

}  // namespace tamsel
