// The record types that model fits produce and consume, shared with the store.
#pragma once

#include <cstdint>
#include <vector>

namespace tamsel {

// Row i describes the fit on failures 1..i and the predictive distribution of the
// interfailure time that follows failure i. Pdf and Cdf are evaluated at the observed next
// interfailure time and stay 0 in the last row of a range. A field a model does not compute
// stays 0.
struct EstimateRecord {
    double param1 = 0.0;
    double param2 = 0.0;
    double param3 = 0.0;
    double logLhd = 0.0;
    double pdf = 0.0;
    double cdf = 0.0;
    double lowQ = 0.0;
    double median = 0.0;
    double uppQ = 0.0;
    double mttf = 0.0;
};

// The minimiser settings of an inference method (a MinimisationParameters row) as a model
// fit uses them. maxIter is MaxIter1D for models 1 to 4 and MaxIter2D for models 5 to 8;
// eta and tolerance are used by models 5 to 8 only.
struct MinimisationSettings {
    std::int32_t maxIter = 0;
    double absolutePrecision = 0.0;
    double relativePrecision = 0.0;
    double eta = 0.0;
    double tolerance = 0.0;
};

// Per-failure arrays are indexed by failure index: element k belongs to failure k and
// element 0 is unused (0). The same holds for arrays of estimate records.
using FailureSeries = std::vector<double>;
using EstimatesArray = std::vector<EstimateRecord>;

}  // namespace tamsel
