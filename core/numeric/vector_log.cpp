#include "tamsel/numeric/vector_log.h"

#include <cstddef>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <sleef.h>

#if defined(__x86_64__)
// sleef.h declares the AVX functions only where the whole unit is compiled for AVX; only the
// function below is. Declared for AVX too, so that every compiler passes its argument in an
// AVX register.
extern "C" __attribute__((target("avx"))) __m256d Sleef_cinz_log1pd4_u10avx(__m256d);
#endif

namespace tamsel {
namespace {

// The deterministic functions without fused multiply-add ("cinz") on every path: those with
// it give other bits on CPUs that have none.
void ScalarFrom(std::size_t j, std::span<const double> x, double s, std::span<double> out) {
    for (; j < x.size(); ++j) out[j] = Sleef_cinz_log1pd1_u10purec(s * x[j]);
}

#if defined(__x86_64__)
void Sse2(std::span<const double> x, double s, std::span<double> out) {
    const __m128d scale = _mm_set1_pd(s);
    std::size_t j = 0;
    for (; j + 2 <= x.size(); j += 2) {
        const __m128d q = _mm_mul_pd(_mm_loadu_pd(&x[j]), scale);
        _mm_storeu_pd(&out[j], Sleef_cinz_log1pd2_u10sse2(q));
    }
    ScalarFrom(j, x, s, out);
}

__attribute__((target("avx"))) void Avx(std::span<const double> x, double s,
                                        std::span<double> out) {
    const __m256d scale = _mm256_set1_pd(s);
    std::size_t j = 0;
    for (; j + 4 <= x.size(); j += 4) {
        const __m256d q = _mm256_mul_pd(_mm256_loadu_pd(&x[j]), scale);
        _mm256_storeu_pd(&out[j], Sleef_cinz_log1pd4_u10avx(q));
    }
    ScalarFrom(j, x, s, out);
}
#endif

}  // namespace

VectorPath WidestPath() {
#if defined(__x86_64__)
    static const VectorPath widest =
        __builtin_cpu_supports("avx") ? VectorPath::Avx : VectorPath::Sse2;
    return widest;
#else
    return VectorPath::Scalar;
#endif
}

void ScaledLog1p(std::span<const double> x, double s, std::span<double> out, VectorPath path) {
#if defined(__x86_64__)
    if (path == VectorPath::Avx) return Avx(x, s, out);
    if (path == VectorPath::Sse2) return Sse2(x, s, out);
#endif
    ScalarFrom(0, x, s, out);
}

}  // namespace tamsel
