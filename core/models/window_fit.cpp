#include "window_fit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "fit_support.h"
#include "tamsel/models/predictive.h"
#include "tamsel/numeric/line_log_sum.h"
#include "tamsel/numeric/minimise_1d.h"
#include "tamsel/numeric/minimise_nd.h"

namespace tamsel {
namespace {

// Every search keeps |p1|, |p2| <= kHalfWidth, in the window's unit: variables up to 1e14
// times the mean interfailure time.
constexpr double kHalfWidth = 1e7;
// The budget of each start's first search, and of the first stage of each search.
constexpr std::int32_t kScreeningBudget = 60;
constexpr std::int32_t kScreeningStage = 30;
constexpr double kPolishTolerance = 1e-10;
// The coarse grid that seeds further starts: both squared variables (in the window's unit)
// at e^g for g = kGridLow, kGridLow + kGridStep, ..., kGridHigh.
constexpr int kGridLow = -14;
constexpr int kGridHigh = 10;
constexpr int kGridStep = 2;

MinimiseNDResult MinimiseFrom(std::array<double, 2> start, ObjectiveHessianND f,
                              const MinimisationSettings& settings) {
    return MinimiseND(f, {start[0], start[1]}, {kHalfWidth, kHalfWidth}, settings.absolutePrecision,
                      settings.eta, settings.tolerance, settings.maxIter);
}

// A search from start within settings.maxIter, made in stages: one still creeping along a
// ridge after the first stage's budget, and below the best limit's supremum limitLogLhd
// (the log-likelihood being -f - offset), stops there, as the ridge leads to that limit whose
// record replaces it. Each iteration recomputes its Hessian, so resuming where the first
// stage stopped takes the steps one long search would.
MinimiseNDResult Follow(std::array<double, 2> start, ObjectiveHessianND f,
                        MinimisationSettings settings, std::int32_t stage, double limitLogLhd,
                        double offset) {
    const std::int32_t budget = settings.maxIter;
    settings.maxIter = std::min(budget, stage);
    MinimiseNDResult found = MinimiseFrom(start, f, settings);
    const std::int32_t rest = budget - 2 * (found.iterations + found.evaluations);
    if (found.termination != Termination::IterationBudget || rest <= 0 ||
        LimitWins(limitLogLhd, -found.fx - offset)) {
        return found;
    }
    settings.maxIter = rest;
    const std::int32_t evaluations = found.evaluations;
    found = MinimiseFrom({found.x[0], found.x[1]}, f, settings);
    found.evaluations += evaluations;
    return found;
}

FailureSeries Scaled(const FailureSeries& data, std::int32_t i, double scale) {
    FailureSeries scaled(static_cast<std::size_t>(i) + 1, 0.0);
    for (std::int32_t j = 1; j <= i; ++j) scaled[j] = data[j] / scale;
    return scaled;
}

double Unit(bool timeValued, double scale) { return timeValued ? scale : 1.0; }

// Whether two searches converged to one point, to within kAgreement.
constexpr double kAgreement = 1e-6;

bool SamePoint(const MinimiseNDResult& a, const MinimiseNDResult& b) {
    if (a.termination != Termination::Converged || b.termination != Termination::Converged) {
        return false;
    }
    for (int k = 0; k < 2; ++k) {
        const double distance = std::fabs(std::fabs(a.x[k]) - std::fabs(b.x[k]));
        if (distance > kAgreement * std::fmax(1.0, std::fabs(b.x[k]))) return false;
    }
    return std::fabs(a.fx - b.fx) <= kAgreement * std::fmax(1.0, std::fabs(b.fx));
}

// The lowest local minima of the model's objective on the coarse grid (in p; its values from
// the model's grid function, which takes them at a fraction of the evaluations' cost), at most
// kGridStarts of them, lowest first: the likelihood of these models can hold several maxima, and
// the fixed starts can all lie in the basins of lower ones (a first time far below the others draws
// LV's psi(1) down by orders of magnitude, away from every fixed start).
constexpr int kGridStarts = 3;

std::vector<std::array<double, 2>> GridStarts(const WindowModel& model, std::int32_t n, double eps,
                                              const FailureSeries& data,
                                              std::int32_t& evaluations) {
    constexpr int kPoints = (kGridHigh - kGridLow) / kGridStep + 1;
    std::array<double, kPoints> points{};
    for (int k = 0; k < kPoints; ++k) points[k] = std::exp(0.5 * (kGridLow + kGridStep * k));
    std::array<double, kPoints * kPoints> values{};
    model.grid(points, n, eps, data, values);
    const auto value = [&values](int k0, int k1) {
        const double f = values[k0 * kPoints + k1];
        return std::isnan(f) ? std::numeric_limits<double>::infinity() : f;
    };
    evaluations += kPoints * kPoints;
    std::vector<std::pair<double, std::array<double, 2>>> minima;
    for (int k0 = 0; k0 < kPoints; ++k0) {
        for (int k1 = 0; k1 < kPoints; ++k1) {
            const double f = value(k0, k1);
            bool lowest = std::isfinite(f);
            for (int d0 = -1; d0 <= 1 && lowest; ++d0) {
                for (int d1 = -1; d1 <= 1 && lowest; ++d1) {
                    const int n0 = k0 + d0;
                    const int n1 = k1 + d1;
                    if ((d0 || d1) && n0 >= 0 && n0 < kPoints && n1 >= 0 && n1 < kPoints) {
                        lowest = f < value(n0, n1);
                    }
                }
            }
            if (lowest) minima.push_back({f, {points[k0], points[k1]}});
        }
    }
    std::sort(minima.begin(), minima.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::array<double, 2>> starts;
    for (std::size_t k = 0; k < std::min<std::size_t>(kGridStarts, minima.size()); ++k) {
        starts.push_back(minima[k].second);
    }
    return starts;
}

}  // namespace

WindowOptimum FitWindow(const WindowModel& model, const FailureSeries& data, std::int32_t i,
                        double scale, const MinimisationSettings& settings, double limitLogLhd) {
    const double eps = settings.absolutePrecision;
    // Every start is searched briefly, and only the best followed to the end: most end on a
    // ridge towards a limit, where a full budget buys nothing.
    MinimisationSettings screening = settings;
    screening.maxIter = std::min(settings.maxIter, kScreeningBudget);
    const MinimiseNDResult defined = Follow(
        model.definedStart,
        [&](std::span<const double> p, std::span<double> g, std::span<double> h) {
            return model.objective(p, g, i, eps, data, h);
        },
        screening, kScreeningStage, limitLogLhd, 0.0);
    const FailureSeries scaled = Scaled(data, i, scale);
    const auto objective = [&](std::span<const double> p, std::span<double> g,
                               std::span<double> h) {
        return model.objective(p, g, i, eps, scaled, h);
    };
    // The defined start's search, taken to the window's unit, is the first candidate there.
    MinimiseNDResult best;
    best.x.resize(2);
    for (int k = 0; k < 2; ++k) {
        const double value = defined.x[k] * defined.x[k] + eps;
        best.x[k] = std::sqrt(std::fmax(value / Unit(model.timeValued[k], scale) - eps, 0.0));
    }
    std::array<double, 2> gradient{};
    std::array<double, 4> hessian{};
    best.fx = objective(best.x, gradient, hessian);
    best.termination = defined.termination;
    std::int32_t evaluations = defined.evaluations + 1;
    const double logOffset = i * std::log(scale);
    // The grid's minima are all searched; of the fixed starts, only until two starts agree.
    std::vector<std::array<double, 2>> starts = GridStarts(model, i, eps, scaled, evaluations);
    const std::size_t seeded = starts.size();
    for (const auto& start : model.starts) {
        starts.push_back({std::sqrt(start[0]), std::sqrt(start[1])});
    }
    for (std::size_t k = 0; k < starts.size(); ++k) {
        MinimiseNDResult found =
            Follow(starts[k], objective, screening, kScreeningStage, limitLogLhd, logOffset);
        evaluations += found.evaluations;
        const bool agree = SamePoint(found, best);
        if (found.fx < best.fx) best = std::move(found);
        // Two starts converged to one maximum: the likelihood has it as its basin's peak
        // wherever these starts lie, and the further starts would mostly find it again.
        if (agree && k + 1 >= seeded) break;
    }
    // The best is followed to a gradient well below the settings' tolerance: where the
    // likelihood is flat, that tolerance leaves predictions that differ by 1e-6 between time
    // units.
    MinimisationSettings polish = settings;
    polish.tolerance = std::min(settings.tolerance, kPolishTolerance);
    best =
        Follow({best.x[0], best.x[1]}, objective, polish, kScreeningBudget, limitLogLhd, logOffset);
    evaluations += best.evaluations;
    WindowOptimum optimum;
    optimum.logLhd = -best.fx - logOffset;
    optimum.termination = SearchEnd(best.termination, evaluations);
    for (int k = 0; k < 2; ++k) {
        const double squared = best.x[k] * best.x[k];
        optimum.values[k] = (squared + eps) * Unit(model.timeValued[k], scale);
        // A variable that ends within rounding of its floor sits on the boundary.
        if (squared <= 1e-12 && optimum.termination.outcome == FitOutcome::Converged) {
            optimum.termination = {FitOutcome::Boundary, model.names[k], evaluations};
        }
    }
    return optimum;
}

namespace {

// The exponential limit's sum ln m(j) + x(j) / m(j) with the means on the line whose ends
// stand in the ratio e^u, at its best level: m(j) = level l(j) with l(j) = w0(j) e^(-u/2) +
// w1(j) e^(u/2) gives level = share / n, share = sum x(j) / l(j), and the value
// n ln level + LogLineSum(u, n) + n.
struct ExponentialProfile {
    double value = 0.0;
    double share = 0.0;
};

// The weights of the line's two ends at j = 1..n, from exact integer ratios so that the ends
// are exact; taken once for every profile evaluation of the window.
std::vector<std::array<double, 2>> LineWeights(std::int32_t n) {
    std::vector<std::array<double, 2>> weights(static_cast<std::size_t>(n) + 1);
    for (std::int32_t j = 1; j <= n; ++j) {
        weights[j] = {static_cast<double>(n - j) / (n - 1), static_cast<double>(j - 1) / (n - 1)};
    }
    return weights;
}

double ProfileValue(double share, double logLineSum, std::int32_t n) {
    const double value = n * std::log(share / n) + logLineSum + n;
    return std::isfinite(value) ? value : std::numeric_limits<double>::infinity();
}

double Share(double u, std::span<const std::array<double, 2>> weights, const FailureSeries& x) {
    const auto n = static_cast<std::int32_t>(weights.size()) - 1;
    const double down = std::exp(-0.5 * u);
    const double up = std::exp(0.5 * u);
    double share = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) {
        share += x[j] / (down * weights[j][0] + up * weights[j][1]);
    }
    return share;
}

ExponentialProfile ProfileExponential(double u, std::span<const std::array<double, 2>> weights,
                                      const FailureSeries& x) {
    const auto n = static_cast<std::int32_t>(weights.size()) - 1;
    const double share = Share(u, weights, x);
    return {ProfileValue(share, LogLineSum(u, n), n), share};
}

// The ratio of the end means is searched over e^-R..e^R on a grid of unit steps in its
// logarithm, R being kRatioReach or, where the window's times spread wider, kRatioMargin
// beyond the logarithm of their largest ratio (one far smaller time draws its end's mean
// down to it: a first time at 1e-15 mean interfailure times puts the ratio near e^36), the
// best point refined to a relative 1e-10, where the profile's value is exact to rounding;
// the limit is only compared, so its search does not follow the settings.
constexpr std::int32_t kRatioReach = 30;
constexpr std::int32_t kRatioMargin = 6;
// Where e^(u / 2), the line's end weight, stays a double.
constexpr double kLargestSpread = 1400.0 - kRatioMargin;
constexpr double kRatioPrecision = 1e-10;
constexpr std::int32_t kRatioBudget = 200;

std::int32_t RatioReach(const FailureSeries& x, std::int32_t n) {
    double smallest = std::numeric_limits<double>::infinity();
    double largest = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) {
        if (x[j] > 0.0) smallest = std::fmin(smallest, x[j]), largest = std::fmax(largest, x[j]);
    }
    const double spread = std::log(largest / smallest);
    if (!(spread + kRatioMargin > kRatioReach)) return kRatioReach;
    return static_cast<std::int32_t>(std::ceil(std::fmin(spread, kLargestSpread))) + kRatioMargin;
}

// A grid point is left out only where its bound exceeds the lowest value by far more than
// the values' rounding.
constexpr double kBoundMargin = 1e-9;

// The grid's lowest point, as a full grid finds it (the first of equal lowest values), without
// the points whose value provably lies above that lowest. Each 1 / l(j) changes by at most a
// factor e^(d/2) over a step d of u (d ln l(j) / du lies in [-1/2, 1/2]), and so does share:
// a share known at u' bounds it at u by share(u') e^(-|u - u'| / 2), while the log part is
// exact at every point. Returns the index of the lowest point and the evaluations made.
// The grid runs over u = -reach..reach; its ends and its middle are taken first, before the
// bounds decide which others are needed (more seeds only cost evaluations, measured).
std::pair<std::int32_t, std::int32_t> LowestGridPoint(
    std::span<const std::array<double, 2>> weights, const FailureSeries& x, std::int32_t reach) {
    const auto n = static_cast<std::int32_t>(weights.size()) - 1;
    const std::int32_t points = 2 * reach + 1;
    const auto size = static_cast<std::size_t>(points);
    std::vector<double> logLine(size);
    for (std::int32_t k = reach; k < points; ++k) {
        logLine[k] = LogLineSum(k - reach, n);
        logLine[points - 1 - k] = logLine[k];
    }
    std::vector<double> value(size);
    std::vector<double> logShare(size);
    std::vector<bool> known(size);
    double lowest = std::numeric_limits<double>::infinity();
    std::int32_t evaluations = 0;
    const auto evaluate = [&](std::int32_t k) {
        const double share = Share(k - reach, weights, x);
        value[k] = ProfileValue(share, logLine[k], n);
        logShare[k] = std::log(share);
        known[k] = true;
        lowest = std::fmin(lowest, value[k]);
        ++evaluations;
    };
    for (std::int32_t k = 0; k < points; k += reach) evaluate(k);
    // The lowest bound of a point not yet evaluated next, until every such bound lies above
    // the lowest value. bound holds the highest bound of ln share from the known points on
    // the right, then on the left.
    std::vector<double> bound(size);
    const double logN = std::log(n);
    for (;;) {
        double carried = -std::numeric_limits<double>::infinity();
        for (std::int32_t k = points - 1; k >= 0; --k) {
            carried = known[k] && std::isfinite(logShare[k]) ? logShare[k] : carried - 0.5;
            bound[k] = carried;
        }
        std::int32_t next = -1;
        double nextBound = std::numeric_limits<double>::infinity();
        carried = -std::numeric_limits<double>::infinity();
        for (std::int32_t k = 0; k < points; ++k) {
            carried = known[k] && std::isfinite(logShare[k]) ? logShare[k] : carried - 0.5;
            if (known[k]) continue;
            const double valueBound = n * (std::fmax(bound[k], carried) - logN) + logLine[k] + n;
            if (!(valueBound > lowest + kBoundMargin * (std::fabs(lowest) + n)) &&
                !(valueBound >= nextBound)) {
                next = k;
                nextBound = valueBound;
            }
        }
        if (next < 0) break;
        evaluate(next);
    }
    // The first of the lowest values, NaN and infinities never winning, as GridMinimise1D.
    std::int32_t best = 0;
    while (best + 1 < points && !known[best]) ++best;
    for (std::int32_t k = best + 1; k < points; ++k) {
        if (known[k] &&
            (value[k] < value[best] || (!std::isfinite(value[best]) && std::isfinite(value[k])))) {
            best = k;
        }
    }
    return {best, evaluations};
}

}  // namespace

