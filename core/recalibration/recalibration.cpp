#include "tamsel/recalibration/recalibration.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <utility>

#include "tamsel/models/model_table.h"
#include "tamsel/numeric/math_functions.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/writers.h"
#include "tamsel/support/messages.h"

namespace tamsel {
namespace {

using Outcome = RecalibrationResult::Outcome;

constexpr const char* kCancelled = "The recalibration was cancelled by user action";
constexpr const char* kFitFailed =
    "An error occurred in the CubSpl function during the recalibration";
constexpr const char* kFailed = "An error occurred in the recalibration";
constexpr const char* kAlreadyAvailable =
    "This recalibration is already available for the current dataset";

RecalibrationResult Report(Outcome outcome, std::string message) {
    ShowMessage(message);
    return {outcome, 0, std::move(message)};
}

// A level outside [0, 1] gives the quartile 0 and is counted.
template <typename F>
void FillQuartiles(QuartileArrays& out, const SplineRecalibration& levels, std::size_t k,
                   F quartileAt) {
    for (double level : {levels.level25[k], levels.level50[k], levels.level75[k]}) {
        if (!IsProbability(level)) ++out.levelFaults;
    }
    out.lowQ[k] = quartileAt(levels.level25[k]);
    out.median[k] = quartileAt(levels.level50[k]);
    out.uppQ[k] = quartileAt(levels.level75[k]);
}

void FillConstant(QuartileArrays& out, std::size_t k, double value) {
    out.lowQ[k] = value;
    out.median[k] = value;
    out.uppQ[k] = value;
}

// Row k (failure index i) of the model's recalibrated quartiles.
void FillRow(const ModelInfo& model, const RawFits& fits, std::size_t k, std::int32_t i,
             const SplineRecalibration& levels, QuartileArrays& out) {
    const StoredFit fit{
        i, fits.param1[k], fits.param2[k], fits.param3[k], fits.median[k], fits.cumulativeTime[k]};
    if (const std::optional<double> limit = model.predictive->limitQuantile(fit)) {
        FillConstant(out, k, *limit);
        return;
    }
    FillQuartiles(out, levels, k, [&](double q) { return model.predictive->quantile(fit, q); });
}

// field of the row of table whose keyField is key, as a T (int or double).
template <typename T>
std::optional<T> LookUp(Database& db, const std::string& field, const std::string& keyField,
                        int key, const std::string& table) {
    const std::optional<std::string> text =
        SelectValue(db, field, keyField, std::int64_t{key}, table);
    if (!text) return std::nullopt;
    T value{};
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size()) {
        ShowMessage(kFailed);
        return std::nullopt;
    }
    return value;
}

// The column of the set's estimates for failure indexes start..end - 1, or nullopt when the
// store cannot read it or the set does not cover those indexes.
std::optional<std::vector<double>> ReadColumn(Database& db, int estimatesSetId,
                                              const std::string& field, std::size_t size) {
    std::optional<std::vector<double>> column = ReadEstimatesColumn(db, estimatesSetId, field);
    if (!column || column->size() < size) return std::nullopt;
    column->resize(size);
    return column;
}

bool AllFinite(const std::vector<double>& values, std::size_t from) {
    for (std::size_t k = from; k < values.size(); ++k) {
        if (!std::isfinite(values[k])) return false;
    }
    return true;
}

}  // namespace

std::optional<QuartileArrays> RecalibratedQuartiles(int modelId, std::int32_t start,
                                                    std::int32_t offset, const RawFits& fits,
                                                    const SplineRecalibration& levels) {
    const ModelInfo* model = FindModel(modelId);
    if (!model) return std::nullopt;
    const std::size_t size = levels.level25.size();
    QuartileArrays out{std::vector<double>(size, 0.0), std::vector<double>(size, 0.0),
                       std::vector<double>(size, 0.0)};
    for (std::size_t k = static_cast<std::size_t>(offset) + 1; k < size; ++k) {
        FillRow(*model, fits, k, start + static_cast<std::int32_t>(k) - 1, levels, out);
    }
    return out;
}

