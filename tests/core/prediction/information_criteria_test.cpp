#include "tamsel/prediction/information_criteria.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tamsel/models/sentinels.h"
#include "test_support.h"

namespace tamsel {
namespace {

TEST(InformationCriteria, FreeParametersOfFitsAndTheirLimits) {
    const double inf = kInfiniteFaults;
    const double shape = kInfiniteShape;
    const struct {
        const char* what;
        int model;
        double p1, p2, p3;
        int k;
    } cases[] = {
        {"JM", 1, 141.9, 3.5e-5, 0, 2},
        {"JM homogeneous", 1, inf, kVanishing, 0.0015, 1},
        {"Du homogeneous record", 2, 1.0, 0.01, 0, 1},
        {"MO homogeneous", 3, kInfiniteQuartile, 136.0, 0.0015, 1},
        {"GO homogeneous", 4, inf, 0, 0.0015, 1},
        {"Li", 5, 150, 0.3, 1000, 3},
        {"Li, MO limit", 5, inf, 4.3e-5, 3956.5, 2},
        {"Li, JM limit", 5, 141.9, shape, shape / 3.5e-5, 2},
        {"Li, homogeneous", 5, inf, shape, shape * (inf - 136) / 0.0015, 1},
        {"LNHPP, GO limit", 6, 142.9, shape, shape / 3.4e-5, 2},
        {"LNHPP, homogeneous", 6, inf, shape, shape * inf / 0.0015, 1},
        {"LV", 7, 7.43, 84.4, 54.6, 3},
        {"LV, exponential limit", 7, 2e30, 3e31, 1e28, 2},
        {"KL", 8, 0.0055, 0.0019, 3581, 3},
        {"KL, exponential limit", 8, 1e-33, 1e-35, 0.25 * shape, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FreeParameters(*FindModel(c.model), {136, c.p1, c.p2, c.p3, 0, 0}), c.k)
            << c.what;
    }
}

TEST(InformationCriteria, FromTheStoredLogLikelihood) {
    const ModelInfo& jm = *FindModel(1);
    std::optional<InformationCriteria> criteria = CriteriaOf(jm, {50, 60, 0.01, 0, 0, 0}, -100.0);
    ASSERT_TRUE(criteria.has_value());
    EXPECT_CLOSE(criteria->aic, 204.0, 1e-15);
    EXPECT_CLOSE(criteria->bic, 2 * std::log(50.0) + 200.0, 1e-15);
    // Sets made before the log-likelihood was kept hold 0 there.
    EXPECT_FALSE(CriteriaOf(jm, {50, 60, 0.01, 0, 0, 0}, 0.0).has_value());
    EXPECT_FALSE(CriteriaOf(jm, {50, 60, 0.01, 0, 0, 0}, NAN).has_value());
}

}  // namespace
}  // namespace tamsel
