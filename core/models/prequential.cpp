#include "tamsel/models/prequential.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace tamsel {
namespace {

// The name of the first field of record that is not finite, or empty when all are.
std::string_view NonFiniteField(const EstimateRecord& record) {
    const std::array<std::pair<std::string_view, double>, 10> fields{{
        {"Param1", record.param1},
        {"Param2", record.param2},
        {"Param3", record.param3},
        {"LogLhd", record.logLhd},
        {"Pdf", record.pdf},
        {"Cdf", record.cdf},
        {"LowQ", record.lowQ},
        {"Median", record.median},
        {"UppQ", record.uppQ},
        {"MTTF", record.mttf},
    }};
    for (const auto& [name, value] : fields) {
        if (!std::isfinite(value)) return name;
    }
    return {};
}

}  // namespace

int WorkerThreads(int threads) {
    if (threads > 0) return threads;
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

namespace {

EstimationResult Cancelled() {
    EstimationResult result;
    result.status = EstimationStatus::Cancelled;
    return result;
}

EstimationResult Faulted(std::int32_t i, std::string detail) {
    EstimationResult result;
    result.status = EstimationStatus::ArithmeticFault;
    result.faultIndex = i;
    result.faultDetail = std::move(detail);
    return result;
}

// Where the fit of each index goes; every index has its own elements.
struct Slots {
    EstimatesArray& estimates;
    std::vector<FitTermination>& terminations;
    std::vector<MathFault>& faults;
};

// Fits index i into its slots; the reason when the fit throws, has no record, or leaves a value
// not finite.
std::optional<std::string> FitIndex(const IndexFit& fit, std::int32_t i, const Slots& slots) {
    try {
        IndexResult result = fit(i);
        if (!result.unstorable.empty()) return std::move(result.unstorable);
        slots.estimates[i] = result.record;
        slots.terminations[i] = result.termination;
        slots.faults[i] = result.fault;
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "an unknown error";
    }
    if (std::string_view field = NonFiniteField(slots.estimates[i]); !field.empty()) {
        return std::string(field) + " is not a finite number";
    }
    return std::nullopt;
}

EstimationResult RunSequential(std::int32_t rangeStart, std::int32_t rangeEnd, const IndexFit& fit,
                               const Slots& slots, const RunControl& control) {
    for (std::int32_t i = rangeStart; i <= rangeEnd; ++i) {
        if (std::optional<std::string> fault = FitIndex(fit, i, slots)) {
            return Faulted(i, std::move(*fault));
        }
        control.StepProgress(i);
        if (control.CancelRequested()) return Cancelled();
    }
    return {};
}

// The calling thread and threads - 1 helpers take the indices in increasing order from a
// shared counter and fit them into their own elements of the estimates. Between its own
// fits the calling thread steps the progress through the prefix of indices that are all
// fitted, so that progress, cancel and the index named by a fault are what the one-thread
// loop gives; it waits for the helpers only once no index is left to take. (A calling
// thread that only reported would be woken at every fit, and on two cores each wake-up
// takes a core from a worker.)
class ParallelRun {
  public:
    ParallelRun(std::int32_t rangeStart, std::int32_t rangeEnd, const IndexFit& fit,
                const Slots& slots, const RunControl& control)
        : m_rangeStart(rangeStart),
          m_rangeEnd(rangeEnd),
          m_fit(fit),
          m_slots(slots),
          m_control(control),
          m_next(rangeStart),
          m_fitted(static_cast<std::size_t>(rangeEnd - rangeStart) + 1, false) {}

    // Runs on threads threads, the calling one included; with fewer helpers than asked for
    // (none can be started) the ones there are share the work.
    EstimationResult Run(int threads) {
        std::vector<std::jthread> helpers;
        {
            std::lock_guard lock(m_mutex);
            try {
                for (int k = 1; k < threads; ++k) {
                    helpers.emplace_back([this] { Help(); });
                    ++m_helping;
                }
            } catch (const std::system_error&) {
                // Too few threads available.
            }
        }
        EstimationResult result;
        try {
            result = WorkAndReport();
        } catch (...) {
            m_stop = true;
            throw;
        }
        // The helpers finish the fits they are in and are joined on return.
        m_stop = true;
        return result;
    }

  private:
    // Fits the next index not yet taken; false when there is none left to take, the run is
    // stopped or cancelled, or it lies past an index found faulty.
    bool FitNext() {
        if (m_stop || m_control.CancelRequested()) return false;
        const std::int64_t i = m_next.fetch_add(1);
        if (i > m_rangeEnd || i > m_faultLimit) return false;
        const auto index = static_cast<std::int32_t>(i);
        std::optional<std::string> fault = FitIndex(m_fit, index, m_slots);
        std::lock_guard lock(m_mutex);
        m_fitted[static_cast<std::size_t>(index - m_rangeStart)] = true;
        if (fault && index < m_faultLimit) {
            m_faultLimit = index;
            m_faultDetail = std::move(*fault);
        }
        m_changed.notify_all();
        return true;
    }

    void Help() {
        while (FitNext()) {
        }
        std::lock_guard lock(m_mutex);
        --m_helping;
        m_changed.notify_all();
    }

    EstimationResult WorkAndReport() {
        std::int32_t next = m_rangeStart;  // the first index not yet reported
        while (next <= m_rangeEnd) {
            const bool fitted = FitNext();
            if (std::optional<EstimationResult> end = ReportFitted(next, !fitted)) return *end;
        }
        return {};
    }

    // Steps the progress from next through the indices fitted since; with wait, waits for
    // each index until the helpers have fitted it or stopped. The run's result once it is
    // decided (cancelled, a fault), otherwise nothing.
    std::optional<EstimationResult> ReportFitted(std::int32_t& next, bool wait) {
        for (; next <= m_rangeEnd; ++next) {
            const auto slot = static_cast<std::size_t>(next - m_rangeStart);
            {
                std::unique_lock lock(m_mutex);
                if (wait) m_changed.wait(lock, [&] { return m_fitted[slot] || m_helping == 0; });
                if (!m_fitted[slot]) {
                    if (!wait) return std::nullopt;
                    // Indices are left unfitted only once a cancel is requested.
                    return Cancelled();
                }
                if (next == m_faultLimit) {
                    return Faulted(next, m_faultDetail);
                }
            }
            m_control.StepProgress(next);
            if (m_control.CancelRequested()) {
                return Cancelled();
            }
        }
        return std::nullopt;
    }

    const std::int32_t m_rangeStart;
    const std::int32_t m_rangeEnd;
    const IndexFit& m_fit;
    const Slots& m_slots;
    const RunControl& m_control;
    std::atomic<std::int64_t> m_next;
    // The first index found faulty so far; no index past it is worth fitting.
    std::atomic<std::int64_t> m_faultLimit = std::numeric_limits<std::int64_t>::max();
    std::atomic<bool> m_stop = false;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<bool> m_fitted;  // by index - rangeStart
    std::string m_faultDetail;   // why the index at m_faultLimit failed, once one has
    int m_helping = 0;           // helpers still taking indices
};

}  // namespace

EstimationResult RunPrequential(std::int32_t rangeStart, std::int32_t rangeEnd, const IndexFit& fit,
                                EstimatesArray& estimates, const RunControl& control, int threads) {
    const auto size = static_cast<std::size_t>(rangeEnd) + 1;
    estimates.assign(size, EstimateRecord{});
    std::vector<FitTermination> terminations(size);
    std::vector<MathFault> faults(size, MathFault::None);
    const Slots slots{estimates, terminations, faults};
    int workers = std::min(WorkerThreads(threads), rangeEnd - rangeStart + 1);
    EstimationResult result =
        workers <= 1 ? RunSequential(rangeStart, rangeEnd, fit, slots, control)
                     : ParallelRun(rangeStart, rangeEnd, fit, slots, control).Run(workers);
    result.terminations = std::move(terminations);
    result.faults = std::move(faults);
    return result;
}

}  // namespace tamsel
