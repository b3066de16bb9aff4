#include "tamsel/numeric/minimise_nd.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <stdexcept>
#include <utility>

namespace tamsel {
namespace {

using Vector = std::vector<double>;

// Absolute step of the forward differences of the gradient.
constexpr double kHessianStep = 1e-8;
// Longest step along a direction when no bound limits it.
constexpr double kUnboundedStep = 1e10;
// Evaluations one line search may make at most.
constexpr std::int32_t kLineSearchEvaluations = 50;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double Dot(const Vector& a, const Vector& b) {
    double sum = 0.0;
    for (std::size_t k = 0; k < a.size(); ++k) sum += a[k] * b[k];
    return sum;
}

bool AllFinite(const Vector& v) {
    return std::all_of(v.begin(), v.end(), [](double e) { return std::isfinite(e); });
}

// The objective at one point with its gradient, and its Hessian where it gives one.
class Objective {
  public:
    explicit Objective(ObjectiveND f) : m_gradient(f) {}
    explicit Objective(ObjectiveHessianND f) : m_hessian(f) {}

    bool HasHessian() const { return m_hessian.has_value(); }

    // h is filled (n x n, row-major) only by an objective with a Hessian.
    double operator()(const Vector& x, Vector& g, Vector& h) const {
        return m_hessian ? (*m_hessian)(x, g, h) : (*m_gradient)(x, g);
    }
    double operator()(const Vector& x, Vector& g) const {
        Vector h(HasHessian() ? g.size() * g.size() : 0);
        return (*this)(x, g, h);
    }

  private:
    std::optional<ObjectiveND> m_gradient;
    std::optional<ObjectiveHessianND> m_hessian;
};

// The best point found so far.
struct Point {
    Vector x;
    Vector g;
    double f = 0.0;
    Vector h;  // the Hessian at x, for an objective that gives it
};

// Square n x n matrix, row-major.
struct Matrix {
    explicit Matrix(std::size_t size) : n(size), a(size * size, 0.0) {}
    double& operator()(std::size_t i, std::size_t j) { return a[i * n + j]; }
    double operator()(std::size_t i, std::size_t j) const { return a[i * n + j]; }
    std::size_t n;
    Vector a;
};

// H + E = L diag(D) L^T with L unit lower triangular and E a non-negative diagonal chosen
// so that D stays positive and L bounded (Gill and Murray). mostNegative is the 1-based
// index of the most negative pivot before correction, 0 when there was none.
struct Factorisation {
    Matrix l;
    Vector d;
    std::size_t mostNegative = 0;
};

// What one minimisation works in, made once for all its iterations: a search of two
// variables otherwise spends a tenth of its time allocating these.
struct Workspace {
    Workspace(std::size_t n, bool hessian)
        : h(n),
          f{Matrix(n), Vector(n, 0.0), 0},
          c(n),
          p(n),
          projected(n),
          probes(n, Vector(n, 0.0)),
          probe(n),
          trial{Vector(n), Vector(n, 0.0), 0.0, Vector(hessian ? n * n : 0)} {}
    Matrix h;                    // the Hessian at the best point
    Factorisation f;             // of h
    Matrix c;                    // the factorisation's partly reduced columns
    Vector p;                    // the direction searched
    Vector projected;            // the projected gradient
    std::vector<Vector> probes;  // the gradients of the finite differences
    Vector probe;                // where they are taken
    Point trial;                 // the line search's trial point
};

// Forward differences of the gradient, symmetrised, into h. Where the objective fails at a
// probe the elements are not finite, and so is the direction taken from them:
// MaxFeasibleStep then refuses it and the iteration falls back on steepest descent.
void FiniteDifferenceHessian(const Point& at, const Objective& objective, Workspace& work) {
    const std::size_t n = at.x.size();
    std::vector<Vector>& probes = work.probes;
    Vector& x = work.probe;
    x = at.x;
    for (std::size_t k = 0; k < n; ++k) {
        x[k] = at.x[k] + kHessianStep;
        objective(x, probes[k]);
        x[k] = at.x[k];
    }
    Matrix& h = work.h;
    for (std::size_t k = 0; k < n; ++k) {
        h(k, k) = (probes[k][k] - at.g[k]) / kHessianStep;
        for (std::size_t j = 0; j < k; ++j) {
            h(j, k) = h(k, j) =
                ((probes[k][j] - at.g[j]) + (probes[j][k] - at.g[k])) / (2.0 * kHessianStep);
        }
    }
}

// The Hessian at the best point into work.h.
void HessianAt(const Point& at, const Objective& objective, Workspace& work) {
    if (!objective.HasHessian()) return FiniteDifferenceHessian(at, objective, work);
    work.h.a = at.h;
}

// Factorises work.h into work.f. The factor's upper triangle is never written and stays 0.
void ModifiedCholesky(double precision, Workspace& work) {
    const Matrix& h = work.h;
    const std::size_t n = h.n;
    double gamma = 0.0;
    double xi = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        gamma = std::max(gamma, std::abs(h(i, i)));
        for (std::size_t j = 0; j < i; ++j) xi = std::max(xi, std::abs(h(i, j)));
    }
    const double nu = std::max(1.0, std::sqrt(static_cast<double>(n * n) - 1.0));
    const double betaSq = std::max({gamma, xi / nu, precision});

