// The sum of the logarithms of many positive factors, as the logarithm of their product:
// the likelihoods sum a logarithm per failure, and the logarithm, not the arithmetic around
// it, is what their evaluation costs. The product is kept as mantissa * 2^exponent, so it
// never overflows or underflows, and one logarithm is taken at the end. Each product
// rounds once, as each logarithm in a term-by-term sum does, so the two agree to the last
// few bits.
#pragma once

#include <cmath>
#include <numbers>

#include "tamsel/numeric/lanes.h"

namespace tamsel {

class LogSum {
  public:
    void Add(double factor) {
        // A factor outside [2^-500, 2^500] (or not positive, or NaN) takes its own logarithm,
        // which also gives the term-by-term sum's -infinity or NaN for a factor <= 0.
        if (!(factor >= kLow && factor <= kHigh)) {
            m_logs += std::log(factor);
            return;
        }
        m_product *= factor;
        if (m_product < kLow || m_product > kHigh) Renormalise();
    }

    double Value() const { return std::log(m_product) + m_exponent * std::numbers::ln2 + m_logs; }

  private:
    static constexpr double kLow = 0x1p-500;
    static constexpr double kHigh = 0x1p500;

    void Renormalise() {
        int exponent = 0;
        m_product = std::frexp(m_product, &exponent);
        m_exponent += exponent;
    }

    double m_product = 1.0;  // in [2^-500, 2^500] between calls
    double m_exponent = 0.0;
    double m_logs = 0.0;
};

// The sum of ln(1 + q) over many q > -1, at a few arithmetic operations a term instead of a
// log1p each, as the logarithm of the product of the factors 1 + q. While the product stays
// within 1/2 of 1, its excess over 1 is kept instead, (1 + e)(1 + q) - 1 = e + q + e q, so
// that terms far below the rounding of 1 + q keep their digits as log1p keeps them, and one
// log1p is taken at the end. Beyond, the product's logarithm is at least ln(3/2) in size, and
// its roundings cost no more than log1p's; it renormalises as LogSum's does. Either way the
// error is a few roundings of the sum of the terms' sizes, as in the term-by-term sum.
class Log1pSum {
  public:
    void Add(double q) {
        // A term outside (-1, 2^500] (or NaN) takes its own log1p, which also gives the
        // term-by-term sum's -infinity or NaN for q <= -1.
        if (!(q > -1.0 && q <= kHigh)) {
            m_logs += std::log1p(q);
            return;
        }
        if (m_product == 0.0) {
            m_excess += q + m_excess * q;
            if (std::fabs(m_excess) > 0.5) m_product = 1.0 + m_excess;
            return;
        }
        m_product *= 1.0 + q;
        if (m_product < kLow || m_product > kHigh) {
            int exponent = 0;
            m_product = std::frexp(m_product, &exponent);
            m_exponent += exponent;
        }
    }

    double Value() const {
        const double logProduct = m_product == 0.0 ? std::log1p(m_excess) : std::log(m_product);
        return logProduct + m_exponent * std::numbers::ln2 + m_logs;
    }

  private:
    static constexpr double kLow = 0x1p-500;
    static constexpr double kHigh = 0x1p500;

