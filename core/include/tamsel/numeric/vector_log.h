// ln(1 + s x) of many x at once, by SLEEF's deterministic 1-ulp functions: the same bits on
// every instruction set, so that a fit does not depend on the CPU it runs on. Where a
// likelihood needs each logarithm on its own (weighted), this is where they are cheaper.
#pragma once

#include <span>

namespace tamsel {

// The ways through: one value at a time, two (SSE2) or four (AVX) a step.
enum class VectorPath { Scalar, Sse2, Avx };

// The widest path this CPU runs.
VectorPath WidestPath();

// out[j] = ln(1 + s x[j]) for every j, out as long as x, through path (which this CPU must
// run); every path gives the same bits.
void ScaledLog1p(std::span<const double> x, double s, std::span<double> out,
                 VectorPath path = WidestPath());

}  // namespace tamsel