ExponentialLimit FitExponentialLimit(const FailureSeries& x, std::int32_t i) {
    const std::vector<std::array<double, 2>> weights = LineWeights(i);
    const std::int32_t reach = RatioReach(x, i);
    const auto [grid, evaluations] = LowestGridPoint(weights, x, reach);
    const auto at = [reach](std::int32_t k) {
        return static_cast<double>(std::clamp(k, 0, 2 * reach) - reach);
    };
    const Minimise1DResult best =
        Minimise1D([&](double u) { return ProfileExponential(u, weights, x).value; }, at(grid),
                   at(grid - 1), at(grid + 1), kRatioPrecision, kRatioPrecision, kRatioBudget);
    const double level = ProfileExponential(best.x, weights, x).share / i;
    return {level * std::exp(-0.5 * best.x), level * std::exp(0.5 * best.x), -best.fx,
            best.count + evaluations};
}

double HighestLogLhd(std::span<const IndexResult> limits) {
    double highest = -std::numeric_limits<double>::infinity();
    for (const IndexResult& limit : limits) highest = std::fmax(highest, limit.record.logLhd);
    return highest;
}

IndexResult BestOfLimits(IndexResult interior, std::span<const IndexResult> limits) {
    const IndexResult* best = nullptr;
    for (const IndexResult& limit : limits) {
        if (!best || limit.record.logLhd > best->record.logLhd) best = &limit;
    }
    std::int32_t evaluations = interior.termination.evaluations;
    for (const IndexResult& limit : limits) evaluations += limit.termination.evaluations;
    IndexResult result =
        best && LimitWins(best->record.logLhd, interior.record.logLhd) ? *best : interior;
    result.termination.evaluations = evaluations;
    return result;
}

