// The two-variable fits of the Littlewood family (Li, LNHPP, LV, KL): every window is fitted
// in its own time unit from the defined start and a few others, so that the best local
// maximum found does not depend on the data's unit, and the exponential model with a linear
// mean that LV and KL reach in their limit.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "tamsel/models/predictive.h"
#include "tamsel/models/prequential.h"
#include "tamsel/records/records.h"
#include "tamsel/records/termination.h"

namespace tamsel {

// A model's negative profile log-likelihood of failures 1..n of data (interfailure or
// cumulative times, as the model reads them), its two squared variables being
// p[k]^2 + eps, with its gradient g and Hessian h (row-major) in p.
using WindowObjective = double (*)(std::span<const double> p, std::span<double> g, std::int32_t n,
                                   double eps, const FailureSeries& data, std::span<double> h);

// The same objective's value at every point (points[k0], points[k1]) of a square grid in p,
// into values[k0 * points.size() + k1]: the value objective returns there, bit for bit,
// taken without the derivatives and, where the model's sums over the window depend on one
// variable alone, with those sums taken once for each of its values.
using WindowGrid = void (*)(std::span<const double> points, std::int32_t n, double eps,
                            const FailureSeries& data, std::span<double> values);

struct WindowModel {
    WindowObjective objective;
    WindowGrid grid;
    std::array<bool, 2> timeValued;      // which squared variables are times (the others counts)
    std::array<double, 2> definedStart;  // the start in p, in the data's own unit
    std::span<const std::array<double, 2>> starts;  // further starts, variables in window units
    std::array<std::string_view, 2> names;          // the parameters a variable at 0 sits on
};

struct WindowOptimum {
    std::array<double, 2> values{};  // the squared variables, eps included, in the data's unit
    double logLhd = 0.0;             // the log-likelihood there, constants included
    FitTermination termination;
};

// The best local maximum of model's likelihood on failures 1..i of data from all its starts,
// each search made in the window's unit scale (the mean interfailure time T / i), and
// Boundary where a squared variable ends at its floor eps. limitLogLhd is the highest
// supremum of the model's limits (-infinity for none): a search still creeping along a
// ridge below it is not followed to the end, as the limit's record replaces it.
WindowOptimum FitWindow(const WindowModel& model, const FailureSeries& data, std::int32_t i,
                        double scale, const MinimisationSettings& settings, double limitLogLhd);

// The interfailure times x(1..i) as exponential with a mean m(j) linear in j, the limit of LV
// and KL: the means at the window's two ends and the maximised log-likelihood
// -sum ln m(j) - sum x(j) / m(j). Requires i >= 2 and positive times at both ends.
struct ExponentialLimit {
    double first = 0.0;  // m(1)
    double last = 0.0;   // m(i)
    double logLhd = 0.0;
    std::int32_t evaluations = 0;
};
ExponentialLimit FitExponentialLimit(const FailureSeries& x, std::int32_t i);

// The highest log-likelihood of the limit records.
double HighestLogLhd(std::span<const IndexResult> limits);

// The interior fit, or the limit record with the highest log-likelihood where it is not below
// the interior's; limits already carry their outcome.
IndexResult BestOfLimits(IndexResult interior, std::span<const IndexResult> limits);

// Refills the predictions of record (quartiles, MTTF, and Pdf and Cdf at x(i+1) when
// i < rangeEnd) from its parameters through the model's predictive distribution, so that a
// limit record stored in the model's own parameters predicts what the model predicts from them.
void PredictFromParameters(const Predictive& predictive, EstimateRecord& record, std::int32_t i,
                           double time, const FailureSeries& x, std::int32_t rangeEnd);

// The record of Li or LNHPP at index i from the two squared variables of its window.
using TimeRecord = EstimateRecord (*)(const FailureSeries& x, const FailureSeries& t,
                                      std::int32_t i, std::int32_t rangeEnd, double first,
                                      double second);

// Li and LNHPP at index i: the best interior maximum of window on the cumulative times t, or
// the better of the two limit records where it is not below it; the limits' predictions are
// refilled from their parameters through predictive. A singular limit (MO's with a first
// failure at time 0) is the row: the model's likelihood is then unbounded as well.
IndexResult BestOfTimeFit(const WindowModel& window, TimeRecord record,
                          const Predictive& predictive, std::array<IndexResult, 2> limits,
                          const FailureSeries& x, const FailureSeries& t, std::int32_t i,
                          std::int32_t rangeEnd, const MinimisationSettings& settings);

// LV and KL: a model on the interfailure times whose limit is the exponential with a linear
// mean.
struct LineModel {
    WindowModel window;
    // The record at index i from the two squared variables of the window (in the data's unit).
    EstimateRecord (*record)(const FailureSeries& x, std::int32_t i, std::int32_t rangeEnd,
                             double first, double second);
    // The squared variables that stand for the limit (a shape of kInfiniteShape).
    std::array<double, 2> (*limitValues)(const ExponentialLimit& limit);
    const Predictive* predictive;
    // The variables that fall to their floor as the likelihood climbs without bound over a
    // time of 0 inside the window (the others held at the interior maximum).
    std::array<bool, 2> toFloor;
};

// The fit at each index i: the better of the best interior maximum and the exponential limit
// (Limit "exponential"). A window whose first or last time is 0 has an unbounded likelihood,
// and so has one with a 0 inside, which the search meets where the likelihood with the
// variables toFloor at their floor is not below both: such a row is Singular and predicts from the
// parameters of the fit of the nearest earlier window that is not (and keeps that fit's LogLhd),
// or, where there is none, from the exponential with the window's mean. line and x must outlive the
// fit.
IndexFit PrepareLineFit(const FailureSeries& x, std::int32_t rangeEnd,
                        const MinimisationSettings& settings, const LineModel& line);

}  // namespace tamsel
