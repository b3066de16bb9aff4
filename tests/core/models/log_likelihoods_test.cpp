#include "tamsel/models/log_likelihoods.h"

#include <gtest/gtest.h>

#include <string>

#include "model_test_support.h"
#include "tamsel/models/model_table.h"

namespace tamsel {
namespace {

// The log-likelihood each fit stores comes from its own profiled or closed form; at an interior
// fit it must equal the model's full log-likelihood at the stored parameters. Each model is
// taken at the first failure index (from 20, every 5th) where its fit to one of the sample
// datasets converged.
TEST(FullLogLikelihood, EqualsTheStoredLogLikelihoodOfInteriorFits) {
    const char* files[] = {"sys1.txt", "sys2_86.txt", "sys3_207.txt", "csr1.txt", "ss3.txt"};
    for (const char* code : {"JM", "Du", "MO", "GO", "Li", "LNHPP", "LV", "KL"}) {
        const ModelInfo& model = *FindModel(code);
        bool compared = false;
        for (const char* file : files) {
            const test::Series d = test::FromDataFile(file);
            const std::int32_t n = d.Count();
            const auto fit = model.prepare(d.x, d.t, n, test::ReferenceSettings());
            for (std::int32_t i = 20; i <= n && !compared; i += 5) {
                const IndexResult r = fit(i);
                if (r.termination.outcome != FitOutcome::Converged) continue;
                const double full =
                    FullLogLikelihood(code, d.x, d.t, i)
                        .value()({r.record.param1, r.record.param2, r.record.param3});
                EXPECT_CLOSE(full, r.record.logLhd, 1e-9) << code << " " << file << " " << i;
                compared = true;
            }
            if (compared) break;
        }
        EXPECT_TRUE(compared) << code << " converged nowhere";
    }
    EXPECT_FALSE(FullLogLikelihood("XX", {0.0, 1.0}, {0.0, 1.0}, 1).has_value());
}

}  // namespace
}  // namespace tamsel
