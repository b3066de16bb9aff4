#include "tamsel/workbench/evaluation.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <system_error>

#include "stored_fit.h"
#include "tamsel/measures/measures.h"
#include "tamsel/measures/plot_types.h"
#include "tamsel/models/model_table.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/sets.h"
#include "tamsel/support/messages.h"

namespace tamsel {
namespace {

struct Candidate {
    PredictionSetRef set;
    std::string label;
    std::vector<PredictionRow> rows;
};

// The dataset's sets, raw ones first, each kind by key, and the largest range start among
// the raw ones (described in raw). nullopt after a message.
std::optional<std::vector<PredictionSetRef>> SetsOf(Database& db, const std::string& dataName,
                                                    int& largestRangeStart,
                                                    std::vector<EstimatesSetInfo>& rawSets) {
    std::optional<std::vector<EstimatesSetInfo>> raw = ListEstimatesSets(db, dataName);
    if (!raw) return std::nullopt;
    if (raw->empty()) {
        ShowMessage(JoinLines({"There are no estimates calculated for the current dataset.",
                               "Please, apply a model first."}));
        return std::nullopt;
    }
    std::optional<std::vector<RecalibratedSetInfo>> recalibrated =
        ListPredictionsSets(db, dataName);
    if (!recalibrated) return std::nullopt;
    std::vector<PredictionSetRef> sets;
    largestRangeStart = 0;
    for (const EstimatesSetInfo& set : *raw) {
        sets.push_back({set.id, false});
        largestRangeStart = std::max(largestRangeStart, set.rangeStart);
    }
    for (const RecalibratedSetInfo& set : *recalibrated) sets.push_back({set.id, true});
    rawSets = std::move(*raw);
    return sets;
}

// The failure index every raw set has fitted that the information criteria are read at:
// fitIndex when given, else the largest shared one, and the shared range [first, last].
// nullopt after a message when fitIndex is not shared; 0 when the ranges share none.
std::optional<int> CriteriaIndex(const std::vector<EstimatesSetInfo>& raw,
                                 const std::string& dataName, std::optional<int> fitIndex,
                                 int& first, int& last) {
    first = 0;
    last = raw.front().rangeEnd;
    for (const EstimatesSetInfo& set : raw) {
        first = std::max(first, set.rangeStart);
        last = std::min(last, set.rangeEnd);
    }
    if (!fitIndex) return first <= last ? last : 0;
    if (*fitIndex < first || *fitIndex > last) {
        ShowMessage("Failure " + std::to_string(*fitIndex) +
                    " is not fitted by every estimates set of the dataset " + dataName +
                    (first <= last ? ". Choose a failure from " + std::to_string(first) + " to " +
                                         std::to_string(last) + "."
                                   : "; their ranges share no failure."));
        return std::nullopt;
    }
    return fitIndex;
}

// AIC and BIC of each raw set at failure index; nullopt after a message.
std::optional<std::vector<std::optional<InformationCriteria>>> CriteriaAt(
    Database& db, const std::vector<EstimatesSetInfo>& raw, int index) {
    std::vector<std::optional<InformationCriteria>> criteria(raw.size());
    if (index == 0) return criteria;
    FailureSeries x;
    FailureSeries t;
    if (!ReadFailureTimes(db, raw.front().dataSetId, x, t)) {
        ShowMessage("An error occurred while extracting the model parameters");
        return std::nullopt;
    }
    for (std::size_t k = 0; k < raw.size(); ++k) {
        const ModelInfo* model = FindModel(raw[k].modelNumber);
        std::optional<StoredRow> row = ReadStoredRow(db, raw[k].id, index, t);
        if (!row) return std::nullopt;
        if (model) criteria[k] = CriteriaOf(*model, row->fit, row->logLhd);
    }
    return criteria;
}

std::vector<int> FailureIndices(const std::vector<PredictionRow>& rows) {
    std::vector<int> indices;
    indices.reserve(rows.size());
    for (const PredictionRow& row : rows) indices.push_back(row.failureIndex);
    return indices;
}

std::vector<int> CommonIndices(const std::vector<Candidate>& candidates) {
    std::vector<int> common = FailureIndices(candidates.front().rows);
    for (const Candidate& candidate : candidates) {
        std::vector<int> indices = FailureIndices(candidate.rows);
        std::vector<int> both;
        std::set_intersection(common.begin(), common.end(), indices.begin(), indices.end(),
                              std::back_inserter(both));
        common = std::move(both);
    }
    return common;
}

SetEvaluation Evaluate(const Candidate& candidate, const std::vector<int>& indices) {
    std::vector<double> u;
    double minusLogPl = 0.0;
    for (const PredictionRow& row : candidate.rows) {
        if (!std::binary_search(indices.begin(), indices.end(), row.failureIndex)) continue;
        u.push_back(row.cdf);
        minusLogPl -= LogDensity(row.pdf);
    }
    SetEvaluation result;
    result.set = candidate.set;
    result.label = candidate.label;
    const MeasureCurve yPlot = YPlotCurve(u);
    std::stable_sort(u.begin(), u.end());
    const MeasureCurve uPlot = UPlotCurve(u);
    result.uPlotDistance = uPlot.distance;
    result.yPlotDistance = yPlot.distance;
    result.uPlotP = uPlot.pValue;
    result.yPlotP = yPlot.pValue;
    result.verdict = BiasVerdict(uPlot.pValue, yPlot.pValue);
    result.minusLogPl = minusLogPl;
    return result;
}

}  // namespace

RowSet EvaluationTable(const Evaluation& evaluation, bool dashes) {
    const DbValue missing = dashes ? DbValue{std::string("—")} : DbValue{};
    const auto optional = [&missing](std::optional<double> value) {
        return value ? DbValue{*value} : missing;
    };
    const std::string fit = " (fit to " + std::to_string(evaluation.fitIndex) + ")";
    RowSet table;
    table.headings = {"Rank",
                      "Set",
                      "Model",
                      "Kind",
                      "Points",
                      "From",
                      "To",
                      "U-plot KS",
                      "U-plot p",
                      "Y-plot KS",
                      "Y-plot p",
                      "-ln PL",
                      "log(PLR) vs " + evaluation.referenceLabel,
                      "Verdict",
                      "AIC" + fit,
                      "BIC" + fit};
    for (const SetEvaluation& set : evaluation.sets) {
        table.rows.push_back(
            {std::int64_t{set.rank}, SetRefText(set.set), set.label,
             std::string(set.set.recalibrated ? "recalibrated" : "raw"),
             std::int64_t{evaluation.points}, std::int64_t{evaluation.firstIndex},
             std::int64_t{evaluation.lastIndex}, set.uPlotDistance, optional(set.uPlotP),
             set.yPlotDistance, optional(set.yPlotP), set.minusLogPl, set.logPlr, set.verdict,
             optional(set.criteria ? std::optional(set.criteria->aic) : std::nullopt),
             optional(set.criteria ? std::optional(set.criteria->bic) : std::nullopt)});
    }
    return table;
}

std::string SetRefText(const PredictionSetRef& set) {
    return (set.recalibrated ? "p" : "") + std::to_string(set.id);
}

std::optional<PredictionSetRef> ParseSetRef(const std::string& text) {
    PredictionSetRef set;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && (*begin == 'p' || *begin == 'P')) {
        set.recalibrated = true;
        ++begin;
    }
    auto [stop, error] = std::from_chars(begin, end, set.id);
    if (begin == end || error != std::errc() || stop != end || set.id < 1) return std::nullopt;
    return set;
}

