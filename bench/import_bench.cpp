// Cost of importing 1,000,000 interfailure times: reading a two-column CSV table alone,
// storing the values alone, and the whole import (read, validate, store) of a file of one
// value a line and of the CSV table; the import of 10,000,000 values, and the refusal of a
// 2 GB file of NUL bytes. Time, and the peak resident memory of the process, which
// runs nothing else; run one benchmark a process (--benchmark_filter) to see each one's peak.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "synthetic_data.h"
#include "tamsel/import/add_data_set.h"
#include "tamsel/import/table_reader.h"
#include "tamsel/store/writers.h"

namespace tamsel::bench {
namespace {

constexpr int kValues = 1'000'000;

// The simulated times, written once with 17 significant digits: one a line, or as an
// "index,time" table with a header line.
const std::string& DataFile(bool table) {
    auto write = [](bool asTable) {
        std::string file = (std::filesystem::temp_directory_path() /
                            ("tamsel-bench-" + std::to_string(::getpid()) +
                             (asTable ? "-import.csv" : "-import.txt")))
                               .string();
        std::ofstream out(file);
        out.precision(17);
        if (asTable) out << "index,time_between_failures\n";
        int index = 0;
        for (double value : SimulateJelinskiMoranda(kValues, 2 * kValues, 1e-6, 7)) {
            if (asTable) out << ++index << ',';
            out << value << '\n';
        }
        return file;
    };
    // Removed again when the program ends.
    struct Files {
        std::string list;
        std::string csv;
        ~Files() {
            std::error_code ignored;
            std::filesystem::remove(list, ignored);
            std::filesystem::remove(csv, ignored);
        }
    };
    static const Files files{write(false), write(true)};
    return table ? files.csv : files.list;
}

double PeakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// Resets the peak resident set (Linux's clear_refs), so that writing the data file stays out
// of the reading's figure.
void ResetPeakBytes() { std::ofstream("/proc/self/clear_refs") << "5"; }

// A "VmHWM:" (peak) or "VmRSS:" (now) figure of /proc/self/status, in bytes.
double StatusBytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field)) return std::stod(line.substr(field.size())) * 1024.0;
    }
    return 0.0;
}

void BM_ReadMillionRowCsv(benchmark::State& state) {
    const std::string& file = DataFile(true);
    double extraPerValue = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        ResetPeakBytes();
        const double before = StatusBytes("VmRSS:");
        state.ResumeTiming();
        TableResult result = ReadTableFile(file);
        state.PauseTiming();
        if (result.refusal || result.values.size() != kValues) state.SkipWithError("not read");
        // Beyond the 8 bytes each value takes in the result.
        extraPerValue = (StatusBytes("VmHWM:") - before) / kValues - 8.0;
        state.ResumeTiming();
    }
    state.counters["extra_bytes_per_value"] = extraPerValue;
}

// The whole import of a file: read, validate, store.
void ImportFile(benchmark::State& state, const std::string& file) {
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

void BM_ImportMillionValues(benchmark::State& state) { ImportFile(state, DataFile(false)); }
void BM_ImportMillionRowCsv(benchmark::State& state) { ImportFile(state, DataFile(true)); }

// The storing alone: the dataset row and its failure times in one unit, as the import
// stores them.
void BM_StoreMillionValues(benchmark::State& state) {
    const std::vector<double> values = SimulateJelinskiMoranda(kValues, 2 * kValues, 1e-6, 7);
    for (auto _ : state) {
        state.PauseTiming();
        auto project = std::make_unique<TempProject>("store");
        state.ResumeTiming();
        Database& db = project->Db();
        Transaction unit(db);
        if (!InsertDataSet(db, "BIG", "big.txt", 1, kValues, "simulated") ||
            !InsertFailureTimes(db, values, 1, "BIG")) {
            state.SkipWithError("not stored");
        }
        unit.Commit();
        state.PauseTiming();
        project.reset();
        state.ResumeTiming();
    }
    state.counters["peak_rss_MB"] = PeakResidentMegabytes();
}

// Ten million values, one a line: time, and the peak memory beyond the 8 bytes a value the
// result holds, per value.
void BM_ImportTenMillionValues(benchmark::State& state) {
    constexpr int kMany = 10'000'000;
    const std::string file = (std::filesystem::temp_directory_path() /
                              ("tamsel-bench-" + std::to_string(::getpid()) + "-ten-million.txt"))
                                 .string();
    {
        std::ofstream out(file);
        out.precision(17);
        for (double value : SimulateJelinskiMoranda(kMany, 2 * kMany, 1e-7, 7))
            out << value << '\n';
    }
    double extraPerValue = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        auto project = std::make_unique<TempProject>("import");
        ResetPeakBytes();
        const double before = StatusBytes("VmRSS:");
        state.ResumeTiming();
        AddDataSetRequest request{"BIG", file, DataTypeChoice::Interfailure, "simulated"};
        if (!AddDataSetFromFile(project->Db(), request)) state.SkipWithError("not imported");
        state.PauseTiming();
        extraPerValue = (StatusBytes("VmHWM:") - before) / kMany - 8.0;
        project.reset();
        state.ResumeTiming();
    }
    std::filesystem::remove(file);
    state.counters["extra_bytes_per_value"] = extraPerValue;
    state.counters["peak_rss_MB"] = PeakResidentMegabytes();
}

// A 2 GB file of NUL bytes (sparse, so that it costs no disk), refused at its first byte.
void BM_RefuseTwoGigabytesOfNul(benchmark::State& state) {
    const std::string file = (std::filesystem::temp_directory_path() /
                              ("tamsel-bench-" + std::to_string(::getpid()) + "-nul.bin"))
                                 .string();
    { std::ofstream create(file); }
    std::filesystem::resize_file(file, std::uintmax_t{2} << 30);
    for (auto _ : state) {
        if (!ReadTableFile(file).refusal) state.SkipWithError("not refused");
    }
    std::filesystem::remove(file);
}

BENCHMARK(BM_ReadMillionRowCsv)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StoreMillionValues)->Unit(benchmark::kMillisecond)->Iterations(3);
// Wall time is what the user waits; the CPU time is the whole process's.
BENCHMARK(BM_ImportMillionValues)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_ImportMillionRowCsv)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_ImportTenMillionValues)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_RefuseTwoGigabytesOfNul)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tamsel::bench
