// The result of one prequential step of a model fit, as stored in an Estimates row.
#pragma once

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

// Per-failure arrays are indexed by failure index: element k belongs to failure k and
// element 0 is unused (0). The same holds for arrays of estimate records.
using FailureSeries = std::vector<double>;
using EstimatesArray = std::vector<EstimateRecord>;

}  // namespace tamsel
