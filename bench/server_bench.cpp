// A project on a PostgreSQL server against the same project in a file: all eight models
// applied and stored on SYS1, and an estimates set of 5,000 rows stored. The server is a
// throwaway cluster of this program's own (scripts/pg-test-cluster --durable: every commit
// waits for the disk, as the file's do), reached over its Unix socket. The counter
// server_cpu_ms is the CPU time of the server process that served the project, which the
// load of a shared machine changes far less than the wall time.

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "model_bench_support.h"
#include "synthetic_data.h"
#include "tamsel/models/model_table.h"
#include "tamsel/store/writers.h"
#include "tamsel/workbench/apply_model.h"
#include "tamsel/workbench/project.h"

namespace tamsel::bench {
namespace {

constexpr int kDefaultRange = 1;
constexpr int kMaximumLikelihood = 1;

// The cluster, started on first use and stopped when the program ends.
class Cluster {
  public:
    Cluster() : m_dir("/tmp/tamsel-pg-bench-" + std::to_string(::getpid())) {
        const std::string command = std::string(TAMSEL_SOURCE_DIR) +
                                    "/scripts/pg-test-cluster start " + m_dir + " --durable";
        FILE* out = ::popen(command.c_str(), "r");
        char line[512] = {};
        if (!out || !std::fgets(line, sizeof line, out) || ::pclose(out) != 0) {
            throw std::runtime_error("cannot start the benchmark's PostgreSQL cluster");
        }
        m_uri = line;
        while (!m_uri.empty() && (m_uri.back() == '\n' || m_uri.back() == '\r')) m_uri.pop_back();
    }
    ~Cluster() {
        const std::string command =
            std::string(TAMSEL_SOURCE_DIR) + "/scripts/pg-test-cluster stop " + m_dir;
        [[maybe_unused]] const int status = std::system(command.c_str());
    }
    const std::string& Uri() const { return m_uri; }

  private:
    std::string m_dir;
    std::string m_uri;
};

// A fresh project: a file (server == false) or a schema of the cluster.
class Project {
  public:
    Project(bool server, const std::string& name) {
        if (!server) {
            m_file = std::make_unique<TempProject>(name);
            return;
        }
        static int count = 0;
        const std::string location =
            TheCluster().Uri() + "?schema=" + name + std::to_string(count++);
        if (!CreateProject(location)) throw std::runtime_error("cannot create " + location);
        m_db = OpenProject(location);
        Statement pid = m_db->Prepare("SELECT pg_backend_pid();");
        if (!pid.Step()) throw std::runtime_error("the server does not name its process");
        m_schedStat = "/proc/" + pid.ColumnText(0) + "/schedstat";
    }
    Database& Db() { return m_file ? m_file->Db() : *m_db; }
    // The CPU time the server process of the project has used so far, in ms (0 for a file).
    double ServerCpuMs() const {
        if (m_file) return 0;
        std::ifstream stat(m_schedStat);
        double ns = 0;
        stat >> ns;
        return ns / 1e6;
    }
    int AddDataSet(const std::string& name, const std::vector<double>& interfailure) {
        if (!InsertDataSet(Db(), name, name + ".txt", 1, static_cast<int>(interfailure.size()),
                           "simulated") ||
            !InsertFailureTimes(Db(), interfailure, 1, name)) {
            return 0;
        }
        return LookUpDataSet(Db(), name).value_or(0);
    }

  private:
    static Cluster& TheCluster() {
        static Cluster cluster;
        return cluster;
    }
    std::unique_ptr<TempProject> m_file;
    std::unique_ptr<Database> m_db;
    std::string m_schedStat;
};

// The CPU time this process has used so far, all its threads, in ms.
double ProcessCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

const char* Where(const benchmark::State& state) { return state.range(0) ? "server" : "file"; }

void BM_AllEightAppliedAndStoredOnSys1(benchmark::State& state) {
    const Series sys1 = LoadSeries("sys1.txt");
    const std::vector<double> times(sys1.x.begin() + 1, sys1.x.end());
    std::vector<int> models;
    for (const ModelInfo& model : ModelTable()) models.push_back(model.number);
    double serverCpuMs = 0;
    double processCpuMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto project = std::make_unique<Project>(state.range(0) != 0, "sys1");
        const int dataSetId = project->AddDataSet("SYS1", times);
        const double cpuBefore = project->ServerCpuMs();
        const double processCpuBefore = ProcessCpuMs();
        state.ResumeTiming();
        // As tamsel-cli apply ... all and the Model Options dialog do: each set stored while
        // the next model is fitted.
        ApplyModels(
            project->Db(), dataSetId, models, kDefaultRange, kMaximumLikelihood, {},
            static_cast<int>(state.range(1)), [](std::size_t) {},
            [&](std::size_t, const ApplyModelResult& result) {
                if (result.outcome != ApplyModelResult::Outcome::Stored) {
                    state.SkipWithError("a model was not stored");
                }
                return true;
            });
        state.PauseTiming();
        processCpuMs += ProcessCpuMs() - processCpuBefore;
        serverCpuMs += project->ServerCpuMs() - cpuBefore;
        project.reset();
        state.ResumeTiming();
    }
    state.counters["server_cpu_ms"] =
        benchmark::Counter(serverCpuMs, benchmark::Counter::kAvgIterations);
    // All of this program's threads: the fits, and the storing thread's share.
    state.counters["process_cpu_ms"] =
        benchmark::Counter(processCpuMs, benchmark::Counter::kAvgIterations);
    state.SetLabel(Where(state));
}
// Arguments: file (0) or server (1), fitting threads. With one, the server's work can run on
// the machine's other core; with two, it takes the cores from the fits.
BENCHMARK(BM_AllEightAppliedAndStoredOnSys1)
    ->ArgsProduct({{0, 1}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_StoreEstimatesSet5000Rows(benchmark::State& state) {
    constexpr int kRows = 5000;
    Project project(state.range(0) != 0, "store");
    const int dataSetId = project.AddDataSet("SIM", ScalingData(kRows));
    EstimatesArray estimates(kRows + 1);
    for (int i = 1; i <= kRows; ++i) {
        const double v = 1.0 / i;
        estimates[i] = {i + v, v, 2 * v, -v, v, 0.5 - v / 4, v, 2 * v, 3 * v, 4 * v};
    }
    double serverCpuMs = 0;
    for (auto _ : state) {
        const double cpuBefore = project.ServerCpuMs();
        const int setId = StoreEstimatesSet(project.Db(), dataSetId, 1, kDefaultRange,
                                            kMaximumLikelihood, 1, kRows, estimates);
        if (setId == 0) state.SkipWithError("the set was not stored");
        state.PauseTiming();
        serverCpuMs += project.ServerCpuMs() - cpuBefore;
        project.Db().Execute("DELETE FROM EstimatesSets;");
        // The loop deletes 5,000 rows every few milliseconds, far faster than the server's
        // autovacuum comes round; their dead index entries would slow every later store.
        if (state.range(0)) project.Db().Execute("VACUUM Estimates, EstimatesSets;");
        state.ResumeTiming();
    }
    state.counters["server_cpu_ms"] =
        benchmark::Counter(serverCpuMs, benchmark::Counter::kAvgIterations);
    state.SetLabel(Where(state));
}
BENCHMARK(BM_StoreEstimatesSet5000Rows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tamsel::bench
