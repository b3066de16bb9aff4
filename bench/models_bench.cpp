// Cost of applying each model over the default range (failure 20 to the last) of SYS1 and
// of the two largest shipped datasets, SS1B (375 failures) and CSR1 (397).

#include <benchmark/benchmark.h>

#include "model_bench_support.h"
#include "tamsel/models/du_model.h"
#include "tamsel/models/go_model.h"
#include "tamsel/models/jm_model.h"
#include "tamsel/models/kl_model.h"
#include "tamsel/models/li_model.h"
#include "tamsel/models/lnhpp_model.h"
#include "tamsel/models/lv_model.h"
#include "tamsel/models/mo_model.h"

namespace tamsel::bench {
namespace {

BENCHMARK_CAPTURE(ApplyOverDefaultRange, JM_sys1, &EstimateJM, "sys1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, Du_sys1, &EstimateDu, "sys1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, MO_sys1, &EstimateMO, "sys1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, GO_sys1, &EstimateGO, "sys1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, JM_ss1b, &EstimateJM, "ss1b.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, Du_ss1b, &EstimateDu, "ss1b.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, MO_ss1b, &EstimateMO, "ss1b.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, GO_ss1b, &EstimateGO, "ss1b.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, JM_csr1, &EstimateJM, "csr1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, Du_csr1, &EstimateDu, "csr1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, MO_csr1, &EstimateMO, "csr1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, GO_csr1, &EstimateGO, "csr1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, Li_sys1, &EstimateLi, "sys1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, LNHPP_sys1, &EstimateLNHPP, "sys1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, LV_sys1, &EstimateLV, "sys1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, KL_sys1, &EstimateKL, "sys1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, Li_csr1, &EstimateLi, "csr1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, LNHPP_csr1, &EstimateLNHPP, "csr1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, LV_csr1, &EstimateLV, "csr1.txt");
BENCHMARK_CAPTURE(ApplyOverDefaultRange, KL_csr1, &EstimateKL, "csr1.txt");

}  // namespace
}  // namespace tamsel::bench
