#!/usr/bin/env python3
"""Stored predictions of a Tamsel database against 50-digit references.

Every stored Pdf, Cdf, LowQ, Median, UppQ and MTTF is recomputed from the row's stored
parameters and the data with mpmath, by each model's defining formulas (no rewriting for
accuracy: the working precision, 50 digits plus one for each decade of every input's
magnitude, absorbs the cancellation the program has to avoid), and compared relative to the
reference. The stand-in values (1e30 for an infinite quartile, also one beyond the
doubles, 1e307 for an infinite mean, 1e-30 for a vanishing density, 0 for no mean) are
expected exactly where they apply.
Values whose reference is below 1e-290 count as equal to 0.

Usage: prediction_reference.py DB [--tolerance 1e-9] [--rows]
prints, per data set and model, the rows with a value off by more than the tolerance and the
largest relative error of each field; --rows lists every such row.
       prediction_reference.py --case MODEL I T P1 P2 P3 S
prints the references of one stored fit (failure index I at cumulative time T, parameters
P1..P3) for all_models_test.cpp: Cdf and Pdf at S, the quartiles and the mean.
"""
import argparse
import sqlite3
import sys

import mpmath as mp

mp.mp.dps = 50

INFINITE_MTTF = mp.mpf(1e307)
INFINITE_QUARTILE = mp.mpf(1e30)
VANISHING = mp.mpf(1e-30)
INFINITE_FAULTS = 999999.0
TINY = mp.mpf(1e-290)
LARGEST = mp.mpf(1.7976931348623157e308)
LEVELS = (0.25, 0.5, 0.75)
FIELDS = ("Pdf", "Cdf", "LowQ", "Median", "UppQ", "MTTF")


def cap(q):
    """A quantile beyond the doubles is stored as an infinite one."""
    return INFINITE_QUARTILE if q > LARGEST else q


def exponential(rate, x, mean):
    """Quartiles, mean and (cdf, pdf) at x of the exponential distribution."""
    quartiles = [-mp.log(1 - mp.mpf(p)) / rate for p in LEVELS]
    point = None if x is None else (1 - mp.exp(-rate * x), rate * mp.exp(-rate * x))
    return quartiles, mean, point


def pareto(shape, scale, x):
    """Survival (scale / (scale + x))^shape. With no shape (no fault left) the next failure
    never comes; with no scale or an infinite shape it comes at once."""
    if shape <= 0:
        return [INFINITE_QUARTILE] * 3, INFINITE_MTTF, None if x is None else (0, VANISHING)
    if scale <= 0 or shape == mp.inf:
        return [VANISHING] * 3, VANISHING, None if x is None else (1, VANISHING)
    quartiles = [cap(scale * ((1 - mp.mpf(p)) ** (-1 / shape) - 1)) for p in LEVELS]
    mean = scale / (shape - 1) if shape > 1 and scale / (shape - 1) <= LARGEST else INFINITE_MTTF
    point = None
    if x is not None:
        survival = (scale / (scale + x)) ** shape
        point = (1 - survival, shape * survival / (scale + x))
    return quartiles, mean, point


def jm(p, i, t, x):
    n, lam = mp.mpf(p[0]), mp.mpf(p[1])
    if p[0] == i:  # all faults found
        quartiles, _, _ = exponential(VANISHING, None, 0)
        return quartiles, mp.mpf(0), None if x is None else (mp.mpf(0), VANISHING)
    if p[0] == INFINITE_FAULTS:  # no fault reduction
        return exponential(i / t, x, mp.mpf(0))
    rate = (n - i) * lam
    return exponential(rate, x, 1 / rate)


def du(p, i, t, x):
    beta, alpha = mp.mpf(p[0]), mp.mpf(p[1])
    base = alpha * t**beta
    a = 1 / beta
    mean = mp.exp(base) * mp.gammainc(a, base) / (beta * alpha**a)
    mean = INFINITE_MTTF if mean > LARGEST else mean
    quartiles = [cap((t**beta - mp.log(1 - mp.mpf(q)) / alpha) ** a - t) for q in LEVELS]
    point = None
    if x is not None:
        exponent = -alpha * ((t + x) ** beta - t**beta)
        survival = mp.exp(exponent)
        point = (1 - survival, alpha * beta * survival * (t + x) ** (beta - 1))
        if exponent < -700:  # the defined clamp
            point = (mp.mpf(1), mp.mpf(0))
    return quartiles, mean, point


def mo(p, i, t, x):
    a, beta0 = mp.mpf(p[0]), mp.mpf(p[1])
    return pareto(beta0, a + t, x)


def go(p, i, t, x):
    mu, phi = mp.mpf(p[0]), mp.mpf(p[1])
    if p[0] == INFINITE_FAULTS:
        return exponential(mp.mpf(p[2]), x, t / i)
    quartiles = []
    for level in LEVELS:
        q = 1 + mp.exp(phi * t) * mp.log(1 - mp.mpf(level)) / mu
        quartiles.append(INFINITE_QUARTILE if q <= 0 else -mp.log(q) / phi)
    point = None
    if x is not None:
        exponent = -mu * (mp.exp(-phi * t) - mp.exp(-phi * (t + x)))
        survival = mp.exp(exponent)
        point = (1 - survival, phi * mu * mp.exp(-phi * (t + x)) * survival)
        if exponent < -700:
            point = (mp.mpf(1), mp.mpf(0))
    return quartiles, INFINITE_MTTF, point


def li(p, i, t, x):
    n, alpha, beta = (mp.mpf(v) for v in p)
    return pareto((n - i) * alpha, beta + t, x)


