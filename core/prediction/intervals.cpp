#include "tamsel/prediction/intervals.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <optional>
#include <string_view>

#include "tamsel/models/log_likelihoods.h"
#include "tamsel/numeric/minimise_1d.h"

namespace tamsel {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// How far (in the working coordinate) a side is followed before it counts as unbounded: on
// a log scale a factor e^64 from the estimate.
constexpr double kReach = 64.0;

using Theta = std::array<double, 3>;

// A parameter's working coordinate u: theta = offset + e^u on a log scale, theta = u otherwise.
struct Coordinate {
    bool logScale = true;
    double offset = 0.0;

    double Theta(double u) const { return logScale ? offset + std::exp(u) : u; }
    std::optional<double> U(double theta) const {
        if (!logScale) return theta;
        if (!(theta > offset)) return std::nullopt;
        return std::log(theta - offset);
    }
    double DomainLower() const { return logScale ? offset : -kInfinity; }
};

// A model's full log-likelihood with the working coordinate of each parameter.
struct Likelihood {
    int parameters = 2;
    std::array<Coordinate, 3> coordinates;
    std::function<double(const Theta&)> value;

    double AtU(const Theta& u) const {
        Theta theta{};
        for (int k = 0; k < parameters; ++k) theta[k] = coordinates[k].Theta(u[k]);
        const double v = value(theta);
        return std::isnan(v) ? -kInfinity : v;
    }
};

std::optional<Likelihood> LikelihoodOf(std::string_view code, const FailureSeries& x,
                                       const FailureSeries& t, std::int32_t n) {
    std::optional<LogLikelihood> value = FullLogLikelihood(code, x, t, n);
    if (!value) return std::nullopt;
    const Coordinate positive{};
    const Coordinate faults{true, n - 1.0};  // N > n - 1 keeps every N - j + 1 positive
    const Coordinate anySign{false, 0.0};
    Likelihood likelihood{3, {positive, positive, positive}, std::move(*value)};
    if (code == "JM") likelihood.coordinates[0] = faults;
    if (code == "Li") likelihood.coordinates[0] = faults;
    if (code == "LV") likelihood.coordinates = {positive, anySign, anySign};
    if (code == "KL") likelihood.coordinates = {anySign, anySign, positive};
    if (code == "JM" || code == "Du" || code == "MO" || code == "GO") likelihood.parameters = 2;
    return likelihood;
}

bool ProfiledModel(std::string_view code) { return code == "JM" || code == "MO" || code == "GO"; }

// Every interval spanning its whole domain.
void Unbounded(const Likelihood& likelihood, const Theta& theta, ParameterIntervals& result) {
    result.parameters.clear();
    for (int k = 0; k < likelihood.parameters; ++k) {
        result.parameters.push_back({theta[k], likelihood.coordinates[k].DomainLower(), kInfinity});
    }
}

// The profile log-likelihood of parameter k (of two) at coordinate v, and the coordinates
// where it is reached: the other parameter's coordinate maximises the likelihood, searched
// from where the fit has it.
struct ProfilePoint {
    double value = 0.0;
    Theta u{};
};

ProfilePoint ProfileAt(const Likelihood& likelihood, const Theta& fitted, int k, double v) {
    const int other = 1 - k;
    Theta u = fitted;
    u[k] = v;
    auto negative = [&](double w) {
        u[other] = w;
        return -likelihood.AtU(u);
    };
    const double start = fitted[other];
    const Minimise1DResult best =
        Minimise1D(negative, start, start - kReach, start + kReach, 1e-12, 1e-12, 400);
    u[other] = best.x;
    return {-best.fx, u};
}

double Profile(const Likelihood& likelihood, const Theta& fitted, int k, double v) {
    return ProfileAt(likelihood, fitted, k, v).value;
}

// Where the profile of k falls to level on the side direction (+1 or -1) of the fit, by
// doubling steps and bisection; nothing when it stays above level within kReach.
std::optional<double> ProfileEnd(const Likelihood& likelihood, const Theta& fitted, int k,
                                 double direction, double level) {
    double inside = fitted[k];
    for (double step = 0.25; step <= kReach; step *= 2.0) {
        double outside = fitted[k] + direction * step;
        if (Profile(likelihood, fitted, k, outside) >= level) {
            inside = outside;
            continue;
        }
        for (int iteration = 0; iteration < 200; ++iteration) {
            const double middle = 0.5 * (inside + outside);
            if (middle == inside || middle == outside) break;
            (Profile(likelihood, fitted, k, middle) >= level ? inside : outside) = middle;
        }
        return 0.5 * (inside + outside);
    }
    return std::nullopt;
}

Theta ThetaAt(const Likelihood& likelihood, const Theta& u) {
    Theta theta{};
    for (int k = 0; k < likelihood.parameters; ++k)
        theta[k] = likelihood.coordinates[k].Theta(u[k]);
    return theta;
}

// Each parameter's interval, and on the region the points where the profile of each ends
// (or, on a side the data do not bound, where the search gave up: the far end of the ridge).
void ProfileIntervals(const Likelihood& likelihood, const Theta& u, double level,
                      ParameterIntervals& result, LikelihoodRegion& region) {
    for (int k = 0; k < 2; ++k) {
        const Coordinate& c = likelihood.coordinates[k];
        const std::optional<double> low = ProfileEnd(likelihood, u, k, -1.0, level);
        const std::optional<double> high = ProfileEnd(likelihood, u, k, 1.0, level);
        result.parameters[k].lower = low ? c.Theta(*low) : c.DomainLower();
        result.parameters[k].upper = high ? c.Theta(*high) : kInfinity;
        for (double end : {low.value_or(u[k] - kReach), high.value_or(u[k] + kReach)}) {
            region.points.push_back(ThetaAt(likelihood, ProfileAt(likelihood, u, k, end).u));
        }
    }
}

// Central second differences of the log-likelihood in the working coordinates.
std::array<std::array<double, 3>, 3> Hessian(const Likelihood& likelihood, const Theta& u) {
    const int m = likelihood.parameters;
    Theta h{};
    for (int k = 0; k < m; ++k) h[k] = 1e-4 * std::max(1.0, std::fabs(u[k]));
    auto at = [&](int a, double da, int b, double db) {
        Theta p = u;
        p[a] += da;
        p[b] += db;
        return likelihood.AtU(p);
    };
    std::array<std::array<double, 3>, 3> hessian{};
    const double centre = likelihood.AtU(u);
    for (int a = 0; a < m; ++a) {
        hessian[a][a] = (at(a, h[a], a, 0.0) - 2.0 * centre + at(a, -h[a], a, 0.0)) / (h[a] * h[a]);
        for (int b = a + 1; b < m; ++b) {
            hessian[a][b] = hessian[b][a] = (at(a, h[a], b, h[b]) - at(a, h[a], b, -h[b]) -
                                             at(a, -h[a], b, h[b]) + at(a, -h[a], b, -h[b])) /
                                            (4.0 * h[a] * h[b]);
        }
    }
    return hessian;
}

using Matrix = std::array<std::array<double, 3>, 3>;

// The Cholesky factor L of the observed information -H (L L^T = -H); nothing when -H is not
// positive definite.
std::optional<Matrix> InformationFactor(const Matrix& hessian, int m) {
    Matrix l{};
    for (int a = 0; a < m; ++a) {
        for (int b = 0; b <= a; ++b) {
            double sum = -hessian[a][b];
            for (int k = 0; k < b; ++k) sum -= l[a][k] * l[b][k];
            if (a == b) {
                if (!(sum > 0.0) || !std::isfinite(sum)) return std::nullopt;
                l[a][a] = std::sqrt(sum);
            } else {
                l[a][b] = sum / l[b][b];
            }
        }
    }
    return l;
}

// L^-1 of a lower triangular factor, column by column.
Matrix InverseFactor(const Matrix& l, int m) {
    Matrix inverse{};
    for (int c = 0; c < m; ++c) {
        for (int a = c; a < m; ++a) {
            double sum = a == c ? 1.0 : 0.0;
            for (int k = c; k < a; ++k) sum -= l[a][k] * inverse[k][c];
            inverse[a][c] = sum / l[a][a];
        }
    }
    return inverse;
}

// Points on the boundary of the likelihood-ratio region, along rays from the estimate u that
// the observed information spreads evenly (a quadratic likelihood would give a circle of
// them); a ray the data do not bound gives its point at kReach.
void RegionBoundary(const Likelihood& likelihood, const Theta& u, double level,
                    LikelihoodRegion& region) {
    constexpr int kRays = 192;
    Matrix spread{{{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}}};
    if (const std::optional<Matrix> l = InformationFactor(Hessian(likelihood, u), 2)) {
        const Matrix inverse = InverseFactor(*l, 2);  // rays u + L^-T z
        for (int a = 0; a < 2; ++a) {
            for (int b = 0; b < 2; ++b) spread[a][b] = inverse[b][a];
        }
    }
    for (int ray = 0; ray < kRays; ++ray) {
        const double angle = 2.0 * std::numbers::pi * ray / kRays;
        const double z[2] = {std::cos(angle), std::sin(angle)};
        Theta direction{};
        double longest = 0.0;
        for (int a = 0; a < 2; ++a) {
            direction[a] = spread[a][0] * z[0] + spread[a][1] * z[1];
            longest = std::max(longest, std::fabs(direction[a]));
        }
        if (!(longest > 0.0)) continue;
        auto at = [&](double r) {
            Theta p = u;
            for (int a = 0; a < 2; ++a) p[a] += r * direction[a];
            return p;
        };
        const double farthest = kReach / longest;
        double inside = 0.0;
        double outside = 1.0;
        while (outside < farthest && likelihood.AtU(at(outside)) >= level) {
            inside = outside;
            outside *= 2.0;
        }
        if (outside >= farthest && likelihood.AtU(at(farthest)) >= level) {
            inside = farthest;
        } else {
            outside = std::min(outside, farthest);
            for (int iteration = 0; iteration < 100; ++iteration) {
                const double middle = 0.5 * (inside + outside);
                if (middle == inside || middle == outside) break;
                (likelihood.AtU(at(middle)) >= level ? inside : outside) = middle;
            }
        }
        region.points.push_back(ThetaAt(likelihood, at(inside)));
    }
}

// Wald intervals, and on the region the estimate's neighbours one step away in each
// coordinate with the covariance (-H)^-1 = L^-T L^-1 that the delta method needs.
bool InformationIntervals(const Likelihood& likelihood, const Theta& u, ParameterIntervals& result,
                          LikelihoodRegion& region) {
    const int m = likelihood.parameters;
    const std::optional<Matrix> l = InformationFactor(Hessian(likelihood, u), m);
    if (!l) return false;
    const Matrix inverse = InverseFactor(*l, m);
    for (int a = 0; a < m; ++a) {
        for (int b = 0; b < m; ++b) {
            for (int k = std::max(a, b); k < m; ++k) {
                region.covariance[a][b] += inverse[k][a] * inverse[k][b];
            }
        }
    }
    for (int k = 0; k < m; ++k) {
        const double half = kWaldQuantile * std::sqrt(region.covariance[k][k]);
        const Coordinate& c = likelihood.coordinates[k];
        result.parameters[k].lower = c.Theta(u[k] - half);
        result.parameters[k].upper = c.Theta(u[k] + half);
        region.steps[k] = kQuantityStep * std::max(1.0, std::fabs(u[k]));
        for (double side : {1.0, -1.0}) {
            Theta p = u;
            p[k] += side * region.steps[k];
            region.points.push_back(ThetaAt(likelihood, p));
        }
    }
    return true;
}

double OnScale(double v, QuantityScale scale) {
    return scale == QuantityScale::Log ? std::log(v) : std::log(v) - std::log1p(-v);
}

double FromScale(double w, QuantityScale scale) {
    return scale == QuantityScale::Log ? std::exp(w) : 1.0 / (1.0 + std::exp(-w));
}

}  // namespace

