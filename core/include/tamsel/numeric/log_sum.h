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

}  // namespace tamsel
