// Helpers for the model tests: failure series, the reference settings, a golden-section search
// and simulated data.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tamsel/models/prequential.h"
#include "tamsel/records/records.h"
#include "test_support.h"

namespace tamsel::test {

struct Series {
    FailureSeries x;  // interfailure times, element 0 unused
    FailureSeries t;  // cumulative times, element 0 unused
    std::int32_t Count() const { return static_cast<std::int32_t>(x.size()) - 1; }
};

inline Series FromInterfailure(const std::vector<double>& values) {
    Series series{{0.0}, {0.0}};
    for (double value : values) {
        series.x.push_back(value);
        series.t.push_back(series.t.back() + value);
    }
    return series;
}

inline Series FromCumulative(const std::vector<double>& values) {
    Series series{{0.0}, {0.0}};
    for (double value : values) {
        series.x.push_back(value - series.t.back());
        series.t.push_back(value);
    }
    return series;
}

inline Series FromDataFile(const std::string& name) {
    return FromInterfailure(ReadDataValues(name));
}

inline bool SameBits(const EstimateRecord& a, const EstimateRecord& b) {
    return std::memcmp(&a, &b, sizeof(EstimateRecord)) == 0;
}

// The reference inference method's settings (maximum likelihood, parameter set 1).
inline MinimisationSettings ReferenceSettings() {
    MinimisationSettings settings;
    settings.maxIter = 300;
    settings.absolutePrecision = 1e-15;
    settings.relativePrecision = 1e-8;
    settings.eta = 0.4;
    settings.tolerance = 1e-7;
    return settings;
}

// The u in [left, right] that maximises a unimodal f, by golden section down to 1e-14.
inline double GoldenSectionArgMax(const std::function<double(double)>& f, double left,
                                  double right) {
    const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
    for (int pass = 0; pass < 200 && right - left > 1e-14; ++pass) {
        double a = right - ratio * (right - left);
        double b = left + ratio * (right - left);
        if (f(a) < f(b)) {
            left = a;
        } else {
            right = b;
        }
    }
    return 0.5 * (left + right);
}

// Exponential variates by inversion, so that the simulated data are the same with every
// standard library.
class Simulator {
  public:
    explicit Simulator(std::uint64_t seed) : m_engine(seed) {}
    double Exponential(double rate) {
        double u = (static_cast<double>(m_engine() >> 11) + 0.5) * 0x1.0p-53;
        return -std::log(u) / rate;
    }

  private:
    std::mt19937_64 m_engine;
};

}  // namespace tamsel::test
