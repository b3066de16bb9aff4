// Sums over the failures in four fixed lanes: term j goes to lane (j - first) mod 4, each lane
// adds its own terms in order, and the lanes are added in one fixed order at the end. Four
// independent chains instead of one let the compiler put a group of terms in one register;
// and since IEEE +, -, *, / round each lane as they round a scalar, the sums have the same
// bits whether a group takes one AVX2 instruction, two SSE2 ones or four scalar ones (the core
// is built with -ffp-contract=off, so no compiler fuses a product into a sum on one path only).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tamsel {

// Four doubles, one a lane. Only inline code handles them (the core is built with -Wno-psabi:
// they never cross a call between code built for AVX and code built without it).
using Lanes = double __attribute__((vector_size(32)));
// A comparison's outcome a lane: all ones where true.
using LaneMask = decltype(Lanes{} < Lanes{});

// The lanes' sum in the one fixed order.
inline double Total(const Lanes& v) { return (v[0] + v[1]) + (v[2] + v[3]); }

inline bool Any(const LaneMask& m) { return ((m[0] | m[1]) | (m[2] | m[3])) != 0; }

// The first index of each lane of a group starting at j, as doubles (exact below 2^53).
inline Lanes LaneIndices(std::int32_t j) { return static_cast<double>(j) + Lanes{0, 1, 2, 3}; }

// A group of four terms: its values loaded from memory, and its terms kept.
struct WholeGroup {
    static Lanes Load(const double* values) {
        Lanes v;
        std::memcpy(&v, values, sizeof v);
        return v;
    }
    static Lanes Keep(const Lanes& terms, double = 0.0) { return terms; }
};

// The last group when fewer than four terms remain: the lanes beyond them repeat the last
// value, so that they compute nothing out of the ordinary, and their terms give way to fill
// (0 for a sum, 1 for a product).
struct ShortGroup {
    std::int32_t count;  // 1 to 3
    Lanes Load(const double* values) const {
        Lanes v;
        for (std::int32_t lane = 0; lane < 4; ++lane) v[lane] = values[std::min(lane, count - 1)];
        return v;
    }
    Lanes Keep(const Lanes& terms, double fill = 0.0) const {
        Lanes kept = terms;
        for (std::int32_t lane = count; lane < 4; ++lane) kept[lane] = fill;
        return kept;
    }
};

// body(j, group) for the groups j = first, first + 4, ... that cover first..last.
template <class Body>
inline void ForEachGroup(std::int32_t first, std::int32_t last, const Body& body) {
    std::int32_t j = first;
    for (; j + 3 <= last; j += 4) body(j, WholeGroup{});
    if (j <= last) body(j, ShortGroup{last - j + 1});
}

// The instructions that carry the lanes: x86-64's baseline (SSE2), or AVX2.
enum class LanePath { Baseline, Avx2 };

// The widest path this CPU runs.
LanePath WidestLanePath();

// The path every lane sum takes: the widest, unless a test chose another.
LanePath ActiveLanePath();

// Makes every later lane sum take path (which this CPU must run); for the tests that compare
// the paths' bits.
void ChooseLanePath(LanePath path);

// kernel(), a lambda over lanes, compiled for each path and run on the active one. Flattened:
// every call inside is inlined and so compiled for the path (no lanes cross a call).
template <class Kernel>
[[gnu::flatten]] inline auto OnBaselineLanes(const Kernel& kernel) {
    return kernel();
}

#if defined(__x86_64__)
template <class Kernel>
[[gnu::target("avx2"), gnu::flatten]] inline auto OnAvx2Lanes(const Kernel& kernel) {
    return kernel();
}
#endif

template <class Kernel>
inline auto OnLanes(const Kernel& kernel) {
#if defined(__x86_64__)
    if (ActiveLanePath() == LanePath::Avx2) return OnAvx2Lanes(kernel);
#endif
    return OnBaselineLanes(kernel);
}

}  // namespace tamsel
