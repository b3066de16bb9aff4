// make check-fits: every index of every bundled data set, every model, against the oracle.
// Prints one line per data set and model: rows, the largest shortfall of the stored
// log-likelihood below the oracle's supremum, the rows short by more than
// 1e-6 max(1, |l|) (a log-likelihood or parameter that is not a finite number counts as
// short), and the outcome counts (with the fault that ended a run: such a run stores nothing,
// and only the indices before the fault are checked). Data set files named as arguments narrow
// the sweep to them; with TAMSEL_CHECK_ROWS set, every short row is listed after its line.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "fit_oracle.h"
#include "model_test_support.h"
#include "tamsel/models/model_table.h"

int main(int argc, char** argv) {
    using namespace tamsel;
    const std::vector<std::string> bundled = {
        "sys1.txt",       "ntds.txt", "ntds_full.txt", "musa_sys2.txt", "musa_sys3.txt",
        "musa_sys27.txt", "ss3.txt",  "ss1a.txt",      "ss1b.txt",      "ss1c.txt",
        "csr1.txt",       "csr2.txt", "csr3.txt",      "sys2_86.txt",   "sys3_207.txt"};
    const std::vector<std::string> files =
        argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : bundled;
    const auto started = std::chrono::steady_clock::now();
    std::printf("| data set | model | rows | largest shortfall | rows short | outcomes |\n");
    std::printf("|---|---|---|---|---|---|\n");
    const bool listRows = std::getenv("TAMSEL_CHECK_ROWS") != nullptr;
    int totalShort = 0;
    for (const std::string& file : files) {
        const test::Series series = test::FromDataFile(file);
        const std::int32_t n = series.Count();
        for (const ModelInfo& model : ModelTable()) {
            EstimatesArray estimates;
            const std::int32_t first = std::max(model.firstFailureIndex, 2);
            const EstimationResult run = RunPrequential(
                first, n, model.prepare(series.x, series.t, n, test::ReferenceSettings()),
                estimates, RunControl(), 2);
            // A run that ends in a fault stores nothing; the indices before it are those
            // every run fits (the workers' progress beyond it varies from run to run).
            const bool faulted = run.status == EstimationStatus::ArithmeticFault;
            const std::int32_t last = faulted ? run.faultIndex - 1 : n;
            double largest = 0.0;
            int rowsShort = 0;
            std::map<std::string, int> outcomes;
            std::string shortRows;
            for (std::int32_t i = first; i <= last; ++i) {
                ++outcomes[OutcomeText(run.terminations[i])];
                if (test::OracleSingular(model.code, series, i)) continue;
                const EstimateRecord& row = estimates[i];
                const double l = row.logLhd;
                const double supremum = test::OracleSupremum(model.code, series, i);
                const bool finite = std::isfinite(l) && std::isfinite(row.param1) &&
                                    std::isfinite(row.param2) && std::isfinite(row.param3);
                const double shortfall =
                    finite ? supremum - l : std::numeric_limits<double>::infinity();
                largest = std::max(largest, shortfall);
                if (shortfall > 1e-6 * std::max(1.0, std::fabs(l))) {
                    ++rowsShort;
                    char line[256];
                    std::snprintf(line, sizeof line, "    i=%d stored %.17g oracle %.17g (%s)\n", i,
                                  l, supremum, OutcomeText(run.terminations[i]).c_str());
                    shortRows += line;
                }
            }
            totalShort += rowsShort;
            std::string counts;
            for (const auto& [text, count] : outcomes) {
                counts += (counts.empty() ? "" : ", ") + text + " " + std::to_string(count);
            }
            if (faulted) {
                counts += (counts.empty() ? "" : ", ") + std::string("fault at ") +
                          std::to_string(run.faultIndex) + ": " + run.faultDetail;
            }
            std::printf("| %s | %s | %d | %.2g | %d | %s |\n", file.c_str(),
                        std::string(model.code).c_str(), last - first + 1, largest, rowsShort,
                        counts.c_str());
            if (listRows) std::printf("%s", shortRows.c_str());
            std::fflush(stdout);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("\n%d rows short in all; %.0f s\n", totalShort, seconds);
    return totalShort == 0 ? 0 : 1;
}
