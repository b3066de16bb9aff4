#include <algorithm>
#include <cmath>

#include "tamsel/recalibration/spline_fit.h"

namespace tamsel {
namespace {

// A diagonal entry of R this much smaller than the largest one leaves its coefficient
// undetermined by the data.
constexpr double kRankTolerance = 1e-12;

}  // namespace

double BandedFactor::At(int row, int column) const {
    const int offset = column - row;
    if (offset < 0 || offset > 3) return 0.0;
    return rows[row][offset];
}

SplineLeastSquares SolveSplineLeastSquares(const SplineCurve& curve, std::span<const double> s,
                                           std::span<const double> values,
                                           std::span<const double> weights) {
    const int n = static_cast<int>(curve.coefficients.size());
    SplineLeastSquares result;
    std::vector<std::array<double, 4>>& r = result.factor.rows;
    r.assign(n, {0.0, 0.0, 0.0, 0.0});
    std::vector<double> rhs(n, 0.0);

    for (std::size_t site = 0; site < s.size(); ++site) {
        const int piece = PieceOf(curve, s[site]);
        std::array<double, 4> h = BSplineValues(curve, piece, s[site]);
        for (double& value : h) value *= weights[site];
        double y = weights[site] * values[site];
        // Rotate the observation row into R; h[0] always stands for column `column`.
        for (int column = piece; column < piece + 4; ++column) {
            if (h[0] != 0.0) {
                std::array<double, 4>& row = r[column];
                const double radius = std::hypot(row[0], h[0]);
                const double cosine = row[0] / radius;
                const double sine = h[0] / radius;
                row[0] = radius;
                for (int t = 1; t < 4; ++t) {
                    const double a = row[t];
                    row[t] = cosine * a + sine * h[t];
                    h[t] = -sine * a + cosine * h[t];
                }
                const double a = rhs[column];
                rhs[column] = cosine * a + sine * y;
                y = -sine * a + cosine * y;
            }
            h = {h[1], h[2], h[3], 0.0};
        }
    }

    double largest = 0.0;
    for (const auto& row : r) largest = std::max(largest, std::abs(row[0]));
    std::vector<double>& c = result.coefficients;
    c.assign(n, 0.0);
    for (int i = n - 1; i >= 0; --i) {
        if (!(std::abs(r[i][0]) > kRankTolerance * largest)) {
            result.fullRank = false;
            continue;
        }
        double sum = rhs[i];
        for (int t = 1; t < 4 && i + t < n; ++t) sum -= r[i][t] * c[i + t];
        c[i] = sum / r[i][0];
    }
    return result;
}

}  // namespace tamsel