    double m_excess = 0.0;   // the product less 1, while it is within 1/2 of 1
    double m_product = 0.0;  // the product once the excess is not, else 0
    double m_exponent = 0.0;
    double m_logs = 0.0;
};

namespace lane_sums {

constexpr double kLow = 0x1p-500;
constexpr double kHigh = 0x1p500;

// Where a lane's term is outside the range its running product takes (inRange false), the
// lane adds its own logarithm, log(term), and the product takes fill instead.
template <class Log>
Lanes TakeOwnLogs(const Lanes& terms, const LaneMask& inRange, double fill, Lanes& logs,
                  const Log& log) {
    Lanes kept = terms;
    if (!Any(~inRange)) return kept;
    for (int lane = 0; lane < 4; ++lane) {
        if (inRange[lane]) continue;
        logs[lane] += log(terms[lane]);
        kept[lane] = fill;
    }
    return kept;
}

// Where a lane's product is neither 0 nor within [kLow, kHigh] (NaN included).
inline LaneMask OutOfRange(const Lanes& product) {
    return (product != 0.0) & ~((product >= kLow) & (product <= kHigh));
}

// A lane's product out of range as mantissa and exponent, as LogSum's.
inline void Renormalise(Lanes& product, Lanes& exponent) {
    const LaneMask out = OutOfRange(product);
    if (!Any(out)) return;
    for (int lane = 0; lane < 4; ++lane) {
        if (!out[lane]) continue;
        int moved = 0;
        product[lane] = std::frexp(product[lane], &moved);
        exponent[lane] += moved;
    }
}

}  // namespace lane_sums

// LogSum in four lanes (see lanes.h): each lane keeps its own product and renormalises it on
// its own, and the four are multiplied into one logarithm at the end. A group is checked once,
// after its products: only then are they taken again, with LogSum's care.
class LaneLogSum {
  public:
    void Add(const Lanes& factor) {
        using namespace lane_sums;
        const Lanes before = m_product;
        m_product = before * factor;
        if (!Any(OutOfRange(m_product) | (m_product == 0.0))) return;
        m_product = before * TakeOwnLogs(factor, (factor >= kLow) & (factor <= kHigh), 1.0, m_logs,
                                         [](double f) { return std::log(f); });
        Renormalise(m_product, m_exponent);
    }

    double Value() const {
        double product = 1.0;  // of four in [1/2, 1): no overflow, no underflow
        double exponent = Total(m_exponent);
        for (int lane = 0; lane < 4; ++lane) {
            int laneExponent = 0;
            product *= std::frexp(m_product[lane], &laneExponent);
            exponent += laneExponent;
        }
        return std::log(product) + exponent * std::numbers::ln2 + Total(m_logs);
    }

  private:
    Lanes m_product = Lanes{} + 1.0;
    Lanes m_exponent{};
    Lanes m_logs{};
};

// Log1pSum in four lanes: each lane keeps its excess until it leaves 1/2 of 0, then its
// product; at the end the lanes' excesses and normalised products go through one Log1pSum.
// As in LaneLogSum, a group is checked once and taken again with care only when it must be.
class LaneLog1pSum {
  public:
    void Add(const Lanes& q) {
        using namespace lane_sums;
        const Lanes excess = m_excess;
        const Lanes product = m_product;
        Multiply(q);
        const LaneMask inRange = (q > -1.0) & (q <= kHigh);
        if (!Any(~inRange | OutOfRange(m_product))) return;
        m_excess = excess;
        m_product = product;
        Multiply(
            TakeOwnLogs(q, inRange, 0.0, m_logs, [](double term) { return std::log1p(term); }));
        Renormalise(m_product, m_exponent);
    }

    double Value() const {
        Log1pSum total;
        double exponent = Total(m_exponent);
        for (int lane = 0; lane < 4; ++lane) {
            if (m_product[lane] == 0.0) {
                total.Add(m_excess[lane]);
                continue;
            }
            // A product in [1/2, 1) less 1 is exact.
            int laneExponent = 0;
            total.Add(std::frexp(m_product[lane], &laneExponent) - 1.0);
            exponent += laneExponent;
        }
        return total.Value() + exponent * std::numbers::ln2 + Total(m_logs);
    }

  private:
    void Multiply(const Lanes& q) {
        const LaneMask onExcess = m_product == 0.0;
        m_excess = onExcess ? m_excess + (q + m_excess * q) : m_excess;
        m_product *= 1.0 + q;  // stays 0 on the lanes still on their excess
        const LaneMask leaves = onExcess & ((m_excess > 0.5) | (m_excess < -0.5));
        m_product = leaves ? 1.0 + m_excess : m_product;
    }

    Lanes m_excess{};   // a lane's product less 1, while it is within 1/2 of 1
    Lanes m_product{};  // a lane's product once its excess is not, else 0
    Lanes m_exponent{};
    Lanes m_logs{};
};

}  // namespace tamsel
