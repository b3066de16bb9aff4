// Cost of importing a file of 1,000,000 interfailure times: time, and the peak resident
// memory of the process, which runs nothing else.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "synthetic_data.h"
#include "tamsel/import/add_data_set.h"

namespace tamsel::bench {
namespace {

constexpr int kValues = 1'000'000;

// The simulated times, one a line with 17 significant digits, written once.
const std::string& DataFile() {
    static const std::string path = [] {
        std::string file = (std::filesystem::temp_directory_path() /
                            ("tamsel-bench-" + std::to_string(::getpid()) + "-import.txt"))
                               .string();
        std::ofstream out(file);
        out.precision(17);
        for (double value : SimulateJelinskiMoranda(kValues, 2 * kValues, 1e-6, 7)) {
            out << value << '\n';
        }
        return file;
    }();
    return path;
}

double PeakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void BM_ImportMillionValues(benchmark::State& state) {
    const std::string& file = DataFile();
    double before = PeakResidentMegabytes();
    for (auto _ : state) {
        state.PauseTiming();
        auto project = std::make_unique<TempProject>("import");
        state.ResumeTiming();
        AddDataSetRequest request{"BIG", file, DataTypeChoice::Interfailure, "simulated"};
        if (!AddDataSetFromFile(project->Db(), request)) state.SkipWithError("not imported");
        state.PauseTiming();
        project.reset();
        state.ResumeTiming();
    }
    state.counters["peak_rss_MB"] = PeakResidentMegabytes();
    state.counters["peak_rss_before_MB"] = before;
}

BENCHMARK(BM_ImportMillionValues)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace tamsel::bench
