// The recalibrated quartiles: the recalibrated levels turned into quartiles with each model's
// own percentile routine.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tamsel/recalibration/cub_spl.h"

namespace tamsel {

// The leading raw predictions of a set that only feed the recalibration.
inline constexpr std::int32_t kRecalibrationOffset = 15;

// What the quartiles of model numbers 1..8 need of the raw set, indexed k = 1..M like the
// levels (element 0 unused): the parameters and median of the fit at failure index
// start + k - 1, and the cumulative time of that failure (Du, MO, GO, Li and LNHPP).
struct RawFits {
    std::vector<double> param1;
    std::vector<double> param2;
    std::vector<double> param3;
    std::vector<double> median;
    std::vector<double> cumulativeTime;
};

struct QuartileArrays {
    std::vector<double> lowQ;
    std::vector<double> median;
    std::vector<double> uppQ;
    std::int32_t levelFaults = 0;  // levels outside [0, 1], each of which gave the quartile 0
};

// The recalibrated quartiles for k = offset + 1..M (0 elsewhere): each model's percentile
// routine at the recalibrated levels with the parameters of row k, with the model's limit
// cases (Li with no shape: kInfiniteQuartile; LV and KL with no scale or shape: kVanishing). A JM
// rate is recovered from the stored median, ln 2 / median, so that both of its limit cases come out
// right: a vanishing rate gives kInfiniteQuartile. A level outside [0, 1] gives 0 and is counted in
// levelFaults. nullopt for a model number outside 1..8.
std::optional<QuartileArrays> RecalibratedQuartiles(int modelId, std::int32_t start,
                                                    std::int32_t offset, const RawFits& fits,
                                                    const SplineRecalibration& levels);

}  // namespace tamsel
