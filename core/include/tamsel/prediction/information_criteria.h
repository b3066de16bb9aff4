// Information criteria of a stored fit: how well the model fitted the failures seen so far,
// penalised by its free parameters. They judge fit, not prediction of failures not yet seen.
#pragma once

#include <optional>

#include "tamsel/models/model_table.h"
#include "tamsel/models/predictive.h"

namespace tamsel {

// The parameters the stored record was fitted with: the model's own count, or that of the
// limit its sentinels stand for (the homogeneous process: 1; a two-parameter limit of a
// three-parameter model: 2).
int FreeParameters(const ModelInfo& model, const StoredFit& fit);

struct InformationCriteria {
    double aic = 0.0;  // 2k - 2 ln L
    double bic = 0.0;  // k ln i - 2 ln L, i the failures fitted
};

// The criteria of the fit at fit.index with maximised log-likelihood logLhd; nothing where no
// log-likelihood was stored (0, as sets made before it was kept hold, or not finite).
std::optional<InformationCriteria> CriteriaOf(const ModelInfo& model, const StoredFit& fit,
                                              double logLhd);

}  // namespace tamsel