std::optional<QuantityInterval> QuantityIntervalOf(const LikelihoodRegion& region,
                                                   std::span<const std::optional<double>> values,
                                                   QuantityScale scale) {
    if (values.size() != region.points.size() || !values[0]) return std::nullopt;
    if (region.method == IntervalMethod::ProfileLikelihood) {
        QuantityInterval range{*values[0], *values[0]};
        for (const std::optional<double>& v : values) {
            if (!v) continue;
            range.lower = std::min(range.lower, *v);
            range.upper = std::max(range.upper, *v);
        }
        return range;
    }
    // The delta method: the gradient by central differences on the scale, then
    // g^T covariance g.
    std::array<double, 3> gradient{};
    for (int k = 0; k < region.parameters; ++k) {
        const std::optional<double>& above = values[1 + 2 * k];
        const std::optional<double>& below = values[2 + 2 * k];
        if (!above || !below) return std::nullopt;
        gradient[k] = (OnScale(*above, scale) - OnScale(*below, scale)) / (2.0 * region.steps[k]);
    }
    double variance = 0.0;
    for (int a = 0; a < region.parameters; ++a) {
        for (int b = 0; b < region.parameters; ++b) {
            variance += gradient[a] * gradient[b] * region.covariance[a][b];
        }
    }
    const double centre = OnScale(*values[0], scale);
    const double half = kWaldQuantile * std::sqrt(variance);
    if (!std::isfinite(centre) || !std::isfinite(half)) return std::nullopt;
    return QuantityInterval{FromScale(centre - half, scale), FromScale(centre + half, scale)};
}

