// Failure data simulated from known models with fixed seeds, so that every run of a
// benchmark fits the same numbers, and project files holding such data.
#pragma once

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "model_bench_support.h"
#include "tamsel/models/prequential.h"
#include "tamsel/store/database.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/schema.h"
#include "tamsel/store/writers.h"

namespace tamsel::bench {

// A unit exponential variate by inversion of a 53-bit uniform from the fully specified
// mt19937_64, so that the data do not depend on the standard library's distributions.
inline double UnitExponential(std::mt19937_64& random) {
    double u = static_cast<double>(random() >> 11) * 0x1.0p-53;
    return -std::log1p(-u);
}

// n interfailure times of the logarithmic Poisson (Musa-Okumoto) process with mean value
// function ln(1 + lambda theta t) / theta: infinitely many failures, whose rate falls as they
// are found, so that any n shows reliability growth.
inline std::vector<double> SimulateMusaOkumoto(int n, double lambda, double theta,
                                               std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::vector<double> interfailure;
    double mean = 0.0;
    double previous = 0.0;
    for (int k = 0; k < n; ++k) {
        mean += UnitExponential(random);
        double time = std::expm1(theta * mean) / (lambda * theta);
        interfailure.push_back(time - previous);
        previous = time;
    }
    return interfailure;
}

// n interfailure times of the Jelinski-Moranda model with faults initial faults of hazard
// phi each: time j is exponential with rate (faults - j + 1) phi. Requires faults >= n.
inline std::vector<double> SimulateJelinskiMoranda(int n, int faults, double phi,
                                                   std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::vector<double> interfailure;
    for (int j = 1; j <= n; ++j) {
        interfailure.push_back(UnitExponential(random) / ((faults - j + 1) * phi));
    }
    return interfailure;
}

// The data sets of the scaling benchmarks: n failures of a Musa-Okumoto process whose rate
// falls about eightfold over 1,000 failures.
inline std::vector<double> ScalingData(int n) {
    return SimulateMusaOkumoto(n, 1.0, 0.002, 20261206);
}

// The series of interfailure times (see LoadSeries).
inline Series ToSeries(const std::vector<double>& interfailure) {
    Series series;
    for (double value : interfailure) {
        series.x.push_back(value);
        series.t.push_back(series.t.back() + value);
    }
    return series;
}

// The last failure index of series.
inline std::int32_t LastIndex(const Series& series) {
    return static_cast<std::int32_t>(series.x.size()) - 1;
}

// ScalingData(n) as a series, simulated once for each n.
inline const Series& ScalingSeries(int n) {
    static std::vector<std::pair<int, Series>> cache;
    for (const auto& [size, series] : cache) {
        if (size == n) return series;
    }
    cache.emplace_back(n, ToSeries(ScalingData(n)));
    return cache.back().second;
}

// Runs model over failure 20 to the last of series on threads threads.
inline void RunModel(const ModelInfo& model, const Series& series, int threads,
                     EstimatesArray& out) {
    IndexFit fit = model.prepare(series.x, series.t, LastIndex(series), ReferenceSettings());
    RunPrequential(20, LastIndex(series), fit, out, RunControl(), threads);
    benchmark::DoNotOptimize(out.data());
}

// A project file in the system's temporary folder, removed with the object.
class TempProject {
  public:
    explicit TempProject(const std::string& name)
        : m_path((std::filesystem::temp_directory_path() /
                  ("tamsel-bench-" + std::to_string(::getpid()) + "-" + name + ".db"))
                     .string()) {
        std::filesystem::remove(m_path);
        CreateTamselDatabase(m_path);
        m_db = OpenTamselDatabase(m_path);
    }
    ~TempProject() {
        m_db.reset();
        std::filesystem::remove(m_path);
    }
    TempProject(const TempProject&) = delete;
    TempProject& operator=(const TempProject&) = delete;

    Database& Db() { return *m_db; }
    const std::string& Path() const { return m_path; }

    // Stores interfailure times as a data set and returns its key (0 when that failed).
    int AddDataSet(const std::string& name, const std::vector<double>& interfailure) {
        if (!InsertDataSet(*m_db, name, name + ".txt", 1, static_cast<int>(interfailure.size()),
                           "simulated") ||
            !InsertFailureTimes(*m_db, interfailure, 1, name)) {
            return 0;
        }
        return FindDataSetId(*m_db, name).value_or(0);
    }

  private:
    std::string m_path;
    std::unique_ptr<Database> m_db;
};

}  // namespace tamsel::bench
