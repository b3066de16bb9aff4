#include "model_support.h"

#include <mutex>

#include "tamsel/models/go_model.h"
#include "tamsel/models/jm_model.h"
#include "tamsel/models/kl_model.h"
#include "tamsel/models/li_model.h"
#include "tamsel/models/lnhpp_model.h"
#include "tamsel/models/lv_model.h"
#include "tamsel/models/mo_model.h"
#include "tamsel/numeric/objective.h"

namespace tamsel {

bool PercentileLevelValid(double p, MessageIcon icon) {
    if (p >= 0.0 && p <= 1.0) return true;
    ShowMessage(JoinLines({"The percentile must be a number between 0 and 1.",
                           "A value of 0 for this percentile is returned"}),
                icon);
    return false;
}

void RegisterModelObjectives() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterObjective1D(
            1, [](double y, const ObjectiveData& data) { return ObjectiveJM(y, data.n, data.r); });
        RegisterObjective1D(3, [](double theta, const ObjectiveData& data) {
            return ObjectiveMO(theta, data.n, data.r, *data.series);
        });
        RegisterObjective1D(
            4, [](double z, const ObjectiveData& data) { return ObjectiveGO(z, data.r, data.c); });
        // Models 5 to 8: n failures, r = eps (the absolute precision), c = T = t(n), and the
        // cumulative (Li, LNHPP) or interfailure (LV, KL) times as the series.
        RegisterObjectiveND(
            5, [](std::span<const double> p, std::span<double> g, const ObjectiveData& data) {
                return ObjectiveLi(p, g, data.n, *data.series);
            });
        RegisterObjectiveND(
            6, [](std::span<const double> p, std::span<double> g, const ObjectiveData& data) {
                return ObjectiveLNHPP(p, g, data.n, data.r, data.c, *data.series);
            });
        RegisterObjectiveND(
            7, [](std::span<const double> p, std::span<double> g, const ObjectiveData& data) {
                return ObjectiveLV(p, g, data.n, data.r, *data.series);
            });
        RegisterObjectiveND(
            8, [](std::span<const double> p, std::span<double> g, const ObjectiveData& data) {
                return ObjectiveKL(p, g, data.n, data.r, *data.series);
            });
    });
}

}  // namespace tamsel
