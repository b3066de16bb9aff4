#include "fit_oracle.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "littlewood_test_support.h"

namespace tamsel::test {
namespace {

using Point3 = std::array<double, 3>;
using Function3 = std::function<double(const Point3&)>;

// ln L = sum ln lambda(t_j) - m(T) of failures 1..n of the Littlewood NHPP observed up to
// T = t(n), with lambda(t) = mu (alpha / beta) (1 + t / beta)^-(alpha + 1) and
// m(T) = mu (1 - (1 + T / beta)^-alpha).
double LnhppLogLikelihood(const FailureSeries& t, std::int32_t n, double mu, double alpha,
                          double beta) {
    double sum = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) {
        sum += std::log(mu * alpha / beta) - (alpha + 1.0) * std::log1p(t[j] / beta);
    }
    return sum + mu * std::expm1(-alpha * std::log1p(t[n] / beta));
}

// Nelder-Mead minimum of f from start with initial simplex edges step, stopping after
// maxEvaluations or when the simplex values agree to 1e-13 relative.
Point3 NelderMead(const Function3& f, Point3 start, double step, int maxEvaluations) {
    std::array<Point3, 4> simplex;
    std::array<double, 4> value{};
    simplex.fill(start);
    for (std::size_t k = 0; k < 3; ++k) simplex[k + 1][k] += step;
    int evaluations = 0;
    auto evaluate = [&](const Point3& p) {
        ++evaluations;
        double v = f(p);
        return std::isnan(v) ? std::numeric_limits<double>::infinity() : v;
    };
    for (std::size_t k = 0; k < 4; ++k) value[k] = evaluate(simplex[k]);
    auto along = [](const Point3& from, const Point3& to, double factor) {
        Point3 p;
        for (std::size_t k = 0; k < 3; ++k) p[k] = from[k] + factor * (to[k] - from[k]);
        return p;
    };
    while (evaluations < maxEvaluations) {
        std::array<std::size_t, 4> order{0, 1, 2, 3};
        std::sort(order.begin(), order.end(),
                  [&](std::size_t a, std::size_t b) { return value[a] < value[b]; });
        const std::size_t best = order[0];
        const std::size_t worst = order[3];
        const std::size_t second = order[2];
        if (std::fabs(value[worst] - value[best]) <= 1e-13 * (1.0 + std::fabs(value[best]))) {
            break;
        }
        Point3 centroid{};
        for (std::size_t v : {order[0], order[1], order[2]}) {
            for (std::size_t k = 0; k < 3; ++k) centroid[k] += simplex[v][k] / 3.0;
        }
        Point3 reflected = along(centroid, simplex[worst], -1.0);
        double reflectedValue = evaluate(reflected);
        if (reflectedValue < value[best]) {
            Point3 expanded = along(centroid, simplex[worst], -2.0);
            double expandedValue = evaluate(expanded);
            bool expand = expandedValue < reflectedValue;
            simplex[worst] = expand ? expanded : reflected;
            value[worst] = expand ? expandedValue : reflectedValue;
        } else if (reflectedValue < value[second]) {
            simplex[worst] = reflected;
            value[worst] = reflectedValue;
        } else {
            Point3 contracted = along(centroid, simplex[worst], 0.5);
            double contractedValue = evaluate(contracted);
            if (contractedValue < value[worst]) {
                simplex[worst] = contracted;
                value[worst] = contractedValue;
            } else {
                for (std::size_t v : {order[1], order[2], order[3]}) {
                    simplex[v] = along(simplex[best], simplex[v], 0.5);
                    value[v] = evaluate(simplex[v]);
                }
            }
        }
    }
    return simplex[static_cast<std::size_t>(std::min_element(value.begin(), value.end()) -
                                            value.begin())];
}

// ln L of failures 1..n of the Littlewood model: the j-th detection is one of the N - j + 1
// faults still present, each found at t with density (alpha / beta) (1 + t / beta)^-(alpha + 1),
// and the N - n faults left survive t(n).
double LiLogLikelihood(const FailureSeries& t, std::int32_t n, double remaining, double alpha,
                       double beta) {
    double sum = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) {
        sum += std::log(remaining + (n - j + 1)) + std::log(alpha / beta) -
               (alpha + 1.0) * std::log1p(t[j] / beta);
    }
    return sum - remaining * alpha * std::log1p(t[n] / beta);
}

using Log1 = std::function<double(double)>;
using Log2 = std::function<double(double, double)>;

double Hpp(std::int32_t i, double time) { return i * std::log(i / time) - i; }