    Factorisation& f = work.f;
    f.mostNegative = 0;
    // c holds the partly reduced column j below the diagonal: c(i, j) = L(i, j) D(j).
    Matrix& c = work.c;
    double mostNegativePivot = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        double cjj = h(j, j);
        for (std::size_t s = 0; s < j; ++s) cjj -= f.l(j, s) * c(j, s);
        double theta = 0.0;
        for (std::size_t i = j + 1; i < n; ++i) {
            double cij = h(i, j);
            for (std::size_t s = 0; s < j; ++s) cij -= f.l(j, s) * c(i, s);
            c(i, j) = cij;
            theta = std::max(theta, std::abs(cij));
        }
        f.d[j] = std::max({std::abs(cjj), theta * theta / betaSq, precision});
        f.l(j, j) = 1.0;
        for (std::size_t i = j + 1; i < n; ++i) f.l(i, j) = c(i, j) / f.d[j];
        if (cjj < mostNegativePivot) {
            mostNegativePivot = cjj;
            f.mostNegative = j + 1;
        }
    }
}

// Solves L diag(D) L^T p = -g.
void NewtonDirection(const Factorisation& f, const Vector& g, Vector& p) {
    const std::size_t n = g.size();
    for (std::size_t i = 0; i < n; ++i) {
        double sum = -g[i];
        for (std::size_t j = 0; j < i; ++j) sum -= f.l(i, j) * p[j];
        p[i] = sum;
    }
    for (std::size_t i = 0; i < n; ++i) p[i] /= f.d[i];
    for (std::size_t i = n; i-- > 0;) {
        for (std::size_t j = i + 1; j < n; ++j) p[i] -= f.l(j, i) * p[j];
    }
}

// Solves L^T p = e(k), k 1-based: p^T H p is then at most the negative pivot of column k.
void NegativeCurvatureDirection(const Factorisation& f, std::size_t k, Vector& p) {
    std::fill(p.begin(), p.end(), 0.0);
    p[k - 1] = 1.0;
    for (std::size_t j = k - 1; j-- > 0;) {
        double sum = 0.0;
        for (std::size_t i = j + 1; i < k; ++i) sum -= f.l(i, j) * p[i];
        p[j] = sum;
    }
}

// The longest step t with |x + t p| <= b; 0 when p is zero or not finite.
double MaxFeasibleStep(const Vector& x, const Vector& p, const Vector& b) {
    if (!AllFinite(p) || Dot(p, p) == 0.0) return 0.0;
    double t = kUnboundedStep;
    for (std::size_t k = 0; k < x.size(); ++k) {
        if (p[k] > 0.0) t = std::min(t, (b[k] - x[k]) / p[k]);
        if (p[k] < 0.0) t = std::min(t, -(b[k] + x[k]) / p[k]);
    }
    return std::max(t, 0.0);
}

struct LineSearchSettings {
    double sAbs;
    double absolutePrecision;
    double eta;
    std::int32_t maxEvaluations;
};

// Minimiser of the cubic through (0, f0, g0) and (w, fw, gw), relative to 0; NaN when the
// cubic has no minimum.
double CubicMinimum(double f0, double g0, double w, double fw, double gw) {
    const double z = 3.0 * (f0 - fw) / w + g0 + gw;
    const double radicand = z * z - g0 * gw;
    if (radicand < 0.0) return kNaN;
    const double root = w > 0.0 ? -std::sqrt(radicand) : std::sqrt(radicand);
    const double denominator = g0 - gw + 2.0 * root;
    if (denominator == 0.0) return kNaN;
    return w * (g0 + root - z) / denominator;
}

struct LineSearchResult {
    double step = 0.0;
    std::int32_t evaluations = 0;
};

// Safeguarded cubic line search along p within steps (0, maxStep], starting with the step
// firstStep, its trial points taken in trial. Moves best to the lowest point found; returns
// the step taken from the old best point (0 when nothing lower was found) and the
// evaluations made.
//
// Positions are kept relative to the best point: [lo, hi] brackets the minimum along p under
// unimodality (hi is the feasible end until a trial shows the minimum lies before it), w is
// the other point the interpolation uses.

