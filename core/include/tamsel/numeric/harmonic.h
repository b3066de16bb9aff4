// Sums of reciprocals of an arithmetic sequence, as the expected times of a run of
// exponential or Pareto interfailure times need them.
#pragma once

namespace tamsel {

// The digamma function psi(x) = d/dx ln Gamma(x) for x > 0, to about 1e-15 relative
// away from its root near 1.4616.
double Digamma(double x);

// sum_{j=0}^{k-1} 1 / (d - j) for a whole number k >= 0 and d > k - 1 (every term positive). Short
// sums are added term by term, long ones taken as psi(d + 1) - psi(d - k + 1), so that the result
// is accurate to about 1e-13 relative for any k.
double ReciprocalSum(double d, double k);

}  // namespace tamsel
