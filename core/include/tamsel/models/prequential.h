// The prequential loop that every model shares: one fit per failure index of a range, with
// progress, cancel and a check that nothing non-finite is stored.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tamsel/numeric/math_functions.h"
#include "tamsel/records/progress.h"
#include "tamsel/records/records.h"
#include "tamsel/records/termination.h"

namespace tamsel {

// How an estimation run ended. The numbers of the first two are the historical status codes.
enum class EstimationStatus : std::int16_t { Completed = 0, Cancelled = 2, ArithmeticFault = 3 };

struct EstimationResult {
    EstimationStatus status = EstimationStatus::Completed;
    // For ArithmeticFault: the failure index whose fit failed and what went wrong.
    std::int32_t faultIndex = 0;
    std::string faultDetail;
    // Indexed by failure index like the estimates, for the indices fitted: how each fit
    // ended, and the fault each worked round (None for most), which the caller reports.
    std::vector<FitTermination> terminations;
    std::vector<MathFault> faults;
};

// What the fit at one failure index gives: its record, how the fit ended, and a fault it
// worked round (the record stands; the caller may tell the user). Where the maximum has no
// record (a parameter lies beyond the doubles), unstorable says why, and the run ends with an
// ArithmeticFault that names it.
struct IndexResult {
    IndexResult() = default;
    IndexResult(const EstimateRecord& fitted, const FitTermination& end = {},
                MathFault workedRound = MathFault::None)
        : record(fitted), termination(end), fault(workedRound) {}

    EstimateRecord record;
    FitTermination termination;
    MathFault fault = MathFault::None;
    std::string unstorable;
};

// The fit of one model at failure index i: a pure function of the data, i and the settings
// (shared running sums are precomputed, nothing is carried from one index to the next), so
// that indices may be fitted in any order and on any thread with the same bits as a result.
using IndexFit = std::function<IndexResult(std::int32_t i)>;

// The thread count that stands for every hardware thread of the machine.
inline constexpr int kHardwareThreads = 0;

// The number of worker threads a run asked for threads uses: threads itself when positive,
// otherwise the machine's hardware threads (at least 1).
int WorkerThreads(int threads);

// Fits rangeStart..rangeEnd into estimates, which is resized to rangeEnd + 1 and cleared
// (indexed by failure index), and into the result's terminations and faults. With one thread the
// indices are fitted in increasing order on the calling thread; with more, fit is called
// concurrently from that many worker threads (so it must be safe to call so, as every model's fit
// is) and the records are the same to the bit. Either way progress steps once per index in
// increasing order, from the calling thread, as soon as every index before it is fitted; after each
// step a requested cancel stops the run with Cancelled, and workers take no new index once a cancel
// is requested. A record holding a value that is not finite, or a fit that throws, stops the run
// with ArithmeticFault naming the first such index, with the progress stepped up to the one before;
// the records are then incomplete and must not be stored. Requires 1 <= rangeStart <= rangeEnd.
EstimationResult RunPrequential(std::int32_t rangeStart, std::int32_t rangeEnd, const IndexFit& fit,
                                EstimatesArray& estimates, const RunControl& control,
                                int threads = 1);

}  // namespace tamsel