LineSearchResult SearchLine(Point& best, const Vector& p, double firstStep, double maxStep,
                            const Vector& bounds, const LineSearchSettings& settings,
                            const Objective& objective, Point& trial) {
    LineSearchResult result;
    if (maxStep <= 0.0 || settings.maxEvaluations <= 0) return result;
    const std::size_t n = p.size();
    const double minStep = settings.sAbs / (std::sqrt(Dot(p, p)) + settings.absolutePrecision *
                                                                       settings.absolutePrecision);
    const double f0 = best.f;
    const double gp = Dot(best.g, p);
    double slope = gp;
    double lo = 0.0;
    double hi = maxStep;
    bool bracketed = false;
    bool haveW = false;
    double w = 0.0, fw = 0.0, gw = 0.0;
    double tol1 = minStep;
    double stepBeforeLast = hi - lo;
    double lastStep = 0.0;
    double u = std::min(firstStep, maxStep);

    for (;;) {
        for (std::size_t k = 0; k < n; ++k) {
            trial.x[k] = std::clamp(best.x[k] + u * p[k], -bounds[k], bounds[k]);
        }
        trial.f = objective(trial.x, trial.g, trial.h);
        ++result.evaluations;
        const double trialSlope = Dot(trial.g, p);
        const bool usable = std::isfinite(trial.f) && std::isfinite(trialSlope);
        if (usable && trial.f < best.f) {
            haveW = true;
            w = -u;
            fw = best.f;
            gw = slope;
            std::swap(best, trial);
            slope = trialSlope;
            result.step += u;
            // The old best point closes the bracket behind the new one; when the slope
            // rises beyond the new point, the minimum lies between the two.
            if (u > 0.0) {
                lo = -u;
                hi -= u;
            } else {
                hi = -u;
                lo -= u;
            }
            if (slope * u > 0.0) {
                (u > 0.0 ? hi : lo) = 0.0;
                bracketed = true;
            }
            tol1 = settings.sAbs * std::abs(result.step) + minStep;
        } else {
            (u > 0.0 ? hi : lo) = u;
            bracketed = true;
            if (usable) {
                haveW = true;
                w = u;
                fw = trial.f;
                gw = trialSlope;
            }
        }
        lastStep = std::abs(u);

        if (best.f < f0 && std::abs(slope) <= settings.eta * std::abs(gp)) break;
        // The minimum lies on the downhill side of the best point.
        const double far = slope > 0.0 ? lo : hi;
        const double tol2 = 2.0 * tol1;
        if (std::abs(far) < tol2) break;
        if (result.evaluations >= settings.maxEvaluations) break;

        const double side = slope > 0.0 ? -1.0 : 1.0;
        const double cubic = haveW ? side * CubicMinimum(0.0, slope, w, fw - best.f, gw) : kNaN;
        const double previous = stepBeforeLast;
        stepBeforeLast = lastStep;
        double s = 0.0;
        if (!bracketed) {
            // Extrapolate towards the feasible end by up to four times the last step: to the
            // cubic's minimum when it lies at least one step ahead, else the full four.
            s = cubic > lastStep && cubic <= 4.0 * lastStep ? cubic : 4.0 * lastStep;
            s = std::clamp(s, std::min(tol1, std::abs(far)), std::abs(far));
        } else {
            const double span = std::abs(far);
            if (cubic >= tol1 && cubic <= span - tol1 && cubic < 0.5 * previous) {
                s = cubic;
            } else {
                // Two-sided step: short when the bracket is lopsided, halfway at most.
                const double other = slope > 0.0 ? hi : -lo;
                const double ratio = (other > 0.0 ? other : tol1) / span;
                s = ratio >= 1.0 ? 5.0 * span * (0.1 + 1.0 / ratio) / 11.0
                                 : 0.5 * span * std::sqrt(ratio);
                s = std::clamp(s, tol1, span - tol1);
                stepBeforeLast = hi - lo;
            }
        }
        u = side * s;
    }
    return result;
}

// Moves a start on or outside the box inside it. A start beyond twenty times its bound
// would land past the opposite bound; it is held at nine tenths of that bound instead.
void MoveStartInside(Vector& x, const Vector& b, double tolerance) {
    for (std::size_t k = 0; k < x.size(); ++k) {
        if (std::abs(x[k]) < b[k]) continue;
        x[k] = b[k] - (0.1 * std::abs(x[k]) + 100.0 * tolerance);
        if (x[k] <= -b[k]) x[k] = -0.9 * b[k];
    }
}

