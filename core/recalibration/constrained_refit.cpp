#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "tamsel/recalibration/spline_fit.h"

namespace tamsel {
namespace {

// Rounding in the slope of a held bound; far below kSmallestSlope, so that a curve whose
// slopes all clear kSmallestSlope - kSlopeRounding still increases.
constexpr double kSlopeRounding = 1e-12;
// A diagonal entry of R this much smaller than the largest one makes R singular.
constexpr double kSingularTolerance = 1e-12;
// Every step adds or drops a bound; in exact arithmetic the method ends long before a bound
// has come and gone this many times.
constexpr int kStepsPerBound = 20;

// A dense square matrix, row-major.
class Matrix {
  public:
    explicit Matrix(int n) : m_n(n), m_values(static_cast<std::size_t>(n) * n, 0.0) {}
    double& operator()(int row, int column) { return m_values[row * m_n + column]; }
    double operator()(int row, int column) const { return m_values[row * m_n + column]; }
    int Size() const { return m_n; }

  private:
    int m_n;
    std::vector<double> m_values;
};

struct Rotation {
    double cosine;
    double sine;
};

// The rotation that maps (a, b) onto (hypot(a, b), 0).
Rotation RotationFor(double a, double b) {
    const double radius = std::hypot(a, b);
    return {a / radius, b / radius};
}

// Applies the rotation to columns i and j of m: the new column i is c m_i + s m_j.
void RotateColumns(Matrix& m, int i, int j, Rotation g) {
    for (int row = 0; row < m.Size(); ++row) {
        const double a = m(row, i);
        const double b = m(row, j);
        m(row, i) = g.cosine * a + g.sine * b;
        m(row, j) = -g.sine * a + g.cosine * b;
    }
}

// The dual active-set method for min ||R (c - c0)||^2 subject to slope(j)(c) >= bound,
// slope(j)(c) = f(j) (c(j + 1) - c(j)). With J = R^-1 Q and Ra triangular, J^T N = [Ra; 0]
// for the normals N of the held bounds: the first q columns of J span their part of the
// space, the others the directions that keep them.
class ActiveSetSolver {
  public:
    ActiveSetSolver(const SplineCurve& curve, const BandedFactor& factor,
                    const std::vector<double>& c0)
        : m_n(static_cast<int>(c0.size())), m_c(c0), m_j(m_n), m_ra(m_n), m_f(m_n - 1) {
        const std::vector<double>& t = curve.knots;
        for (int j = 0; j + 1 < m_n; ++j) m_f[j] = 3.0 / (t[j + 4] - t[j + 1]);
        m_regular = InvertFactor(factor);
    }

    bool Solve() {
        if (!m_regular) return false;
        const int maxSteps = kStepsPerBound * m_n;
        int steps = 0;
        for (int p = MostViolated(); p >= 0; p = MostViolated()) {
            double multiplier = 0.0;
            bool held = false;
            while (!held) {
                if (++steps > maxSteps) return false;
                if (!StepTowards(p, multiplier, held)) return false;
            }
        }
        return true;
    }

    const std::vector<double>& Coefficients() const { return m_c; }
    const std::vector<int>& Active() const { return m_active; }
    const std::vector<double>& Multipliers() const { return m_multipliers; }

  private:
    double Slack(int j) const { return m_f[j] * (m_c[j + 1] - m_c[j]) - kSmallestSlope; }

    bool InvertFactor(const BandedFactor& factor) {
        double largest = 0.0;
        for (int i = 0; i < m_n; ++i) largest = std::max(largest, std::abs(factor.At(i, i)));
        for (int i = 0; i < m_n; ++i) {
            if (!(std::abs(factor.At(i, i)) > kSingularTolerance * largest)) return false;
        }
        for (int column = 0; column < m_n; ++column) {
            m_j(column, column) = 1.0 / factor.At(column, column);
            for (int i = column - 1; i >= 0; --i) {
                double sum = 0.0;
                for (int k = i + 1; k <= std::min(i + 3, column); ++k) {
                    sum += factor.At(i, k) * m_j(k, column);
                }
                m_j(i, column) = -sum / factor.At(i, i);
            }
        }
        return true;
    }

    // The unheld bound with the smallest slope below kSmallestSlope, or -1.
    int MostViolated() const {
        int worst = -1;
        double worstSlack = -kSlopeRounding;
        for (int j = 0; j + 1 < m_n; ++j) {
            if (std::find(m_active.begin(), m_active.end(), j) != m_active.end()) continue;
            const double slack = Slack(j);
            if (slack < worstSlack) {
                worstSlack = slack;
                worst = j;
            }
        }
        return worst;
    }