RecalibrationResult Recalibrate(Database& db, const RecalibrationRun& run,
                                const RunControl& control) {
    const std::int32_t m = run.end - run.start;
    const std::int32_t offset = run.settings.offset;
    if (m < offset + 1) {
        return Report(Outcome::Refused, "The estimates set holds " +
                                            std::to_string(std::max(m, 0)) +
                                            " predictions; at least " + std::to_string(offset + 1) +
                                            " are needed to recalibrate it.");
    }
    try {
        const std::size_t size = static_cast<std::size_t>(m) + 1;
        const std::optional<std::vector<double>> u =
            ReadColumn(db, run.estimatesSetId, "Cdf", size);
        const std::optional<std::vector<double>> f =
            ReadColumn(db, run.estimatesSetId, "Pdf", size);
        if (!u || !f) return Report(Outcome::Failed, kFailed);

        UPlot warmUp;
        for (std::int32_t k = 1; k <= offset; ++k) warmUp.Add((*u)[k]);
        if (warmUp.Size() < kMinUPlotPoints) {
            return Report(Outcome::Refused,
                          "The first " + std::to_string(offset) +
                              " predictions of the estimates set give fewer than " +
                              std::to_string(kMinUPlotPoints - 2) +
                              " distinct u-values between 0 and 1: there is nothing to "
                              "recalibrate with.");
        }

        const SplineRecalibration spline = CubSpl(*u, *f, run.settings, control);
        if (spline.status == SplineStatus::Cancelled) return Report(Outcome::Cancelled, kCancelled);
        if (spline.status == SplineStatus::FitFailed) return Report(Outcome::Failed, kFitFailed);

        RawFits fits;
        const std::optional<int> dataSetId =
            LookUp<int>(db, "DataSetID", "EstimatesSetID", run.estimatesSetId, "EstimatesSets");
        if (!dataSetId) return Report(Outcome::Failed, kFailed);
        std::optional<std::vector<double>> times =
            ReadFailureTimesColumn(db, *dataSetId, "CumulativeTime", run.start);
        const std::pair<std::vector<double>*, const char*> columns[] = {
            {&fits.param1, "Parameter1"},
            {&fits.param2, "Parameter2"},
            {&fits.param3, "Parameter3"},
            {&fits.median, "Median"}};
        for (const auto& [column, field] : columns) {
            std::optional<std::vector<double>> read =
                ReadColumn(db, run.estimatesSetId, field, size);
            if (!read) return Report(Outcome::Failed, kFailed);
            *column = std::move(*read);
        }
        if (!times || times->size() < size) return Report(Outcome::Failed, kFailed);
        times->resize(size);
        fits.cumulativeTime = std::move(*times);

        const std::optional<QuartileArrays> quartiles =
            RecalibratedQuartiles(run.modelId, run.start, offset, fits, spline);
        if (!quartiles) return Report(Outcome::Failed, kFailed);
        for (std::int32_t k = 0; k < quartiles->levelFaults; ++k) {
            ShowMessage(MathFaultText(MathFault::PercentileLevel));
        }
        const auto from = static_cast<std::size_t>(offset) + 1;
        for (const std::vector<double>* stored :
             {&spline.recalCdf, &spline.recalPdf, &quartiles->lowQ, &quartiles->median,
              &quartiles->uppQ}) {
            if (!AllFinite(*stored, from)) return Report(Outcome::Failed, kFailed);
        }

        const int predictionsSetId = StorePredictionsSet(
            db, run.estimatesSetId, run.recalibrationMethodId, run.start, run.end, offset,
            spline.recalCdf, spline.recalPdf, quartiles->lowQ, quartiles->median, quartiles->uppQ);
        if (predictionsSetId == 0) return Report(Outcome::Failed, kFailed);
        return {Outcome::Stored, predictionsSetId, ""};
    } catch (const std::exception&) {
        return Report(Outcome::Failed, kFailed);
    }
}

RecalibrationResult ApplyRecalibration(Database& db, int estimatesSetId, int recalibrationMethodId,
                                       const RunControl& control) {
    if (FindPredictionsSet(db, estimatesSetId, recalibrationMethodId) > 0) {
        return Report(Outcome::Refused, kAlreadyAvailable);
    }
    RecalibrationResult failed{Outcome::Failed, 0, ""};
    const std::string sets = "EstimatesSets";
    const std::string methods = "RecalibrationMethods";
    const std::optional<int> modelId =
        LookUp<int>(db, "ModelID", "EstimatesSetID", estimatesSetId, sets);
    const std::optional<int> dataSetId =
        modelId ? LookUp<int>(db, "DataSetID", "EstimatesSetID", estimatesSetId, sets)
                : std::nullopt;
    const std::optional<int> rangeId =
        dataSetId ? LookUp<int>(db, "RangeID", "EstimatesSetID", estimatesSetId, sets)
                  : std::nullopt;
    if (!rangeId) return failed;
    const std::optional<RangeInfo> range = GetRange(db, *dataSetId, *rangeId);
    if (!range) return failed;
    const std::optional<int> iter =
        LookUp<int>(db, "Iter", "RecalibrationMethodID", recalibrationMethodId, methods);
    const std::optional<int> ni =
        iter ? LookUp<int>(db, "NI", "RecalibrationMethodID", recalibrationMethodId, methods)
             : std::nullopt;
    const std::optional<double> sqMax =
        ni ? LookUp<double>(db, "SqMax", "RecalibrationMethodID", recalibrationMethodId, methods)
           : std::nullopt;
    if (!sqMax) return failed;

    // The set's own range end: a set that ends before the last failure has no predictions
    // beyond it.
    const RecalibrationRun run{
        .estimatesSetId = estimatesSetId,
        .modelId = *modelId,
        .start = range->rangeStart,
        .end = range->rangeEnd,
        .recalibrationMethodId = recalibrationMethodId,
        .settings = SplineSettings{*iter, *ni, *sqMax, kRecalibrationOffset},
    };
    return Recalibrate(db, run, control);
}

bool EstimatesAvailable(Database& db, const std::string& dataSetName) {
    const std::optional<RowSet> sets = BindEstimatesSets(db, dataSetName);
    if (!sets) return false;
    if (sets->rows.empty()) {
        ShowMessage(JoinLines({"There are no estimates calculated for the current dataset.",
                               "Please, apply a model first."}));
        return false;
    }
    return true;
}

}  // namespace tamsel