ParameterIntervals ParameterIntervalsAt(const ModelInfo& model, const FailureSeries& x,
                                        const FailureSeries& t, const StoredFit& fit,
                                        FitOutcome outcome) {
    ParameterIntervals result;
    result.method = ProfiledModel(model.code) ? IntervalMethod::ProfileLikelihood
                                              : IntervalMethod::ObservedInformation;
    const std::optional<Likelihood> likelihood = LikelihoodOf(model.code, x, t, fit.index);
    if (!likelihood) return result;
    const Theta theta{fit.param1, fit.param2, fit.param3};
    Unbounded(*likelihood, theta, result);
    Theta u{};
    bool interior = outcome == FitOutcome::Converged || outcome == FitOutcome::Iterations;
    for (int k = 0; k < likelihood->parameters; ++k) {
        const std::optional<double> coordinate = likelihood->coordinates[k].U(theta[k]);
        interior = interior && coordinate.has_value();
        u[k] = coordinate.value_or(0.0);
    }
    if (!interior || !std::isfinite(likelihood->AtU(u))) {
        result.status = IntervalStatus::NoFiniteInterval;
        return result;
    }
    LikelihoodRegion region;
    region.method = result.method;
    region.parameters = likelihood->parameters;
    region.points.push_back(theta);
    if (result.method == IntervalMethod::ProfileLikelihood) {
        const double level = std::max({likelihood->AtU(u), Profile(*likelihood, u, 0, u[0]),
                                       Profile(*likelihood, u, 1, u[1])}) -
                             kProfileDrop;
        ProfileIntervals(*likelihood, u, level, result, region);
        RegionBoundary(*likelihood, u, level, region);
    } else if (!InformationIntervals(*likelihood, u, result, region)) {
        result.status = IntervalStatus::NoInformation;
        return result;
    }
    result.region = std::move(region);
    return result;
}

}  // namespace tamsel