    // One step towards holding bound p: either the whole way (p joins the held bounds,
    // held = true) or as far as the first held bound whose multiplier reaches 0, which is
    // then let go. False when the step is undefined (rounding has broken the factors).
    bool StepTowards(int p, double& multiplier, bool& held) {
        const int q = static_cast<int>(m_active.size());
        std::vector<double> d(m_n);
        for (int i = 0; i < m_n; ++i) d[i] = m_f[p] * (m_j(p + 1, i) - m_j(p, i));

        // Primal direction z = J2 J2^T n_p and its effect on the slack of p.
        std::vector<double> z(m_n, 0.0);
        double curvature = 0.0;
        for (int i = q; i < m_n; ++i) {
            curvature += d[i] * d[i];
            for (int row = 0; row < m_n; ++row) z[row] += d[i] * m_j(row, i);
        }
        if (!(curvature > 0.0)) return false;
        const double fullStep = -Slack(p) / curvature;

        // Dual direction r = Ra^-1 d1: how the held multipliers change per unit step.
        std::vector<double> r(q);
        for (int i = q - 1; i >= 0; --i) {
            double sum = d[i];
            for (int k = i + 1; k < q; ++k) sum -= m_ra(i, k) * r[k];
            r[i] = sum / m_ra(i, i);
        }
        double partialStep = std::numeric_limits<double>::infinity();
        int leaving = -1;
        for (int l = 0; l < q; ++l) {
            if (r[l] > 0.0 && m_multipliers[l] / r[l] < partialStep) {
                partialStep = m_multipliers[l] / r[l];
                leaving = l;
            }
        }

        const double step = std::min(fullStep, partialStep);
        if (!std::isfinite(step)) return false;
        for (int i = 0; i < m_n; ++i) m_c[i] += step * z[i];
        for (int l = 0; l < q; ++l) m_multipliers[l] -= step * r[l];
        multiplier += step;
        if (fullStep <= partialStep) {
            Hold(p, multiplier, d);
            held = true;
        } else {
            Release(leaving);
        }
        return true;
    }

    void Hold(int p, double multiplier, std::vector<double>& d) {
        const int q = static_cast<int>(m_active.size());
        for (int i = m_n - 1; i > q; --i) {
            if (d[i] == 0.0) continue;
            const Rotation g = RotationFor(d[i - 1], d[i]);
            d[i - 1] = std::hypot(d[i - 1], d[i]);
            d[i] = 0.0;
            RotateColumns(m_j, i - 1, i, g);
        }
        for (int i = 0; i <= q; ++i) m_ra(i, q) = d[i];
        m_active.push_back(p);
        m_multipliers.push_back(multiplier);
    }

    void Release(int position) {
        const int q = static_cast<int>(m_active.size());
        m_active.erase(m_active.begin() + position);
        m_multipliers.erase(m_multipliers.begin() + position);
        for (int column = position; column + 1 < q; ++column) {
            for (int row = 0; row < q; ++row) m_ra(row, column) = m_ra(row, column + 1);
        }
        for (int row = 0; row < q; ++row) m_ra(row, q - 1) = 0.0;
        // Ra is now upper Hessenberg from column position on; rotate it back.
        for (int i = position; i + 1 < q; ++i) {
            if (m_ra(i + 1, i) == 0.0) continue;
            const Rotation g = RotationFor(m_ra(i, i), m_ra(i + 1, i));
            for (int column = i; column + 1 < q; ++column) {
                const double a = m_ra(i, column);
                const double b = m_ra(i + 1, column);
                m_ra(i, column) = g.cosine * a + g.sine * b;
                m_ra(i + 1, column) = -g.sine * a + g.cosine * b;
            }
            RotateColumns(m_j, i, i + 1, g);
        }
    }

    int m_n;
    std::vector<double> m_c;
    Matrix m_j;
    Matrix m_ra;
    std::vector<double> m_f;
    std::vector<int> m_active;
    std::vector<double> m_multipliers;
    bool m_regular = false;
};

}  // namespace

ConstrainedRefitResult ConstrainedRefit(const SplineCurve& curve, const BandedFactor& factor,
                                        const std::vector<double>& c0) {
    ConstrainedRefitResult result;
    ActiveSetSolver solver(curve, factor, c0);
    if (!solver.Solve()) {
        result.coefficients = c0;
        return result;
    }
    result.status = FitStatus::Succeeded;
    result.coefficients = solver.Coefficients();
    std::vector<std::size_t> order(solver.Active().size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return solver.Active()[a] < solver.Active()[b];
    });
    for (std::size_t k : order) {
        result.active.push_back(solver.Active()[k]);
        result.multipliers.push_back(solver.Multipliers()[k]);
    }
    return result;
}

}  // namespace tamsel