// The best of f on a grid over [lo, hi] with the given step, refined by golden section.
double Best1(const Log1& f, double lo, double hi, double step) {
    double bestU = lo;
    double best = -std::numeric_limits<double>::infinity();
    for (double u = lo; u <= hi; u += step) {
        const double value = f(u);
        if (value > best) best = value, bestU = u;
    }
    return std::max(best, f(GoldenSectionArgMax(f, bestU - step, bestU + step)));
}

// The best of f on a grid over [lo, hi]^2 with the given step, refined by Nelder-Mead from
// the two best grid points.
double Best2(const Log2& f, double lo1, double hi1, double lo2, double hi2, double step) {
    std::vector<std::pair<double, Point3>> grid;
    for (double u = lo1; u <= hi1; u += step) {
        for (double v = lo2; v <= hi2; v += step) {
            const double value = f(u, v);
            if (std::isfinite(value)) grid.push_back({value, {u, v, 0.0}});
        }
    }
    std::partial_sort(grid.begin(), grid.begin() + std::min<std::size_t>(2, grid.size()),
                      grid.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    const Function3 cost = [&](const Point3& p) {
        const double value = f(p[0], p[1]);
        return std::isfinite(value) ? -value : std::numeric_limits<double>::infinity();
    };
    double best = grid.empty() ? -std::numeric_limits<double>::infinity() : grid[0].first;
    for (std::size_t k = 0; k < std::min<std::size_t>(2, grid.size()); ++k) {
        best = std::max(best, -cost(NelderMead(cost, grid[k].second, 0.5 * step, 4000)));
    }
    return best;
}

double JM(const Series& s, std::int32_t i) {
    const auto at = [&](double n) {
        double weighted = 0.0;
        double logFaults = 0.0;
        for (std::int32_t j = 1; j <= i; ++j) {
            weighted += (n - j + 1) * s.x[j];
            logFaults += std::log(n - j + 1);
        }
        return i * std::log(i / weighted) + logFaults - i;
    };
    return std::max({at(i), Hpp(i, s.t[i]),
                     Best1([&](double v) { return at(i + std::exp(v)); }, -20, 30, 0.25)});
}

double GO(const Series& s, std::int32_t i) {
    const double time = s.t[i];
    double sum = 0.0;
    for (std::int32_t j = 1; j <= i; ++j) sum += s.t[j];
    const auto at = [&](double u) {
        const double z = std::exp(u);
        return i * std::log(i / -std::expm1(-z)) + i * std::log(z / time) - z * sum / time - i;
    };
    return std::max(Hpp(i, time), Best1(at, -30, 8, 0.25));
}

double MO(const Series& s, std::int32_t i) {
    const double time = s.t[i];
    const auto at = [&](double u) {
        const double a = time * std::exp(u);
        double sum = 0.0;
        for (std::int32_t j = 1; j <= i; ++j) sum += std::log(a + s.t[j]);
        return i * std::log(i / std::log1p(time / a)) - i - sum;
    };
    // The maximum lies above a = t(1) / (2 ln(T / t(1))): below, the profile rises with a.
    return std::max(
        Hpp(i, time),
        Best1(at, s.t[1] > 0.0 ? std::min(-30.0, std::log(s.t[1]) - std::log(time) - 12) : -30.0,
              30, 0.25));
}

double Du(const Series& s, std::int32_t i) {
    const double time = s.t[i];
    double logSum = 0.0;
    for (std::int32_t j = 1; j <= i; ++j) logSum += std::log(s.t[j]);
    const auto at = [&](double u) {
        const double beta = std::exp(u);
        return i * (std::log(i * beta) - beta * std::log(time)) + (beta - 1.0) * logSum - i;
    };
    return Best1(at, -8, 4, 0.05);
}

double Li(const Series& s, std::int32_t i) {
    const double time = s.t[i];
    const auto at = [&](double u, double v) {
        const double remaining = std::exp(u);
        const double beta = time * std::exp(v);
        double sum = remaining * std::log1p(time / beta);
        for (std::int32_t j = 1; j <= i; ++j) sum += std::log1p(s.t[j] / beta);
        return LiLogLikelihood(s.t, i, remaining, i / sum, beta);
    };
    return std::max({MO(s, i), JM(s, i), Best2(at, -16, 16, -16, 16, 1.0)});
}

double LNHPP(const Series& s, std::int32_t i) {
    const double time = s.t[i];
    const auto at = [&](double u, double v) {
        const double alpha = std::exp(u);
        const double beta = time * std::exp(v);
        const double mu = i / -std::expm1(-alpha * std::log1p(time / beta));
        return LnhppLogLikelihood(s.t, i, mu, alpha, beta);
    };
    return std::max({MO(s, i), GO(s, i), Best2(at, -16, 16, -16, 16, 1.0)});
}

double Mean(const Series& s, std::int32_t i) { return s.t[i] / i; }

// The floor of the models' searches, 1e-15 mean interfailure times, in the logarithm of a
// scale: LV and KL reach it only where a zero time lets the likelihood climb without bound.
constexpr double kLogFloor = -34.538776394910684;
constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

double ExponentialLine(const Series& s, std::int32_t i) {
    const double mean = Mean(s, i);
    const auto at = [&](double u, double v) {
        const double first = mean * std::exp(u);
        const double last = mean * std::exp(v);
        double sum = 0.0;
        for (std::int32_t j = 1; j <= i; ++j) {
            const double m = OnLine(j, i, first, last);
            sum -= std::log(m) + s.x[j] / m;
        }
        return sum;
    };
    return Best2(at, -8, 8, -8, 8, 0.5);
}

// LV's likelihood with ln(psi(1) / mean) = u and ln(psi(i) / mean) = v, Alpha at its best.
double LVAt(const Series& s, std::int32_t i, double u, double v) {
    if (u < kLogFloor || v < kLogFloor) return kMinusInfinity;
    const double mean = Mean(s, i);
    const double first = mean * std::exp(u);
    const double last = mean * std::exp(v);
    const auto scale = [&](std::int32_t j) { return OnLine(j, i, first, last); };
    double sum = 0.0;
    for (std::int32_t j = 1; j <= i; ++j) sum += std::log1p(s.x[j] / scale(j));
    const double alpha = i / sum;
    return ParetoLogLikelihood(
        s.x, i, [&](std::int32_t) { return alpha; }, scale);
}

double LV(const Series& s, std::int32_t i) {
    const auto at = [&](double u, double v) { return LVAt(s, i, u, v); };
    return std::max(ExponentialLine(s, i), Best2(at, -14, 20, -14, 20, 1.0));
}

// KL's likelihood with ln(s(1) / s(i)) = u and ln(Beta / mean) = v, the level at its best.
double KLAt(const Series& s, std::int32_t i, double u, double v) {
    if (v < kLogFloor) return kMinusInfinity;
    const double ratio = std::exp(u);
    const double beta = Mean(s, i) * std::exp(v);
    const auto relative = [&](std::int32_t j) { return 1.0 / OnLine(j, i, 1.0, ratio); };
    double sum = 0.0;
    for (std::int32_t j = 1; j <= i; ++j) sum += relative(j) * std::log1p(s.x[j] / beta);
    const double level = i / sum;
    return ParetoLogLikelihood(
        s.x, i, [&](std::int32_t j) { return level * relative(j); },
        [&](std::int32_t) { return beta; });
}

double KL(const Series& s, std::int32_t i) {
    const auto at = [&](double u, double v) { return KLAt(s, i, u, v); };
    return std::max(ExponentialLine(s, i), Best2(at, -12, 12, -14, 20, 1.0));
}

}  // namespace