MinimiseNDResult Minimise(const Objective& objective, std::vector<double> x,
                          const std::vector<double>& b, double absolutePrecision, double eta,
                          double tolerance, std::int32_t maxIter) {
    if (x.empty() || b.size() != x.size()) {
        throw std::invalid_argument("MinimiseND needs at least one variable and one bound each");
    }
    const std::size_t n = x.size();
    const double toleranceSq = tolerance * tolerance;
    const double sAbs = std::sqrt(absolutePrecision);
    const LineSearchSettings settings{sAbs, absolutePrecision, eta,
                                      std::min(kLineSearchEvaluations, maxIter)};

    MoveStartInside(x, b, tolerance);
    Workspace work(n, objective.HasHessian());
    Point best{std::move(x), Vector(n, 0.0), 0.0, Vector(objective.HasHessian() ? n * n : 0)};
    best.f = objective(best.x, best.g, best.h);

    MinimiseNDResult result;
    result.evaluations = 1;
    auto finish = [&](Termination termination) {
        result.termination = termination;
        result.x = std::move(best.x);
        result.fx = best.f;
        return std::move(result);
    };
    auto overBudget = [&] { return 2 * (result.iterations + result.evaluations) > maxIter; };

    for (;;) {
        // Without a finite gradient there is no direction to follow.
        if (!AllFinite(best.g)) return finish(Termination::NonFiniteGradient);
        const double gg = Dot(best.g, best.g);
        HessianAt(best, objective, work);
        ModifiedCholesky(absolutePrecision, work);
        const Factorisation& f = work.f;
        ++result.iterations;

        Vector& p = work.p;
        if (gg >= toleranceSq) {
            NewtonDirection(f, best.g, p);
        } else if (f.mostNegative == 0) {
            return finish(Termination::Converged);
        } else {
            NegativeCurvatureDirection(f, f.mostNegative, p);
            if (Dot(best.g, p) > 0.0) {
                for (double& e : p) e = -e;
            }
        }
        const LineSearchResult newton = SearchLine(best, p, 1.0, MaxFeasibleStep(best.x, p, b), b,
                                                   settings, objective, work.trial);
        result.evaluations += newton.evaluations;
        if (overBudget()) return finish(Termination::IterationBudget);
        if (newton.step >= sAbs) continue;

        // Too short a step: the search is held by a bound or has stalled. The objective is
        // symmetric in the sign of each variable, so only the upper bounds need watching.
        for (std::size_t k = 0; k < n; ++k) {
            if (best.x[k] < 0.0) {
                best.x[k] = -best.x[k];
                best.g[k] = -best.g[k];
                // The curvature across k changes sign with it.
                for (std::size_t j = 0; j < n && !best.h.empty(); ++j) {
                    if (j == k) continue;
                    best.h[k * n + j] = -best.h[k * n + j];
                    best.h[j * n + k] = -best.h[j * n + k];
                }
            }
        }
        // Projected gradient: a coordinate at its bound only counts where descent leads
        // back inside.
        Vector& projected = work.projected;
        projected = best.g;
        for (std::size_t k = 0; k < n; ++k) {
            if (b[k] - best.x[k] <= sAbs) projected[k] = std::max(projected[k], 0.0);
        }
        const double pg = Dot(projected, projected);
        if (pg < toleranceSq) return finish(Termination::Converged);
        // The Newton direction is done with: the steepest descent takes its place.
        Vector& d = work.p;
        for (std::size_t k = 0; k < n; ++k) d[k] = -projected[k] / std::sqrt(pg);
        const double norm = std::sqrt(Dot(best.x, best.x));
        const LineSearchResult descent =
            SearchLine(best, d, norm > 0.0 ? 0.1 * norm : 1.0, MaxFeasibleStep(best.x, d, b), b,
                       settings, objective, work.trial);
        result.evaluations += descent.evaluations;
        if (overBudget()) return finish(Termination::IterationBudget);
        // Nothing lower along the projected steepest descent: every later iteration would
        // repeat this one until the budget ran out.
        if (descent.step == 0.0) return finish(Termination::NoLowerPoint);
    }
}

}  // namespace

MinimiseNDResult MinimiseND(ObjectiveND f, std::vector<double> x, const std::vector<double>& b,
                            double absolutePrecision, double eta, double tolerance,
                            std::int32_t maxIter) {
    return Minimise(Objective(f), std::move(x), b, absolutePrecision, eta, tolerance, maxIter);
}

MinimiseNDResult MinimiseND(ObjectiveHessianND f, std::vector<double> x,
                            const std::vector<double>& b, double absolutePrecision, double eta,
                            double tolerance, std::int32_t maxIter) {
    return Minimise(Objective(f), std::move(x), b, absolutePrecision, eta, tolerance, maxIter);
}

}  // namespace tamsel
