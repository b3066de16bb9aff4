#include "tamsel/numeric/minimise_1d.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace tamsel {
namespace {

// The two-sided step into the bracket [a, b] (relative to the best point, w the second-best
// point) taken when the parabola is rejected.
double BracketedStep(double a, double b, double w, double tol1) {
    double r = a == 0.0 ? -tol1 : a;
    double t = b == 0.0 ? tol1 : b;
    if (!(std::abs(t) > tol1 && (std::abs(r) <= tol1 || w <= 0.0))) std::swap(r, t);
    double ratio = -r / t;
    if (ratio >= 1.0) return 5.0 * t * (0.1 + 1.0 / ratio) / 11.0;
    return 0.5 * t * std::sqrt(ratio);
}

}  // namespace

// Points are kept as absolute positions (x, xw, xv and the bracket ends lower, upper); the
// relative quantities a, b, w, v are derived from them. A trial that lands on an end then
// coincides with that end exactly, which is what marks a minimum at an end as bracketed.
Minimise1DResult Minimise1D(Objective1D f, double x, double lo, double hi, double relativePrecision,
                            double absolutePrecision, std::int32_t maxIter) {
    std::int32_t count = 0;
    // Ranking non-finite values above every finite one keeps NaN out of every comparison.
    auto evaluate = [&](double point) {
        ++count;
        double value = f(point);
        return std::isfinite(value) ? value : std::numeric_limits<double>::infinity();
    };
    // Relative steps are added to x with rounding; the true ends are never passed.
    auto inside = [lo, hi](double point) { return std::max(std::min(point, hi), lo); };
    auto tolerance = [&](double at) {
        return relativePrecision * std::abs(at) + absolutePrecision;
    };

    double tol1 = tolerance(x);
    double tol2 = 2.0 * tol1;
    // On an interval narrower than two minimum distances the start goes to the middle;
    // pushing it d0 from each end in turn would leave it outside the interval.
    double d0 = std::min(0.1 * std::abs(x) + 100.0 * absolutePrecision, 0.5 * (hi - lo));
    if (x - lo < d0) x = lo + d0;
    if (hi - x < d0) x = hi - d0;

    double fx = evaluate(x);
    double lower = lo;
    double upper = hi;
    double s = -(lo - x) > hi - x ? 0.1 * (hi - x) : 0.1 * (lo - x);
    if (std::abs(s) < d0) s = std::copysign(d0, s);
    double u = inside(x + s);
    double fu = evaluate(u);
    bool bracketed = false;

    double xw;
    double fw;
    if (fu > fx) {
        xw = u;
        fw = fu;
        if (s > 0.0) {
            upper = u;
        } else {
            lower = u;
        }
        s = -s;
    } else {
        xw = x;
        fw = fx;
        fx = fu;
        if (s > 0.0) {
            lower = x;
        } else {
            upper = x;
        }
        x = u;
    }
    double xv = xw;
    double fv = fw;
    double e = std::max(x - lower, upper - x);
    // The expanding step is clipped to the interval like every later one.
    s = std::max(std::min(4.0 * s, upper - x), lower - x);
    u = inside(x + s);

    for (;;) {
        fu = evaluate(u);
        double du = u - x;
        // Worse, better or equal: exactly one of the three updates applies.
        if (fu > fx) {
            if (du > 0.0) {
                upper = u;
            } else {
                lower = u;
            }
            if (fu > fw) {
                xv = u;
                fv = fu;
            } else {
                xv = xw;
                fv = fw;
                xw = u;
                fw = fu;
            }
        } else if (fu < fx) {
            xv = xw;
            fv = fw;
            xw = x;
            fw = fx;
            fx = fu;
            if (du > 0.0) {
                lower = x;
            } else {
                upper = x;
            }
            x = u;
            if (x == lower || x == upper) bracketed = true;
            tol1 = tolerance(x);
            tol2 = 2.0 * tol1;
        } else {
            // x stays where it is, so the bracket closes on x from the side away from the
            // equal trial.
            if (bracketed) {
                if (du > 0.0) {
                    lower = x;
                } else {
                    upper = x;
                }
            }
            return {x,     fx,
                    lower, upper,
                    count, bracketed ? Termination::TiedTrial : Termination::TiedBeforeBracket};
        }

        double a = lower - x;
        double b = upper - x;
        double w = xw - x;
        double v = xv - x;
        if (v * w < 0.0) bracketed = true;
        if (std::max(-a, b) <= tol2) return {x, fx, lower, upper, count, Termination::Converged};
        // Checked only here, so the two set-up trials and the first loop trial are always made.
        if (count >= maxIter) {
            if (bracketed) return {x, fx, lower, upper, count, Termination::IterationBudget};
            return {x, fx, lo, hi, count, Termination::BudgetBeforeBracket};
        }

        double ePrev = e;
        e = s;
        // Before a bracket exists only the expanding step is taken: a parabola through three
        // points on one slope would extrapolate.
        bool parabola = false;
        if (bracketed && std::abs(ePrev) > tol1) {
            double p = w * w * (fv - fx) - v * v * (fw - fx);
            double q = 2.0 * (v * (fw - fx) - w * (fv - fx));
            if (q > 0.0) p = -p;
            q = std::abs(q);
            if (std::abs(p) < std::abs(0.5 * q * ePrev) && q * a < p && p < q * b) {
                s = p / q;
                parabola = true;
            }
        }
        if (!parabola) {
            s = bracketed ? BracketedStep(a, b, w, tol1) : std::max(std::min(-4.0 * w, b), a);
            e = std::max(-a, b);
        }
        if (bracketed && (s - a < tol2 || b - s < tol2)) s = a + b <= 0.0 ? -tol1 : tol1;

        if (s == 0.0) {
            u = x + (a + b < 0.0 ? -tol1 : tol1);
        } else if (std::abs(s) < tol1) {
            u = x + std::copysign(tol1, s);
        } else {
            u = x + s;
        }
        u = inside(u);
    }
}

Minimise1DResult GridMinimise1D(Objective1D f, double lo, double hi, std::int32_t intervals,
                                double relativePrecision, double absolutePrecision,
                                std::int32_t maxIter) {
    const auto at = [&](std::int32_t k) { return lo + (hi - lo) * k / intervals; };
    std::int32_t best = 0;
    double bestValue = f(lo);
    for (std::int32_t k = 1; k <= intervals; ++k) {
        const double value = f(at(k));
        // NaN and infinities never win, as in Minimise1D.
        if (value < bestValue || (!std::isfinite(bestValue) && std::isfinite(value))) {
            best = k;
            bestValue = value;
        }
    }
    Minimise1DResult result =
        Minimise1D(f, at(best), at(std::max(best - 1, 0)), at(std::min(best + 1, intervals)),
                   relativePrecision, absolutePrecision, maxIter);
    result.count += intervals + 1;
    return result;
}

}  // namespace tamsel
