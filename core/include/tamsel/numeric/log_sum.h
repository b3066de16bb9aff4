// The sum of the logarithms of many positive factors, as the logarithm of their product:
// the likelihoods sum a logarithm per failure, and the logarithm, not the arithmetic around
// it, is what their evaluation costs. The product is kept as mantissa * 2^exponent, so it
// never overflows or underflows, and one logarithm is taken at the end. Each product
// rounds once, as each logarithm in a term-by-term sum does, so the two agree to the last
// few bits.
#pragma once

#include <cmath>
#include <numbers>

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

}  // namespace tamsel