std::optional<Evaluation> EvaluateDataSet(Database& db, const std::string& dataName,
                                          std::optional<int> plotStart,
                                          std::optional<PredictionSetRef> reference,
                                          std::optional<int> fitIndex) {
    std::optional<int> dataSetId = FindDataSetId(db, dataName);
    if (!dataSetId) return std::nullopt;
    if (*dataSetId == 0) {
        ShowMessage("There is no dataset named \"" + dataName + "\".");
        return std::nullopt;
    }
    int largestRangeStart = 0;
    std::vector<EstimatesSetInfo> raw;
    std::optional<std::vector<PredictionSetRef>> sets =
        SetsOf(db, dataName, largestRangeStart, raw);
    if (!sets) return std::nullopt;
    int fitFirst = 0;
    int fitLast = 0;
    const std::optional<int> criteriaIndex =
        CriteriaIndex(raw, dataName, fitIndex, fitFirst, fitLast);
    if (!criteriaIndex) return std::nullopt;
    const PredictionSetRef referenceSet = reference.value_or(sets->front());
    auto referencePosition = std::find(sets->begin(), sets->end(), referenceSet);
    if (referencePosition == sets->end()) {
        ShowMessage("The reference set " + SetRefText(referenceSet) +
                    " is not a set of the dataset " + dataName + ".");
        return std::nullopt;
    }
    const int start = plotStart.value_or(largestRangeStart + kMixedPlotLag);

    // The sets with their rows from failure first on.
    auto candidatesFrom = [&](int first) -> std::optional<std::vector<Candidate>> {
        std::vector<Candidate> candidates;
        for (const PredictionSetRef& set : *sets) {
            std::optional<std::string> label = ModelLabel(db, set);
            if (!label) return std::nullopt;
            std::optional<std::vector<PredictionRow>> rows = ReadPredictionRows(db, set, first);
            if (!rows) return std::nullopt;
            candidates.push_back({set, *label, std::move(*rows)});
        }
        return candidates;
    };
    std::optional<std::vector<Candidate>> candidates = candidatesFrom(start);
    if (!candidates) return std::nullopt;
    const std::vector<int> indices = CommonIndices(*candidates);
    if (indices.empty()) {
        std::string message = "The sets of the dataset " + dataName +
                              " predict no failure in common from failure " +
                              std::to_string(start) + " on.";
        // Where an earlier start would do, say which.
        const std::optional<std::vector<Candidate>> all = candidatesFrom(1);
        if (!all) return std::nullopt;
        const std::vector<int> common = CommonIndices(*all);
        message += common.empty() ? " Their ranges have no failure in common."
                                  : " Judge from failure " + std::to_string(common.back()) +
                                        " or earlier: the last that all of them predict.";
        ShowMessage(message);
        return std::nullopt;
    }

    Evaluation evaluation;
    evaluation.firstIndex = indices.front();
    evaluation.lastIndex = indices.back();
    evaluation.points = static_cast<int>(indices.size());
    evaluation.reference = referenceSet;
    std::optional<std::vector<std::optional<InformationCriteria>>> criteria =
        CriteriaAt(db, raw, *criteriaIndex);
    if (!criteria) return std::nullopt;
    evaluation.fitIndex = *criteriaIndex;
    evaluation.fitFirst = fitFirst;
    evaluation.fitLast = fitLast;
    for (std::size_t k = 0; k < candidates->size(); ++k) {
        evaluation.sets.push_back(Evaluate((*candidates)[k], indices));
        // Raw sets come first, in the order of raw; recalibrated ones have no fit of their own.
        if (k < criteria->size()) evaluation.sets.back().criteria = (*criteria)[k];
    }
    const std::size_t referenceIndex = static_cast<std::size_t>(referencePosition - sets->begin());
    evaluation.referenceLabel = evaluation.sets[referenceIndex].label;
    const double referenceMinusLogPl = evaluation.sets[referenceIndex].minusLogPl;
    for (SetEvaluation& set : evaluation.sets) set.logPlr = referenceMinusLogPl - set.minusLogPl;

    std::stable_sort(
        evaluation.sets.begin(), evaluation.sets.end(),
        [](const SetEvaluation& a, const SetEvaluation& b) { return a.minusLogPl < b.minusLogPl; });
    for (std::size_t k = 0; k < evaluation.sets.size(); ++k) {
        const bool tied =
            k > 0 && evaluation.sets[k].minusLogPl == evaluation.sets[k - 1].minusLogPl;
        evaluation.sets[k].rank = tied ? evaluation.sets[k - 1].rank : static_cast<int>(k) + 1;
    }
    return evaluation;
}

}  // namespace tamsel
