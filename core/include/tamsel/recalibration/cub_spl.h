// The recalibration of one estimates set's raw predictions (CubSpl): for each prediction, a
// smooth estimate G* of the distribution of the u-values that came before it, and the
// recalibrated distribution function, density and quartile levels G*(F(t)) implies.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tamsel/recalibration/spline_curve.h"
#include "tamsel/records/progress.h"

namespace tamsel {

// The u-plot as u-values arrive: distinct abscissae X(1) < ... < X(L), each with the number
// of u-values counted there. It starts with the sentinels 0 (no count) and 1 (one count).
class UPlot {
  public:
    // Two u-values closer than this are the same abscissa.
    static constexpr double kSameAbscissa = 1e-15;

    UPlot();
    // Counts u at an abscissa within kSameAbscissa of it, or inserts it in order. A value
    // outside [0, 1] (or NaN) counts at the nearer end (0 for NaN).
    void Add(double u);

    int Size() const { return static_cast<int>(m_abscissae.size()); }
    const std::vector<double>& Abscissae() const { return m_abscissae; }
    const std::vector<int>& Counts() const { return m_counts; }
    // The running count through each point divided by total: the ordinates Y at the step
    // where total counts (the u-values so far and the sentinel) are held.
    std::vector<double> Ordinates(int total) const;

  private:
    std::vector<double> m_abscissae;
    std::vector<int> m_counts;
};

// The cumulative chord length of the polygon through (x(j), y(j)), starting with the length
// from the origin to the first point, divided by the total, so that the last is 1.
std::vector<double> ChordLengths(const std::vector<double>& x, const std::vector<double>& y);

// The settings of a recalibration method (a RecalibrationMethods row) and the warm-up.
struct SplineSettings {
    std::int32_t iter = 0;     // most refinement passes of one fit
    std::int32_t ni = 0;       // starting number of pieces of both curves
    double sqMax = 0.0;        // a fit is accepted below this sum of squared residuals
    std::int32_t offset = 15;  // leading predictions that only feed the u-plot
};

// The smallest u-plot that is fitted: the two sentinels and four u-values.
inline constexpr int kMinUPlotPoints = 6;

enum class SplineStatus : std::int16_t { Succeeded = 0, FitFailed = 1, Cancelled = 2 };

// A recalibrating function G*, as the two fitted coordinate curves x(s) and y(s) of the
// u-plot: G*(u) = y(x^-1(u)).
struct RecalibratingFunction {
    SplineCurve x;
    SplineCurve y;

    // G*(u), kept inside [0, 1]: the curves need not pass through (0, 0) and (1, 1) exactly,
    // and near the ends G* can stray a little outside, where no probability lies.
    double Cdf(double u) const;
    // G*'(u) f, the recalibrated density of a raw prediction with density f at level u.
    double Pdf(double u, double f) const;
    // The raw level q with G*(q) = p: a raw quantile at q is the recalibrated p-quantile.
    double Level(double p) const;
};

// Arrays indexed k = 1..M like the raw inputs (element 0 unused), 0 where not computed.
struct SplineRecalibration {
    // Cancelled when a cancel was requested; otherwise the status of the last fit (FitFailed
    // when it failed), Succeeded when no fit ran.
    SplineStatus status = SplineStatus::Succeeded;
    std::vector<double> recalCdf;  // G*(u(k)), kept inside [0, 1]
    std::vector<double> recalPdf;  // G*'(u(k)) f(k)
    std::vector<double> level25;   // the raw levels q with G*(q) = 0.25, 0.5, 0.75
    std::vector<double> level50;
    std::vector<double> level75;
    // The piece counts of the two curves at the end, which each fit starts from in turn.
    int piecesX = 0;
    int piecesY = 0;
    // The function that recalibrated prediction M, when one did.
    std::optional<RecalibratingFunction> last;
};

// Recalibrates the raw predictions u(1..M) (their Cdf at the observed times) and f(1..M)
// (their Pdf there); element 0 of u and f is unused and M = u.size() - 1 = f.size() - 1.
// Prediction k is recalibrated from u(1..k - 1) when k > offset and the u-plot holds at
// least kMinUPlotPoints points: x(s) and y(s) are fitted to the u-plot with NewAdap, each
// from the piece count the previous fit of that curve reached (the method's ni at first),
// and G* is y(x^-1). Reports progress over 1..M and stops after the
// index at which it finds a cancel request.
SplineRecalibration CubSpl(const std::vector<double>& u, const std::vector<double>& f,
                           const SplineSettings& settings, const RunControl& control);

}  // namespace tamsel
