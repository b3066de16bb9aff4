// Sums of reciprocals and of logarithms of an arithmetic sequence, as the expected times of a
// run of exponential or Pareto interfailure times and the likelihoods of a finite number of
// faults need them, at a cost that does not grow with the number of terms.
#pragma once

namespace tamsel {

// The digamma function psi(x) = d/dx ln Gamma(x) for x > 0, to about 1e-15 relative
// away from its root near 1.4616.
double Digamma(double x);

// sum_{j=0}^{k-1} 1 / (d - j) for a whole number k >= 0 and d > k - 1 (every term positive). Short
// sums are added term by term, long ones taken as psi(d + 1) - psi(d - k + 1), so that the result
// is accurate to about 1e-13 relative for any k.
double ReciprocalSum(double d, double k);

// sum_{m=1}^{k} 1 / (c + m) and sum_{m=1}^{k} 1 / (c + m)^2 for c > -1 and a whole k >= 0, as
// ReciprocalSum takes its sum; c itself, not c + k, so that a tiny c keeps its digits.
struct RisingReciprocals {
    double first = 0.0;
    double second = 0.0;
};
RisingReciprocals RisingReciprocalSums(double c, double k);

// sum_{m=1}^{k} ln(c + m) = ln Gamma(c + k + 1) - ln Gamma(c + 1) for c > -1 and a whole k >= 0,
// to a few roundings of the sum.
double LogRising(double c, double k);

// sum_{m=1}^{k} ln(1 + m / c) for c > 0 and a whole k >= 0: LogRising(c, k) - k ln c without
// its cancellation, to a few roundings of the sum also where c >> k and the sum is about
// k (k + 1) / (2 c).
double LogRisingExcess(double c, double k);

// sum_{m=1}^{k} ln(1 + y (m - r)) for a whole k >= 0 where every term is defined, to a few
// roundings of the sum of the terms' sizes: the logarithms of the factors (c + m) / (c + r),
// c = 1 / y - r, after the first few as one LogRisingExcess.
double Log1pLineSum(double y, double r, double k);

}  // namespace tamsel
