#include "tamsel/prediction/information_criteria.h"

#include <cmath>

#include "tamsel/models/sentinels.h"

namespace tamsel {
namespace {

// Interior fits search squared variables bounded by 1e7, so no regular shape or scale comes
// near the exponential limit's kInfiniteShape, whatever the time unit.
bool IsInfiniteShape(double value) { return value >= kInfiniteShape * 1e-10; }

}  // namespace

int FreeParameters(const ModelInfo& model, const StoredFit& fit) {
    switch (model.number) {
        case 1:  // JM: N = kInfiniteFaults is the homogeneous process
            return fit.param1 == kInfiniteFaults ? 1 : 2;
        case 2:  // Du: Beta = 1 is the homogeneous record of an undefined fit
            return fit.param1 == 1.0 ? 1 : 2;
        case 3:  // MO: a = kInfiniteQuartile is the homogeneous process
            return fit.param1 == kInfiniteQuartile ? 1 : 2;
        case 4:  // GO: Mu = kInfiniteFaults is the homogeneous process
            return fit.param1 == kInfiniteFaults ? 1 : 2;
        case 5:    // Li: N infinite is MO, an infinite shape JM, both the homogeneous process
        case 6: {  // LNHPP: Mu infinite is MO, an infinite shape GO, both homogeneous
            const int limits = (fit.param1 == kInfiniteFaults) + (fit.param2 == kInfiniteShape);
            return 3 - limits;
        }
        case 7:  // LV: an infinite shape Alpha is the exponential with a linear mean
            return IsInfiniteShape(fit.param1) ? 2 : 3;
        case 8:  // KL: an infinite scale Beta is the same exponential limit
            return IsInfiniteShape(fit.param3) ? 2 : 3;
        default:
            return 0;
    }
}

std::optional<InformationCriteria> CriteriaOf(const ModelInfo& model, const StoredFit& fit,
                                              double logLhd) {
    if (logLhd == 0.0 || !std::isfinite(logLhd) || fit.index < 1) return std::nullopt;
    const double k = FreeParameters(model, fit);
    return InformationCriteria{2.0 * k - 2.0 * logLhd,
                               k * std::log(static_cast<double>(fit.index)) - 2.0 * logLhd};
}

}  // namespace tamsel
