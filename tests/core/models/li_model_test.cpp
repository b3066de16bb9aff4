#include "tamsel/models/li_model.h"

#include <gtest/gtest.h>

#include <array>
#include <boost/multiprecision/cpp_bin_float.hpp>
#include <cmath>
#include <cstdio>
#include <vector>

#include "littlewood_test_support.h"
#include "model_test_support.h"
#include "tamsel/models/mo_model.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::Point3;
using test::Series;

// ln L of failures 1..n from the Littlewood density: the j-th detection is one of the
// N - j + 1 faults still present, each found at t with density (alpha / beta)
// (1 + t / beta)^-(alpha + 1), and the N - n faults left survive t(n).
double LiLogLikelihood(const FailureSeries& t, std::int32_t n, double remaining, double alpha,
                       double beta) {
    double sum = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) {
        sum += std::log(remaining + (n - j + 1)) + std::log(alpha / beta) -
               (alpha + 1.0) * std::log1p(t[j] / beta);
    }
    return sum - remaining * alpha * std::log1p(t[n] / beta);
}

// The maximum over alpha of ln L.
double ProfileLogLikelihood(const FailureSeries& t, std::int32_t n, double remaining, double beta) {
    return -test::GoldenSectionMinimum(
        [&](double logAlpha) {
            return -LiLogLikelihood(t, n, remaining, std::exp(logAlpha), beta);
        },
        -60.0, 60.0);
}

TEST(LiObjective, IsTheNegativeProfileLogLikelihood) {
    Series sys1 = test::FromDataFile("sys1.txt");
    test::Simulator random(51);
    for (int k = 0; k < 40; ++k) {
        std::int32_t n = 10 + 3 * k;
        double p1 = std::exp(-2.0 + 8.0 * std::exp(-random.Exponential(1.0)));
        double p2 = std::exp(std::exp(-random.Exponential(1.0)) * 10.0);
        double profile = ProfileLogLikelihood(sys1.t, n, p1 * p1, p2 * p2);
        std::array<double, 2> g{};
        EXPECT_CLOSE(ObjectiveLi(std::array{p1, p2}, g, n, sys1.t), -profile, 1e-11)
            << "n " << n << " p " << p1 << ", " << p2;
    }
}

TEST(LiRecord, FieldsFollowTheFittedValues) {
    Series sys1 = test::FromDataFile("sys1.txt");
    const std::int32_t i = 40;
    const double remaining = 25.0;
    const double beta = 3000.0;
    EstimateRecord record = RecordLi(sys1.x, sys1.t, i, 136, remaining, beta);
    double sum = 0.0;
    for (std::int32_t j = 1; j <= i; ++j) sum += std::log(1.0 + sys1.t[j] / beta);
    double alpha = i / (sum + remaining * std::log(1.0 + sys1.t[i] / beta));
    double a = remaining * alpha;
    double b = beta + sys1.t[i];
    EXPECT_CLOSE(record.param1, 65.0, 1e-15);
    EXPECT_CLOSE(record.param2, alpha, 1e-13);
    EXPECT_EQ(record.param3, beta);
    EXPECT_EQ(record.logLhd, 0.0);
    EXPECT_CLOSE(record.mttf, b / (a - 1.0), 1e-13);
    EXPECT_CLOSE(record.median, b * (std::pow(0.5, -1.0 / a) - 1.0), 1e-12);
    double survival = std::pow(b / (b + sys1.x[i + 1]), a);
    EXPECT_CLOSE(record.cdf, 1.0 - survival, 1e-12);
    EXPECT_CLOSE(record.pdf, a * survival / (b + sys1.x[i + 1]), 1e-12);
}

TEST(LiRecord, InfiniteMeanWhenShapeAtMostOne) {
    Series sys1 = test::FromDataFile("sys1.txt");
    // Few remaining faults: a = (N - i) alpha is below 1.
    EstimateRecord few = RecordLi(sys1.x, sys1.t, 30, 136, 0.5, 2000.0);
    ASSERT_LE(few.param2 * 0.5, 1.0);
    EXPECT_EQ(few.mttf, 1e307);
    EXPECT_LT(few.uppQ, 1e30);
    EXPECT_GT(few.lowQ, 0.0);
    // No remaining fault: the next failure never comes.
    EstimateRecord none = RecordLi(sys1.x, sys1.t, 30, 136, 0.0, 2000.0);
    EXPECT_EQ(none.mttf, 1e307);
    EXPECT_EQ(none.median, 1e30);
    EXPECT_EQ(none.cdf, 0.0);
    EXPECT_EQ(none.pdf, 0.0);
}

