#include <algorithm>
#include <cmath>
#include <optional>

#include "tamsel/recalibration/spline_fit.h"

namespace tamsel {
namespace {

// Third derivatives on either side of a break that differ by less than this make the two
// pieces one cubic.
constexpr double kSameCubic = 2e-8;
// A cubic needs 4 coefficients: a fit needs at least as many sites.
constexpr int kMinSites = 4;

// Interior breaks in equal shares of sites, each halfway between two neighbouring sites;
// the r = sites mod pieces sites left over widen the pieces at every ((pieces - 1) div r)-th
// break, never more than r of them.
std::vector<double> InitialBreaks(std::span<const double> s, int pieces) {
    const int sites = static_cast<int>(s.size());
    const int step = sites / pieces;
    const int rest = sites % pieces;
    std::vector<double> breaks{0.0};
    int j = 0;
    int widened = 0;
    for (int b = 1; b < pieces; ++b) {
        j += step;
        if (rest > 0 && widened < rest && b % ((pieces - 1) / rest) == 0) {
            ++j;
            ++widened;
        }
        breaks.push_back(0.5 * (s[j - 1] + s[j]));
    }
    breaks.push_back(1.0);
    return breaks;
}

struct PieceShares {
    std::vector<double> residual;  // E(i)
    std::vector<int> firstSite;
    std::vector<int> sites;
    double total = 0.0;  // E
};

PieceShares ShareResiduals(const SplineCurve& curve, std::span<const double> s,
                           std::span<const double> values, std::span<const double> weights) {
    const int pieces = curve.Pieces();
    PieceShares shares{std::vector<double>(pieces, 0.0), std::vector<int>(pieces, 0),
                       std::vector<int>(pieces, 0)};
    for (std::size_t j = 0; j < s.size(); ++j) {
        const int piece = PieceOf(curve, s[j]);
        const double r = weights[j] * (values[j] - EvaluateSplinePiece(curve, s[j], piece, 0));
        if (shares.sites[piece] == 0) shares.firstSite[piece] = static_cast<int>(j);
        ++shares.sites[piece];
        shares.residual[piece] += r * r;
        shares.total += r * r;
    }
    return shares;
}

// The new break in the piece with the largest share of E among those with two sites or
// more: halfway between its two central sites, or between the neighbours of its central
// site when it holds an odd number.
std::optional<double> SplitCandidate(const PieceShares& shares, std::span<const double> s) {
    int chosen = -1;
    for (int p = 0; p < static_cast<int>(shares.sites.size()); ++p) {
        if (shares.sites[p] >= 2 && (chosen < 0 || shares.residual[p] > shares.residual[chosen])) {
            chosen = p;
        }
    }
    if (chosen < 0) return std::nullopt;
    const int first = shares.firstSite[chosen];
    const int count = shares.sites[chosen];
    if (count % 2 == 0) return 0.5 * (s[first + count / 2 - 1] + s[first + count / 2]);
    const int central = first + count / 2;
    return 0.5 * (s[central - 1] + s[central + 1]);
}

std::vector<bool> RedundantBreaks(const SplineCurve& curve) {
    std::vector<bool> redundant(curve.breaks.size(), false);
    for (int p = 1; p < curve.Pieces(); ++p) {
        const double left = EvaluateSplinePiece(curve, curve.breaks[p], p - 1, 3);
        const double right = EvaluateSplinePiece(curve, curve.breaks[p], p, 3);
        redundant[p] = std::abs(left - right) < kSameCubic;
    }
    return redundant;
}

bool Increasing(const SplineCurve& curve) {
    const std::vector<double> d = DerivativeCoefficients(curve);
    return std::all_of(d.begin(), d.end(), [](double slope) { return slope >= kSmallestSlope; });
}

}  // namespace

AdaptiveFit NewAdap(std::span<const double> s, std::span<const double> values,
                    std::span<const double> weights, int pieces, double sqMax, int iter) {
    AdaptiveFit fit;
    const int sites = static_cast<int>(s.size());
    if (sites < kMinSites) {
        fit.curve = MakeSplineCurve({0.0, 1.0});
        return fit;
    }
    int count = std::clamp(pieces, 1, std::min(sites - 3, kMaxPieces));
    std::vector<double> breaks = InitialBreaks(s, count);
    std::vector<std::vector<double>> earlier;
    for (int pass = 1;; ++pass) {
        fit.passes = pass;
        fit.curve = MakeSplineCurve(breaks);
        const SplineLeastSquares solved = SolveSplineLeastSquares(fit.curve, s, values, weights);
        fit.curve.coefficients = solved.coefficients;
        if (!Increasing(fit.curve)) {
            const ConstrainedRefitResult refit =
                ConstrainedRefit(fit.curve, solved.factor, solved.coefficients);
            fit.curve.coefficients = refit.coefficients;
            if (refit.status == FitStatus::Failed || pass > iter) {
                fit.residual = ShareResiduals(fit.curve, s, values, weights).total;
                return fit;
            }
        }
        const PieceShares shares = ShareResiduals(fit.curve, s, values, weights);
        fit.residual = shares.total;
        const bool accurate = shares.total < sqMax;
        const std::optional<double> split = accurate ? std::nullopt : SplitCandidate(shares, s);
        const std::vector<bool> redundant = RedundantBreaks(fit.curve);
        const int removed = static_cast<int>(std::count(redundant.begin(), redundant.end(), true));
        if (accurate && removed == 0) {
            fit.status = FitStatus::Succeeded;
            return fit;
        }
        count += (split ? 1 : 0) - removed;
        if (count > kMaxPieces) return fit;

        earlier.push_back(breaks);
        std::vector<double> next;
        for (std::size_t b = 0; b < breaks.size(); ++b) {
            if (!redundant[b]) next.push_back(breaks[b]);
        }
        if (split) next.insert(std::upper_bound(next.begin(), next.end(), *split), *split);
        // The fit is a function of the breaks alone: breaks seen before would cycle.
        if (std::find(earlier.begin(), earlier.end(), next) != earlier.end()) return fit;
        breaks = std::move(next);
    }
}

}  // namespace tamsel
