#include "littlewood_test_support.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "test_support.h"

namespace tamsel::test {

double OnLine(std::int32_t j, std::int32_t n, double first, double last) {
    return (first * (n - j) + last * (j - 1)) / (n - 1);
}

double LiLogLikelihood(const FailureSeries& t, std::int32_t n, double remaining, double alpha,
                       double beta) {
    double sum = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) {
        sum += std::log(remaining + (n - j + 1)) + std::log(alpha / beta) -
               (alpha + 1.0) * std::log1p(t[j] / beta);
    }
    return sum - remaining * alpha * std::log1p(t[n] / beta);
}

double LnhppLogLikelihood(const FailureSeries& t, std::int32_t n, double mu, double alpha,
                          double beta) {
    double sum = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) {
        sum += std::log(mu * alpha / beta) - (alpha + 1.0) * std::log1p(t[j] / beta);
    }
    return sum + mu * std::expm1(-alpha * std::log1p(t[n] / beta));
}

double ParetoLogLikelihood(const FailureSeries& x, std::int32_t n,
                           const std::function<double(std::int32_t)>& shape,
                           const std::function<double(std::int32_t)>& scale) {
    double sum = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) {
        const double s = shape(j);
        const double b = scale(j);
        sum += std::log(s / b) - (s + 1.0) * std::log1p(x[j] / b);
    }
    return sum;
}

std::array<double, 2> CentralDifference(const std::function<double(std::span<const double>)>& f,
                                        std::array<double, 2> p, double relStep) {
    std::array<double, 2> derivative{};
    for (std::size_t k = 0; k < 2; ++k) {
        const double h = relStep * std::fabs(p[k]);
        std::array<double, 2> up = p;
        std::array<double, 2> down = p;
        up[k] += h;
        down[k] -= h;
        derivative[k] = (f(up) - f(down)) / (up[k] - down[k]);
    }
    return derivative;
}

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

std::vector<double> StandardErrors(const std::function<double(std::span<const double>)>& nll,
                                   const std::vector<double>& theta) {
    const std::size_t n = theta.size();
    std::vector<double> h(n);
    for (std::size_t k = 0; k < n; ++k) h[k] = 1e-4 * std::fabs(theta[k]);
    auto at = [&](std::size_t a, double da, std::size_t b, double db) {
        std::vector<double> p = theta;
        p[a] += da * h[a];
        p[b] += db * h[b];
        return nll(p);
    };
    // The Hessian beside an identity matrix, reduced by Gauss-Jordan to the identity beside
    // the inverse.
    std::vector<std::vector<double>> m(n, std::vector<double>(2 * n, 0.0));
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t b = 0; b < n; ++b) {
            m[a][b] = (at(a, 1, b, 1) - at(a, 1, b, -1) - at(a, -1, b, 1) + at(a, -1, b, -1)) /
                      (4.0 * h[a] * h[b]);
        }
        m[a][n + a] = 1.0;
    }
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t pivot = c;
        for (std::size_t r = c + 1; r < n; ++r) {
            if (std::fabs(m[r][c]) > std::fabs(m[pivot][c])) pivot = r;
        }
        std::swap(m[c], m[pivot]);
        const double scale = m[c][c];
        for (double& value : m[c]) value /= scale;
        for (std::size_t r = 0; r < n; ++r) {
            if (r == c) continue;
            const double factor = m[r][c];
            for (std::size_t k = 0; k < 2 * n; ++k) m[r][k] -= factor * m[c][k];
        }
    }
    std::vector<double> errors(n);
    for (std::size_t k = 0; k < n; ++k) errors[k] = std::sqrt(m[k][n + k]);
    return errors;
}

}  // namespace tamsel::test
