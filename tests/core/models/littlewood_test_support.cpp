#include "littlewood_test_support.h"

#include <algorithm>
#include <cmath>

#include "test_support.h"

namespace tamsel::test {

double OnLine(std::int32_t j, std::int32_t n, double first, double last) {
    return (first * (n - j) + last * (j - 1)) / (n - 1);
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