void PredictFromParameters(const Predictive& predictive, EstimateRecord& record, std::int32_t i,
                           double time, const FailureSeries& x, std::int32_t rangeEnd) {
    StoredFit fit{i, record.param1, record.param2, record.param3, record.median, time};
    const std::optional<double> limit = predictive.limitQuantile(fit);
    record.lowQ = limit.value_or(predictive.quantile(fit, 0.25));
    record.median = limit.value_or(predictive.quantile(fit, 0.5));
    record.uppQ = limit.value_or(predictive.quantile(fit, 0.75));
    record.mttf = predictive.mean(fit);
    if (i < rangeEnd) {
        const PredictivePoint next = predictive.at(fit, x[i + 1]);
        record.cdf = next.cdf;
        record.pdf = next.pdf;
    }
}

namespace {

// The log-likelihood at the optimum from with the variables marked in toFloor at their floor.
double LogLhdAtFloor(const WindowModel& model, const FailureSeries& data, std::int32_t i,
                     double scale, double eps, const WindowOptimum& from,
                     std::array<bool, 2> toFloor) {
    std::array<double, 2> p{};
    for (int k = 0; k < 2; ++k) {
        const double value = from.values[k] / Unit(model.timeValued[k], scale) - eps;
        p[k] = toFloor[k] ? 0.0 : std::sqrt(std::fmax(value, 0.0));
    }
    std::array<double, 2> gradient{};
    return -model.objective(p, gradient, i, eps, Scaled(data, i, scale), {}) - i * std::log(scale);
}

}  // namespace

