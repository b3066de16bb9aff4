#!/usr/bin/env python3
"""Reference p-values of the Kolmogorov statistic for measures_test.cpp.

P(D_n < d) is the probability that the n uniform order statistics stay inside the band
i/n - d < U(i) < (i-1)/n + d. Between consecutive band breakpoints the counts of points are
multinomial, so the probability is n! times the Poisson-weighted sum over count paths that
respect the band at every breakpoint. Only sums of positive terms in 60 digits: no matrix power
and no cancellation, independent of the program's method.

Usage: kolmogorov_reference.py N:D [N:D ...]   prints N, D and P(D_N >= D)
"""
import sys

import mpmath as mp

mp.mp.dps = 60


def cdf(n, d):
    d = mp.mpf(d)
    upper = {}  # breakpoint -> largest count allowed there
    lower = {}  # breakpoint -> smallest count allowed there
    for i in range(1, n + 1):
        a = mp.mpf(i) / n - d
        b = mp.mpf(i - 1) / n + d
        if a > 0:
            upper[a] = min(upper.get(a, n), i - 1)
        if b < 1:
            lower[b] = max(lower.get(b, 0), i)
    points = [c for c in sorted(set(upper) | set(lower)) if 0 < c < 1] + [mp.mpf(1)]
    weights = [mp.mpf(0)] * (n + 1)
    weights[0] = mp.mpf(1)
    previous = mp.mpf(0)
    for c in points:
        width = c - previous
        poisson = [mp.mpf(1)]
        for m in range(1, n + 1):
            poisson.append(poisson[-1] * width / m)
        weights = [mp.fsum(weights[j] * poisson[l - j] for j in range(l + 1)) for l in range(n + 1)]
        for l in range(upper.get(c, n) + 1, n + 1):
            weights[l] = 0
        for l in range(0, lower.get(c, 0)):
            weights[l] = 0
        previous = c
    return mp.factorial(n) * weights[n]


if __name__ == "__main__":
    for argument in sys.argv[1:]:
        n, d = argument.split(":")
        print(n, d, mp.nstr(1 - cdf(int(n), d), 17))
