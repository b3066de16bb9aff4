#include "tamsel/workbench/forecast.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "stored_fit.h"
#include "tamsel/prediction/information_criteria.h"
#include "tamsel/recalibration/recalibration.h"
#include "tamsel/store/sets.h"
#include "tamsel/support/messages.h"
#include "tamsel/tables/text_table.h"
#include "tamsel/workbench/evaluation.h"
#include "tamsel/workbench/fit_outcomes.h"
#include "tamsel/workbench/project.h"

namespace tamsel {
namespace {

constexpr const char* kNotDefined = "not defined";

std::string IndexText(int index) { return std::to_string(index); }

// The raw u-values and densities of the estimates set's predictions up to the one made at
// failure index, indexed 1..M like CubSpl's inputs. The last prediction of a set has no
// observation yet; its own value only enters its recalibrated u-value, so any will do.
std::optional<std::pair<std::vector<double>, std::vector<double>>> RawPredictions(
    Database& db, const EstimatesSetInfo& raw, int index) {
    std::optional<std::vector<double>> u = ReadEstimatesColumn(db, raw.id, "Cdf");
    std::optional<std::vector<double>> f = u ? ReadEstimatesColumn(db, raw.id, "Pdf") : u;
    if (!u || !f) return std::nullopt;
    const auto size = static_cast<std::size_t>(index - raw.rangeStart) + 2;
    if (u->size() + 1 < size || f->size() + 1 < size) {
        ShowMessage("An error occurred in the recalibration");
        return std::nullopt;
    }
    u->resize(size, 0.5);
    f->resize(size, 1.0);
    return std::make_pair(std::move(*u), std::move(*f));
}

std::optional<RecalibratingFunction> RefitRecalibration(Database& db, const EstimatesSetInfo& raw,
                                                        int methodId, int index) {
    std::optional<RecalibrationMethodInfo> method = GetRecalibrationMethod(db, methodId);
    if (!method) return std::nullopt;
    auto predictions = RawPredictions(db, raw, index);
    if (!predictions) return std::nullopt;
    const SplineSettings settings{method->iter, method->ni, method->sqMax, kRecalibrationOffset};
    SplineRecalibration spline = CubSpl(predictions->first, predictions->second, settings, {});
    if (spline.status != SplineStatus::Succeeded || !spline.last) {
        ShowMessage("The recalibration of the " + std::string(FindModel(raw.modelNumber)->code) +
                    " set could not be fitted again at failure " + IndexText(index) +
                    ", so it gives no forecast there. Forecast from another failure index.");
        return std::nullopt;
    }
    return std::move(spline.last);
}

// How the raw fit at fit.index ended: as stored, or, for a set stored before outcomes were
// kept, a limit where the record holds a limit's sentinels and converged otherwise.
std::optional<FitOutcome> StoredOutcome(Database& db, int rawId, const ModelInfo& model,
                                        const StoredFit& fit) {
    std::optional<std::map<int, std::string>> outcomes = FitOutcomesByIndex(db, rawId);
    if (!outcomes) return std::nullopt;
    if (auto found = outcomes->find(fit.index); found != outcomes->end()) {
        if (std::optional<FitOutcome> kind = OutcomeKind(found->second)) return kind;
    }
    const auto parameters = std::ranges::count_if(
        model.parameterNames, [](std::string_view name) { return !name.empty(); });
    return FreeParameters(model, fit) < parameters ? FitOutcome::Limit : FitOutcome::Converged;
}

DbValue Shown(double value) {
    if (std::isinf(value)) return std::string(value > 0 ? "infinite" : "-infinite");
    return value;
}

DbValue ShownOr(const std::optional<double>& value, const char* otherwise) {
    return value ? Shown(*value) : DbValue{std::string(otherwise)};
}

// A line with the ends of the quantity's 95 % interval, where it has one.
ForecastLine WithInterval(std::string quantity, DbValue value,
                          const std::optional<QuantityInterval>& interval) {
    if (!interval) return {std::move(quantity), std::move(value)};
    return {std::move(quantity), std::move(value), Shown(interval->lower), Shown(interval->upper)};
}

void AddTargetLines(std::vector<ForecastLine>& lines, const std::optional<TargetReach>& reach,
                    const std::optional<QuantityInterval>& interval) {
    const std::string quantity = "Test time to reach the target";
    if (!reach) {
        lines.push_back({quantity, std::string(kNotDefined)});
        return;
    }
    switch (reach->status) {
        case TargetReach::Status::Reached:
            lines.push_back(WithInterval(quantity, std::string("reached"), interval));
            break;
        case TargetReach::Status::Never:
            lines.push_back(WithInterval(quantity, std::string("never"), interval));
            break;
        case TargetReach::Status::After:
            lines.push_back(WithInterval(quantity, Shown(reach->time), interval));
            if (reach->fixes) lines.push_back({"Fixes to reach the target", *reach->fixes});
            break;
    }
}

// Why a fit that ended this way has no finite interval.
std::string NoIntervalReason(FitOutcome outcome) {
    switch (outcome) {
        case FitOutcome::Limit:
            return "no finite interval: the fit is at a limit";
        case FitOutcome::Singular:
            return "no finite interval: the fit is singular";
        default:
            return "no finite interval: the fit is at a boundary";
    }
}

void AddIntervalLines(std::vector<ForecastLine>& lines, const ForecastBasis& basis) {
    std::string heading = "95 % intervals for the parameters";
    if (!basis.intervals) {
        lines.push_back({heading, std::string(kNotDefined)});
        return;
    }
    const ParameterIntervals& intervals = *basis.intervals;
    heading += intervals.method == IntervalMethod::ProfileLikelihood ? " (profile likelihood)"
                                                                     : " (observed information)";
    switch (intervals.status) {
        case IntervalStatus::NoFiniteInterval:
            lines.push_back({heading, NoIntervalReason(basis.outcome)});
            return;
        case IntervalStatus::NoInformation:
            lines.push_back(
                {heading,
                 std::string("not available: the information matrix is not positive definite")});
            return;
        case IntervalStatus::Computed:
            break;
    }
    lines.push_back({heading, DbValue{}});
    for (std::size_t k = 0; k < intervals.parameters.size(); ++k) {
        const ParameterInterval& p = intervals.parameters[k];
        lines.push_back({std::string(basis.model->parameterNames[k]), Shown(p.estimate),
                         Shown(p.lower), Shown(p.upper)});
    }
}

bool IsPositive(const std::optional<double>& value) {
    return !value || (std::isfinite(*value) && *value > 0.0);
}

}  // namespace

PredictionSetRef CurrentSetRef(const CurrentSelection& selection) {
    if (selection.recalibrated) return {selection.predictionsSetId, true};
    return {selection.estimatesSetId, false};
}

std::optional<ForecastBasis> LoadForecastBasis(Database& db, const PredictionSetRef& set,
                                               std::optional<int> at) {
    // A missing set gets its own message, naming how to find the keys.
    const std::optional<bool> exists = HasRecord(
        db, set.recalibrated ? KeyedRecord::PredictionsSet : KeyedRecord::EstimatesSet, set.id);
    if (!exists) return std::nullopt;
    if (!*exists) {
        ShowMessage("The project holds no " +
                    std::string(set.recalibrated ? "recalibrated set p" : "estimates set ") +
                    std::to_string(set.id) + ". List the sets of a dataset to find their keys.");
        return std::nullopt;
    }
    ForecastBasis basis;
    basis.set = set;
    int methodId = 0;
    int rawId = set.id;
    if (set.recalibrated) {
        std::optional<RecalibratedSetInfo> predictions = GetPredictionsSet(db, set.id);
        if (!predictions) return std::nullopt;
        rawId = predictions->estimatesSetId;
        methodId = predictions->recalibrationMethodId;
    }
    std::optional<EstimatesSetInfo> raw = GetEstimatesSet(db, rawId);
    if (!raw) return std::nullopt;
    std::optional<std::string> label = ModelLabel(db, set);
    if (!label) return std::nullopt;
    basis.label = *label;
    basis.model = FindModel(raw->modelNumber);
    basis.firstIndex = raw->rangeStart + (set.recalibrated ? kRecalibrationOffset : 0);
    basis.lastIndex = raw->rangeEnd;
    const int index = at.value_or(basis.lastIndex);
    if (index < basis.firstIndex || index > basis.lastIndex) {
        ShowMessage("Failure " + IndexText(index) + " is outside the forecasts of set " +
                    SetRefText(set) + " (" + basis.label + "), which run from failure " +
                    IndexText(basis.firstIndex) + " to " + IndexText(basis.lastIndex) +
                    ". Choose an index in that range.");
        return std::nullopt;
    }

    FailureSeries x;
    FailureSeries t;
    if (!basis.model || !ReadFailureTimes(db, raw->dataSetId, x, t)) {
        ShowMessage("An error occurred while extracting the model parameters");
        return std::nullopt;
    }
    std::optional<StoredRow> row = ReadStoredRow(db, rawId, index, t);
    if (!row) return std::nullopt;
    basis.fit = row->fit;
    if (set.recalibrated) {
        basis.recalibration = RefitRecalibration(db, *raw, methodId, index);
        if (!basis.recalibration) return std::nullopt;
        return basis;
    }
    std::optional<FitOutcome> outcome = StoredOutcome(db, rawId, *basis.model, basis.fit);
    if (!outcome) return std::nullopt;
    basis.outcome = *outcome;
    basis.intervals = ParameterIntervalsAt(*basis.model, x, t, basis.fit, basis.outcome);
    return basis;
}

std::optional<std::string> ForecastQueryProblem(const ForecastQuery& query) {
    const std::pair<const std::optional<double>*, const char*> values[] = {
        {&query.mission, "mission time"},
        {&query.targetIntensity, "target failure intensity"},
        {&query.targetMttf, "target MTTF"}};
    for (const auto& [value, name] : values) {
        if (!IsPositive(*value))
            return "The " + std::string(name) + " must be a finite number above 0.";
    }
    if (query.targetIntensity && query.targetMttf) {
        return "Give either a target failure intensity or a target MTTF, not both.";
    }
    return std::nullopt;
}

bool CheckForecastQuery(const ForecastQuery& query) {
    const std::optional<std::string> problem = ForecastQueryProblem(query);
    if (problem) ShowMessage(*problem);
    return !problem;
}

std::vector<ForecastLine> DescribeForecast(const ForecastBasis& basis, const ForecastQuery& query) {
    ForecastRequest request;
    request.mission = query.mission;
    request.targetIntensity = query.targetIntensity;
    if (query.targetMttf) request.targetIntensity = 1.0 / *query.targetMttf;
    const bool recalibrated = basis.recalibration.has_value();
    const Forecast forecast = recalibrated ? RecalibratedForecastAt(*basis.model, basis.fit,
                                                                    *basis.recalibration, request)
                                           : ForecastAt(*basis.model, basis.fit, request);

    // A recalibrated set has no likelihood of its own, and a fit without a computed
    // interval has no region.
    ForecastIntervals intervals;
    if (!recalibrated && basis.intervals && basis.intervals->region) {
        intervals = ForecastIntervalsAt(*basis.model, basis.fit, *basis.intervals->region, request);
    }
    std::vector<ForecastLine> lines = {
        {"Failure index", std::int64_t{basis.fit.index}},
        {"Cumulative time", basis.fit.time},
        WithInterval("Failure intensity", ShownOr(forecast.intensity, kNotDefined),
                     intervals.intensity),
        WithInterval("MTTF", ShownOr(forecast.mttf, recalibrated ? kNotDefined : "not reported"),
                     intervals.mttf),
        WithInterval("Median time to next failure", Shown(forecast.median), intervals.median),
        {"5 % quantile of time to next failure", Shown(forecast.lower)},
        {"95 % quantile of time to next failure", Shown(forecast.upper)},
    };
    if (query.mission) {
        lines.push_back({"Mission time", *query.mission});
        lines.push_back(WithInterval("Reliability over the mission", Shown(*forecast.reliability),
                                     intervals.reliability));
        lines.push_back(WithInterval("Expected failures in the mission",
                                     ShownOr(forecast.expectedFailures, kNotDefined),
                                     intervals.expectedFailures));
    }
    lines.push_back(WithInterval("Faults remaining",
                                 forecast.countsFaults
                                     ? ShownOr(forecast.faultsRemaining, "unbounded")
                                     : DbValue{std::string(kNotDefined)},
                                 intervals.faultsRemaining));
    if (query.targetMttf) lines.push_back({"Target MTTF", *query.targetMttf});
    if (request.targetIntensity) {
        lines.push_back({"Target failure intensity", *request.targetIntensity});
        AddTargetLines(lines, forecast.target, intervals.targetTime);
    }
    AddIntervalLines(lines, basis);
    return lines;
}

RowSet ForecastTable(const std::vector<ForecastLine>& lines) {
    RowSet table;
    table.headings = {"Quantity", "Value", "Lower", "Upper"};
    for (const ForecastLine& line : lines) {
        table.rows.push_back({line.quantity, line.value, line.lower, line.upper});
    }
    return table;
}

double ForecastReliability(const ForecastBasis& basis, double t) {
    if (basis.recalibration) {
        return 1.0 - RecalibratedAt(*basis.model, basis.fit, *basis.recalibration, t).cdf;
    }
    return basis.model->process->reliability(basis.fit, t);
}

ChartDescription ReliabilityChart(const ForecastBasis& basis, const ForecastQuery& query) {
    constexpr int kSteps = 200;
    const Forecast forecast = basis.recalibration ? RecalibratedForecastAt(*basis.model, basis.fit,
                                                                           *basis.recalibration, {})
                                                  : ForecastAt(*basis.model, basis.fit, {});
    // A defective or heavy-tailed distribution may have no finite 95 % quantile; ten medians
    // then show where R(t) falls.
    double horizon = std::isfinite(forecast.upper) ? forecast.upper : 10.0 * forecast.median;
    if (query.mission) horizon = std::max(horizon, *query.mission);
    if (!std::isfinite(horizon) || horizon <= 0.0) horizon = query.mission.value_or(1.0);

    ChartDescription chart;
    chart.header = "Reliability of set " + SetRefText(basis.set) + " (" + basis.label +
                   ") after failure " + IndexText(basis.fit.index);
    chart.xAxis = {"Time from failure " + IndexText(basis.fit.index), true, 0.0, horizon};
    chart.yAxis = {"R(t)", true, 0.0, 1.0};
    ChartGroup group;
    ChartSeries curve;
    curve.label = "R(t) " + basis.label;
    for (int k = 0; k <= kSteps; ++k) {
        const double t = horizon * k / kSteps;
        curve.points.push_back({t, ForecastReliability(basis, t)});
    }
    group.series.push_back(std::move(curve));
    chart.groups.push_back(std::move(group));
    SetSeriesStyles(chart);
    if (query.mission) {
        const double t = *query.mission;
        const double r = ForecastReliability(basis, t);
        ChartSeries line;
        line.points = {{t, 0.0}, {t, 1.0}};
        line.style = {kPalette[7], LinePattern::Dashed, 1};
        chart.groups.front().series.push_back(std::move(line));
        chart.labels.push_back({"R = " + FormatTableNumber(r, 4), LabelAttachment::DataPoint, t, r,
                                0, kLabelBackground});
    }
    return chart;
}

std::optional<std::vector<ForecastLine>> ForecastSet(Database& db, const PredictionSetRef& set,
                                                     std::optional<int> at,
                                                     const ForecastQuery& query) {
    if (!CheckForecastQuery(query)) return std::nullopt;
    std::optional<ForecastBasis> basis = LoadForecastBasis(db, set, at);
    if (!basis) return std::nullopt;
    return DescribeForecast(*basis, query);
}

}  // namespace tamsel