def lnhpp(p, i, t, x):
    n, alpha, beta = (mp.mpf(v) for v in p)
    if p[0] == INFINITE_FAULTS:
        # The MO limit: Mu -> infinity with Mu Alpha held.
        return pareto(n * alpha, beta + t, x)
    at_t = (1 + t / beta) ** -alpha
    lam = alpha * n * at_t / (beta + t)
    remaining = n * at_t
    r = (1 + 1 / alpha) / remaining
    occurs = 1 - mp.exp(-remaining) if remaining < 700 else mp.mpf(1)
    mean = mp.mpf(0) if r >= 1 else (1 + r) / (lam * occurs)
    quartiles = []
    for level in LEVELS:
        v = 1 + mp.log(1 - mp.mpf(level)) * (1 + t / beta) ** alpha / n
        quartiles.append(INFINITE_QUARTILE if v <= 0 else cap((t + beta) * (v ** (-1 / alpha) - 1)))
    point = None
    if x is not None:
        at_x = (1 + (t + x) / beta) ** -alpha
        survival = mp.exp(-n * (at_t - at_x))
        point = (1 - survival, alpha * n * at_x * survival / (beta + t + x))
    return quartiles, mean, point


def lv(p, i, t, x):
    alpha, beta0, beta1 = (mp.mpf(v) for v in p)
    return pareto(alpha, beta0 + beta1 * i, x)


def kl(p, i, t, x):
    b0, b1, beta = (mp.mpf(v) for v in p)
    inverse = b0 + b1 * i
    return pareto(1 / inverse if inverse > 0 else mp.inf, beta, x)


MODELS = {"JM": jm, "Du": du, "MO": mo, "GO": go, "Li": li, "LNHPP": lnhpp, "LV": lv, "KL": kl}


def reference(model, parameters, i, t, x):
    """The model's references at a precision that covers the cancellation of its inputs."""
    inputs = [v for v in (*parameters, t, x) if v]
    digits = 50 + sum(int(abs(mp.log10(abs(mp.mpf(v))))) + 1 for v in inputs)
    with mp.workdps(digits):
        quartiles, mean, point = MODELS[model](parameters, i, mp.mpf(t), None if x is None else mp.mpf(x))
        return [+v for v in quartiles], +mean, None if point is None else tuple(+v for v in point)


def relative_error(stored, exact):
    if abs(exact) < TINY:
        return 0.0 if abs(stored) < TINY else float("inf")
    return float(abs(mp.mpf(stored) - exact) / abs(exact))


def check(db, tolerance, list_rows):
    con = sqlite3.connect(db)
    sets = con.execute(
        "SELECT s.EstimatesSetID, d.DataSetID, d.DataName, m.Model FROM EstimatesSets s "
        "JOIN DataSets d ON d.DataSetID = s.DataSetID JOIN Models m ON m.ModelID = s.ModelID "
        "ORDER BY s.EstimatesSetID"
    ).fetchall()
    total = 0
    overall = 0.0
    for set_id, data_id, data_name, model in sets:
        times = con.execute(
            "SELECT FailureIndex, InterfailureTime, CumulativeTime FROM FailureTimes "
            "WHERE DataSetID = ? ORDER BY FailureIndex",
            (data_id,),
        ).fetchall()
        x = {k: v for k, v, _ in times}
        cumulative = {k: c for k, _, c in times}
        rows = con.execute(
            "SELECT FailureIndex, Parameter1, Parameter2, Parameter3, Pdf, Cdf, LowQ, Median, UppQ, "
            "MTTF FROM Estimates WHERE EstimatesSetID = ? ORDER BY FailureIndex",
            (set_id,),
        ).fetchall()
        last = rows[-1][0]
        worst = dict.fromkeys(FIELDS, 0.0)
        bad = 0
        for row in rows:
            i = row[0]
            quartiles, mean, point = reference(model, row[1:4], i, cumulative[i], x[i + 1] if i < last else None)
            expected = dict(zip(("LowQ", "Median", "UppQ"), quartiles), MTTF=mean)
            if point is not None:
                expected["Cdf"], expected["Pdf"] = point
            errors = {f: relative_error(row[4 + FIELDS.index(f)], e) for f, e in expected.items()}
            for f, e in errors.items():
                worst[f] = max(worst[f], e)
            off = {f: e for f, e in errors.items() if e > tolerance}
            if off:
                bad += 1
                if list_rows:
                    print(f"  {data_name} {model} i={i}: " + ", ".join(f"{f} {e:.2g}" for f, e in off.items()))
        total += bad
        overall = max(overall, *worst.values())
        print(
            f"{data_name:10} {model:5} rows off {bad:4}/{len(rows):4}  "
            + "  ".join(f"{f} {worst[f]:.1e}" for f in FIELDS)
        )
    print(f"largest relative error: {overall:.2g}; rows off by more than {tolerance:g}: {total}")
    return total


def case(model, i, t, *rest):
    quartiles, mean, point = reference(model, [float(v) for v in rest[:3]], int(i), float(t), float(rest[3]))
    for value in (*point, *quartiles, mean):
        print(mp.nstr(mp.mpf(value), 20, min_fixed=1, max_fixed=0))


if __name__ == "__main__":
    if len(sys.argv) == 9 and sys.argv[1] == "--case":
        case(*sys.argv[2:])
        sys.exit()
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("db")
    parser.add_argument("--tolerance", type=float, default=1e-9)
    parser.add_argument("--rows", action="store_true")
    arguments = parser.parse_args()
    check(arguments.db, arguments.tolerance, arguments.rows)
