#include "tamsel/workbench/recalibrate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "keep_work.h"
#include "recalibration_rows.h"
#include "tamsel/numeric/math_functions.h"
#include "tamsel/recalibration/recalibration.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/sets.h"
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

constexpr const char* kSetDeleted =
    "The estimates set was deleted by another user or program while it was being "
    "recalibrated, so nothing was stored.";

// What storing came to besides the new set's key: a twin stored meanwhile, or the estimates
// set deleted meanwhile.
constexpr int kDuplicate = -1;
constexpr int kDeleted = -2;

RecalibrationResult Report(Outcome outcome, std::string message) {
    ShowMessage(message);
    return {outcome, 0, std::move(message)};
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

RecalibrationRun MakeRecalibrationRun(const EstimatesSetInfo& set,
                                      const RecalibrationMethodInfo& method) {
    // The set's own range end: a set that ends before the last failure has no predictions
    // beyond it.
    return RecalibrationRun{
        .estimatesSetId = set.id,
        .dataSetId = set.dataSetId,
        .modelId = set.modelNumber,
        .start = set.rangeStart,
        .end = set.rangeEnd,
        .recalibrationMethodId = method.id,
        .settings = SplineSettings{method.iter, method.ni, method.sqMax, kRecalibrationOffset},
    };
}

std::variant<RecalibratedRows, RecalibrationResult> RecalibrateRows(Database& db,
                                                                    const RecalibrationRun& run,
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
        // Everything is read before the long fit: another program may delete the set meanwhile,
        // which the store then tells.
        RawFits fits;
        std::optional<std::vector<double>> times =
            ReadFailureTimesColumn(db, run.dataSetId, "CumulativeTime", run.start);
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

        SplineRecalibration spline = CubSpl(*u, *f, run.settings, control);
        if (spline.status == SplineStatus::Cancelled) return Report(Outcome::Cancelled, kCancelled);
        if (spline.status == SplineStatus::FitFailed) return Report(Outcome::Failed, kFitFailed);

        std::optional<QuartileArrays> quartiles =
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

        return RecalibratedRows{std::move(spline.recalCdf), std::move(spline.recalPdf),
                                std::move(quartiles->lowQ), std::move(quartiles->median),
                                std::move(quartiles->uppQ)};
    } catch (const DatabaseError& error) {
        return Report(Outcome::Failed, FailureText(error, kFailed));
    } catch (const std::exception&) {
        return Report(Outcome::Failed, kFailed);
    }
}

RecalibrationResult ApplyRecalibration(Database& db, int estimatesSetId, int recalibrationMethodId,
                                       const RunControl& control) {
    if (FindPredictionsSet(db, estimatesSetId, recalibrationMethodId) > 0) {
        return Report(Outcome::Exists, kAlreadyAvailable);
    }
    if (std::optional<std::string> refusal = db.WriteRefusal()) {
        return Report(Outcome::Failed, *refusal);
    }
    const std::optional<EstimatesSetInfo> set = GetEstimatesSet(db, estimatesSetId);
    const std::optional<RecalibrationMethodInfo> method =
        set ? GetRecalibrationMethod(db, recalibrationMethodId) : std::nullopt;
    if (!method) return {Outcome::Failed, 0, ""};

    const RecalibrationRun run = MakeRecalibrationRun(*set, *method);
    std::variant<RecalibratedRows, RecalibrationResult> computed =
        RecalibrateRows(db, run, control);
    if (auto* failed = std::get_if<RecalibrationResult>(&computed)) return std::move(*failed);
    const RecalibratedRows& rows = std::get<RecalibratedRows>(computed);
    try {
        // The check for a twin and the store hold one write lock, so that a recalibration
        // another program stored meanwhile is not stored twice.
        const std::optional<int> stored = StoreKeepingWork(control, [&] {
            Transaction unit(db);
            if (!EstimatesSetExists(db, run.estimatesSetId)) return kDeleted;
            if (FindPredictionsSet(db, run.estimatesSetId, run.recalibrationMethodId) > 0) {
                return kDuplicate;
            }
            const int setId = StorePredictionsSet(db, run.estimatesSetId, run.recalibrationMethodId,
                                                  run.start, run.end, run.settings.offset, rows.cdf,
                                                  rows.pdf, rows.lowQ, rows.median, rows.uppQ);
            if (setId != 0) unit.Commit();
            return setId;
        });
        if (!stored) return {Outcome::Cancelled, 0, InUseText(db.OnServer())};
        if (*stored == kDuplicate) return Report(Outcome::Exists, kAlreadyAvailable);
        if (*stored == kDeleted) return Report(Outcome::Failed, kSetDeleted);
        if (*stored == 0) return Report(Outcome::Failed, kFailed);
        return {Outcome::Stored, *stored, ""};
    } catch (const DatabaseError& error) {
        return Report(Outcome::Failed, FailureText(error, kFailed));
    }
}

}  // namespace tamsel
