#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "tamsel/numeric/vector_log.h"
#include "test_support.h"

namespace tamsel {
namespace {

// Every path this CPU runs gives the scalar path's bits, for lengths that leave every tail
// of the 2- and 4-wide steps, and each value is within 1 ulp of the extended-precision
// logarithm (q from -1 + 1e-12 to 1e300, where a fit's x / Beta lies).
TEST(ScaledLog1p, EveryPathGivesTheSameBitsWithinAnUlp) {
    const std::vector<double> q{1e-300, 3e-17, 1e-9, -1 + 1e-12, -0.3,  0.5, 1.0,
                                2.5,    7e3,   1e8,  1e15,       1e300, 0.0};
    std::vector<VectorPath> paths{VectorPath::Scalar};
    for (VectorPath path = WidestPath(); path != VectorPath::Scalar;
         path = static_cast<VectorPath>(static_cast<int>(path) - 1)) {
        paths.push_back(path);
    }
    const double s = 0.75;
    for (std::size_t n = 0; n <= q.size(); ++n) {
        std::vector<double> x(n);
        for (std::size_t j = 0; j < n; ++j) x[j] = q[j] / s;
        std::vector<double> scalar(n);
        ScaledLog1p(x, s, scalar, VectorPath::Scalar);
        for (VectorPath path : paths) {
            std::vector<double> out(n);
            ScaledLog1p(x, s, out, path);
            // An empty vector's data() may be null, which memcmp must not be given.
            EXPECT_TRUE(n == 0 || std::memcmp(out.data(), scalar.data(), n * sizeof(double)) == 0)
                << "path " << static_cast<int>(path) << ", length " << n;
        }
        for (std::size_t j = 0; j < n; ++j) {
            const long double exact = std::log1p(static_cast<long double>(s * x[j]));
            const double ulp = std::nextafter(std::fabs(static_cast<double>(exact)),
                                              std::numeric_limits<double>::infinity()) -
                               std::fabs(static_cast<double>(exact));
            EXPECT_TRUE(test::IsClose(scalar[j], static_cast<double>(exact), 0.0, ulp))
                << "q " << s * x[j];
        }
    }
}

}  // namespace
}  // namespace tamsel