double OracleSupremum(std::string_view code, const Series& series, std::int32_t i) {
    const std::pair<std::string_view, double (*)(const Series&, std::int32_t)> models[] = {
        {"JM", &JM}, {"Du", &Du},       {"MO", &MO}, {"GO", &GO},
        {"Li", &Li}, {"LNHPP", &LNHPP}, {"LV", &LV}, {"KL", &KL}};
    for (const auto& [name, supremum] : models) {
        if (name == code) return supremum(series, i);
    }
    return std::numeric_limits<double>::quiet_NaN();
}

bool OracleSingular(std::string_view code, const Series& series, std::int32_t i) {
    // A first failure at time 0: Duane's density there grows without bound for Beta < 1, and
    // so does MO's as a -> 0, and with it Li's and LNHPP's, which hold MO as a limit.
    if (series.t[1] == 0.0 && (code == "Du" || code == "MO" || code == "Li" || code == "LNHPP")) {
        return true;
    }
    if (code == "Du") return series.t[1] == series.t[i];
    if (code != "LV" && code != "KL") return false;
    if (series.x[i] == 0.0 || series.x[1] == 0.0) return true;
    if (std::find(&series.x[1], &series.x[i] + 1, 0.0) == &series.x[i] + 1) return false;
    // A 0 inside: the scales at the floor, where the climb towards the singularity has gone
    // furthest, against the supremum above the floor.
    const double corner =
        code == "LV" ? LVAt(series, i, kLogFloor, kLogFloor)
                     : Best1([&](double u) { return KLAt(series, i, u, kLogFloor); }, -12, 12, 0.5);
    const double supremum = OracleSupremum(code, series, i);
    return corner >= supremum - 1e-9 * std::max(1.0, std::fabs(supremum));
}

}  // namespace tamsel::test