// The record's textbook formulas evaluated with 50 significant digits.
TEST(LiRecord, AccurateWithATrillionRemainingFaults) {
    using Real = boost::multiprecision::cpp_bin_float_50;
    Series sys1 = test::FromDataFile("sys1.txt");
    const std::int32_t i = 100;
    const double remaining = 1e12;
    for (double beta : {500.0, 1e13}) {
        EstimateRecord record = RecordLi(sys1.x, sys1.t, i, 136, remaining, beta);
        Real sum = 0;
        for (std::int32_t j = 1; j <= i; ++j) sum += log(1 + Real(sys1.t[j]) / beta);
        Real alpha = i / (sum + Real(remaining) * log(1 + Real(sys1.t[i]) / beta));
        Real a = remaining * alpha;
        Real b = Real(beta) + sys1.t[i];
        Real next = sys1.x[i + 1];
        Real survival = pow(b / (b + next), a);
        EXPECT_CLOSE(record.param2, static_cast<double>(alpha), 1e-13) << beta;
        EXPECT_CLOSE(record.mttf, static_cast<double>(b / (a - 1)), 1e-12) << beta;
        for (auto [p, quartile] :
             {std::pair{0.25, record.lowQ}, {0.5, record.median}, {0.75, record.uppQ}}) {
            Real expected = b * (pow(Real(1 - p), -1 / a) - 1);
            EXPECT_CLOSE(quartile, static_cast<double>(expected), 1e-12) << beta << " " << p;
        }
        EXPECT_CLOSE(record.cdf, static_cast<double>(1 - survival), 1e-12) << beta;
        EXPECT_CLOSE(record.pdf, static_cast<double>(a * survival / (b + next)), 1e-12) << beta;
    }
}

// Fits at every index of the default range of sys1 and ntds are maxima of the likelihood.
TEST(LiEstimate, FitsAreLikelihoodMaxima) {
    auto view = [](const Series& data, std::int32_t i, const EstimateRecord& r) {
        // (ln(N - i), ln alpha, ln beta), inside the fit's box N - i, beta <= 1e14.
        return test::StoredFit{
            [&data, i](const Point3& q) {
                return LiLogLikelihood(data.t, i, std::exp(q[0]), std::exp(q[1]), std::exp(q[2]));
            },
            {std::log(std::max(r.param1 - i, 1e-30)), std::log(r.param2), std::log(r.param3)},
            {{-70.0, -200.0, -70.0}, {std::log(1e14), 200.0, std::log(1e14)}}};
    };
    // The fit stops once |g| < 1e-7 in (p1, p2): where the likelihood rises slowly along a
    // ridge, that leaves up to about 1e-4 unclimbed.
    double largest = test::LargestShortfallOnReferenceData(&EstimateLi, view, 2e-4);
    std::printf("largest log-likelihood shortfall %.3g\n", largest);
}

// Where the likelihood rises towards N -> infinity (most indices of sys1, all of the
// later ones) the model becomes the Musa-Okumoto model: the predictions agree.
TEST(LiEstimate, LimitFitsAgreeWithMusaOkumoto) {
    Series sys1 = test::FromDataFile("sys1.txt");
    EstimatesArray fit;
    EstimatesArray mo;
    ASSERT_EQ(EstimateLi(sys1.x, sys1.t, 20, 136, test::ReferenceSettings(), fit, {}).status,
              EstimationStatus::Completed);
    ASSERT_EQ(EstimateMO(sys1.x, sys1.t, 20, 136, test::ReferenceSettings(), mo, {}).status,
              EstimationStatus::Completed);
    int limits = 0;
    double largest = 0.0;
    for (std::int32_t i = 20; i <= 136; ++i) {
        if (fit[i].param1 - i < 1e6) continue;
        ++limits;
        largest = std::max(largest, std::fabs(fit[i].median / mo[i].median - 1.0));
        EXPECT_CLOSE(fit[i].median, mo[i].median, 1e-3) << i;
        EXPECT_CLOSE(fit[i].mttf, mo[i].mttf, 1e-3) << i;
    }
    EXPECT_GT(fit[136].param1 - 136, 1e6);
    EXPECT_GT(limits, 50);
    std::printf("%d limit fits, medians within %.3g of Musa-Okumoto's\n", limits, largest);
}

}  // namespace
}  // namespace tamsel
