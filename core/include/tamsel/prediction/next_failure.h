// The next-failure calculator: how likely the next failure is within a time s, from the last
// fit of an estimates set.
#pragma once

namespace tamsel {

// The last fit of an estimates set.
struct NextFailureFit {
    int modelNumber = 0;   // ModelID, 1 to 8
    int failureIndex = 0;  // n, the last failure the set was fitted on
    double param1 = 0.0;
    double param2 = 0.0;
    double param3 = 0.0;
    // T, the cumulative time of failure n exactly; used by Du, MO, GO, Li and LNHPP.
    double cumulativeTime = 0.0;
};

struct NextFailurePrediction {
    double u = 0.0;    // the predictive distribution function at s
    double pdf = 0.0;  // the predictive density at s
};

enum class NextFailureStatus {
    Evaluated,
    InvalidTime,   // s is negative or not finite
    UnknownModel,  // a model number outside 1 to 8
    LimitCase,     // the fit has no next prediction (Jelinski-Moranda with N = kInfiniteFaults)
    NotFinite,     // the distribution function or the density is not finite
};

struct NextFailureResult {
    NextFailureStatus status = NextFailureStatus::Evaluated;
    NextFailurePrediction prediction;  // when Evaluated
};

// Whether s is a time to the next failure: finite and 0 or more.
bool IsNextFailureTime(double s);

// The predictive distribution function and density at s of the time to the next failure
// after failure n under fit, with the limit conventions of the stored estimates (a density of
// kVanishing where it vanishes, a distribution function of 1 where its exponent is below -700).
NextFailureResult NextFailureAt(const NextFailureFit& fit, double s);

}  // namespace tamsel
