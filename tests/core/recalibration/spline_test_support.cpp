#include "spline_test_support.h"

#include <algorithm>

namespace tamsel::test {

double EvaluateCubic(const Cubic& p, double s, int order) {
    switch (order) {
        case 0:
            return p[0] + s * (p[1] + s * (p[2] + s * p[3]));
        case 1:
            return p[1] + s * (2.0 * p[2] + s * 3.0 * p[3]);
        case 2:
            return 2.0 * p[2] + 6.0 * p[3] * s;
        case 3:
            return 6.0 * p[3];
        default:
            return 0.0;
    }
}

std::vector<double> BlossomCoefficients(const SplineCurve& curve, const Cubic& p) {
    const std::vector<double>& t = curve.knots;
    std::vector<double> c(curve.coefficients.size());
    for (std::size_t i = 0; i < c.size(); ++i) {
        const double x = t[i + 1];
        const double y = t[i + 2];
        const double z = t[i + 3];
        c[i] = p[0] + p[1] * (x + y + z) / 3.0 + p[2] * (x * y + y * z + z * x) / 3.0 +
               p[3] * x * y * z;
    }
    return c;
}

std::vector<double> RandomBreaks(std::mt19937& random, int pieces) {
    std::uniform_real_distribution<double> jitter(0.1, 1.0);
    std::vector<double> widths(pieces);
    double total = 0.0;
    for (double& width : widths) total += (width = jitter(random));
    std::vector<double> breaks{0.0};
    double running = 0.0;
    for (int p = 0; p + 1 < pieces; ++p) breaks.push_back((running += widths[p]) / total);
    breaks.push_back(1.0);
    return breaks;
}

std::vector<double> RandomSites(std::mt19937& random, int count) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> sites{0.0, 1.0};
    while (static_cast<int>(sites.size()) < count) sites.push_back(unit(random));
    std::sort(sites.begin(), sites.end());
    sites.erase(std::unique(sites.begin(), sites.end()), sites.end());
    return sites;
}

}  // namespace tamsel::test