IndexFit PrepareLineFit(const FailureSeries& x, std::int32_t rangeEnd,
                        const MinimisationSettings& settings, const LineModel& line) {
    auto sums = std::make_shared<std::vector<double>>(static_cast<std::size_t>(rangeEnd) + 1);
    auto zeros = std::make_shared<std::vector<std::int32_t>>(sums->size());  // zeros in 1..j
    for (std::size_t j = 1; j < sums->size(); ++j) {
        (*sums)[j] = (*sums)[j - 1] + x[j];
        (*zeros)[j] = (*zeros)[j - 1] + (x[j] == 0.0 ? 1 : 0);
    }
    // The fit at i, or nothing where a 0 inside the window lets the likelihood climb above it.
    const auto fit = [&x, rangeEnd, settings, &line, sums,
                      zeros](std::int32_t i) -> std::optional<IndexResult> {
        const double scale = WindowScale(i, (*sums)[i]);
        const ExponentialLimit limit = FitExponentialLimit(x, i);
        const WindowOptimum interior = FitWindow(line.window, x, i, scale, settings, limit.logLhd);
        const double best = std::fmax(limit.logLhd, interior.logLhd);
        if ((*zeros)[i] > 0 &&
            LimitWins(LogLhdAtFloor(line.window, x, i, scale, settings.absolutePrecision, interior,
                                    line.toFloor),
                      best)) {
            return std::nullopt;
        }
        const std::int32_t evaluations = interior.termination.evaluations + limit.evaluations;
        IndexResult result;
        if (LimitWins(limit.logLhd, interior.logLhd)) {
            const std::array<double, 2> values = line.limitValues(limit);
            result.record = line.record(x, i, rangeEnd, values[0], values[1]);
            result.record.logLhd = limit.logLhd;
            result.termination = LimitEnd("exponential", evaluations);
        } else {
            result.record = line.record(x, i, rangeEnd, interior.values[0], interior.values[1]);
            result.record.logLhd = interior.logLhd;
            result.termination = interior.termination;
            result.termination.evaluations = evaluations;
        }
        return result;
    };
    return [&x, rangeEnd, &line, fit, sums](std::int32_t i) {
        for (std::int32_t k = i; k >= 2; --k) {
            // A zero time at either end of the window lets the density there grow without
            // bound.
            if (x[k] == 0.0 || x[1] == 0.0) continue;
            std::optional<IndexResult> result = fit(k);
            if (!result) continue;
            if (k == i) return *result;
            // The earlier fit's parameters, predicting at index i as any stored row does.
            result->record.pdf = 0.0;
            result->record.cdf = 0.0;
            PredictFromParameters(*line.predictive, result->record, i, 0.0, x, rangeEnd);
            result->termination = {FitOutcome::Singular, {}, result->termination.evaluations};
            return *result;
        }
        // No earlier window: the exponential with the window's mean, whose likelihood stays
        // bounded.
        const double mean = (*sums)[i] / i;
        const std::array<double, 2> values = line.limitValues({mean, mean, 0.0, 0});
        IndexResult result;
        result.record = line.record(x, i, rangeEnd, values[0], values[1]);
        result.record.logLhd = HppLogLhd(i, (*sums)[i]);
        result.termination = {FitOutcome::Singular, {}, 0};
        return result;
    };
}

IndexResult BestOfTimeFit(const WindowModel& window, TimeRecord record,
                          const Predictive& predictive, std::array<IndexResult, 2> limits,
                          const FailureSeries& x, const FailureSeries& t, std::int32_t i,
                          std::int32_t rangeEnd, const MinimisationSettings& settings) {
    for (IndexResult& limit : limits) {
        PredictFromParameters(predictive, limit.record, i, t[i], x, rangeEnd);
    }
    for (const IndexResult& limit : limits) {
        if (limit.termination.outcome == FitOutcome::Singular) return limit;
    }
    const WindowOptimum found =
        FitWindow(window, t, i, WindowScale(i, t[i]), settings, HighestLogLhd(limits));
    IndexResult interior{record(x, t, i, rangeEnd, found.values[0], found.values[1]),
                         found.termination};
    interior.record.logLhd = found.logLhd;
    return BestOfLimits(interior, limits);
}

}  // namespace tamsel
