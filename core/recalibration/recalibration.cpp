#include "tamsel/recalibration/recalibration.h"

#include "tamsel/models/model_table.h"
#include "tamsel/numeric/math_functions.h"

namespace tamsel {
namespace {

// A level outside [0, 1] gives the quartile 0 and is counted.
template <typename F>
void FillQuartiles(QuartileArrays& out, const SplineRecalibration& levels, std::size_t k,
                   F quartileAt) {
    for (double level : {levels.level25[k], levels.level50[k], levels.level75[k]}) {
        if (!IsProbability(level)) ++out.levelFaults;
    }
    out.lowQ[k] = quartileAt(levels.level25[k]);
    out.median[k] = quartileAt(levels.level50[k]);
    out.uppQ[k] = quartileAt(levels.level75[k]);
}

void FillConstant(QuartileArrays& out, std::size_t k, double value) {
    out.lowQ[k] = value;
    out.median[k] = value;
    out.uppQ[k] = value;
}

// Row k (failure index i) of the model's recalibrated quartiles.
void FillRow(const ModelInfo& model, const RawFits& fits, std::size_t k, std::int32_t i,
             const SplineRecalibration& levels, QuartileArrays& out) {
    const StoredFit fit{
        i, fits.param1[k], fits.param2[k], fits.param3[k], fits.median[k], fits.cumulativeTime[k]};
    if (const std::optional<double> limit = model.predictive->limitQuantile(fit)) {
        FillConstant(out, k, *limit);
        return;
    }
    FillQuartiles(out, levels, k, [&](double q) { return model.predictive->quantile(fit, q); });
}

}  // namespace

std::optional<QuartileArrays> RecalibratedQuartiles(int modelId, std::int32_t start,
                                                    std::int32_t offset, const RawFits& fits,
                                                    const SplineRecalibration& levels) {
    const ModelInfo* model = FindModel(modelId);
    if (!model) return std::nullopt;
    const std::size_t size = levels.level25.size();
    QuartileArrays out{std::vector<double>(size, 0.0), std::vector<double>(size, 0.0),
                       std::vector<double>(size, 0.0)};
    for (std::size_t k = static_cast<std::size_t>(offset) + 1; k < size; ++k) {
        FillRow(*model, fits, k, start + static_cast<std::int32_t>(k) - 1, levels, out);
    }
    return out;
}

}  // namespace tamsel
