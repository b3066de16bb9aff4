#include "tamsel/recalibration/cub_spl.h"

#include <algorithm>
#include <cmath>

#include "tamsel/recalibration/spline_curve.h"
#include "tamsel/recalibration/spline_fit.h"

namespace tamsel {

UPlot::UPlot() : m_abscissae{0.0, 1.0}, m_counts{0, 1} {}

void UPlot::Add(double u) {
    if (!(u > 0.0)) {
        u = 0.0;
    } else if (u > 1.0) {
        u = 1.0;
    }
    const auto at = std::lower_bound(m_abscissae.begin(), m_abscissae.end(), u);
    const auto position = static_cast<std::size_t>(at - m_abscissae.begin());
    if (position > 0 && u - m_abscissae[position - 1] < kSameAbscissa) {
        ++m_counts[position - 1];
    } else if (m_abscissae[position] - u < kSameAbscissa) {
        ++m_counts[position];
    } else {
        m_abscissae.insert(at, u);
        m_counts.insert(m_counts.begin() + static_cast<std::ptrdiff_t>(position), 1);
    }
}

std::vector<double> UPlot::Ordinates(int total) const {
    std::vector<double> y(m_counts.size());
    int running = 0;
    for (std::size_t j = 0; j < m_counts.size(); ++j) {
        running += m_counts[j];
        y[j] = static_cast<double>(running) / total;
    }
    return y;
}

std::vector<double> ChordLengths(const std::vector<double>& x, const std::vector<double>& y) {
    std::vector<double> s(x.size());
    for (std::size_t j = 0; j < x.size(); ++j) {
        s[j] = j == 0 ? std::hypot(x[0], y[0])
                      : s[j - 1] + std::hypot(x[j] - x[j - 1], y[j] - y[j - 1]);
    }
    const double total = s.back();
    for (double& length : s) length /= total;
    return s;
}

double RecalibratingFunction::Cdf(double u) const {
    return std::clamp(EvaluateSpline(y, InvertSpline(x, u).s), 0.0, 1.0);
}

double RecalibratingFunction::Pdf(double u, double f) const {
    // G*'(u) = y'(s) / x'(s).
    const SplineInverse at = InvertSpline(x, u);
    return EvaluateSpline(y, at.s, 1) * f / EvaluateSplinePiece(x, at.s, at.piece, 1);
}

double RecalibratingFunction::Level(double p) const {
    return EvaluateSpline(x, InvertSpline(y, p).s);
}

SplineRecalibration CubSpl(const std::vector<double>& u, const std::vector<double>& f,
                           const SplineSettings& settings, const RunControl& control) {
    const int m = static_cast<int>(std::min(u.size(), f.size())) - 1;
    SplineRecalibration result;
    for (std::vector<double>* output :
         {&result.recalCdf, &result.recalPdf, &result.level25, &result.level50, &result.level75}) {
        output->assign(static_cast<std::size_t>(std::max(m, 0)) + 1, 0.0);
    }
    result.piecesX = settings.ni;
    result.piecesY = settings.ni;
    control.ResetProgress(1, m);

    UPlot plot;
    for (int k = 1; k <= m; ++k) {
        if (k > 1) plot.Add(u[k - 1]);
        if (k > settings.offset && plot.Size() >= kMinUPlotPoints) {
            const std::vector<double>& x = plot.Abscissae();
            const std::vector<double> y = plot.Ordinates(k);
            const std::vector<double> s = ChordLengths(x, y);
            const std::vector<double> weights(s.size(), 1.0);
            const AdaptiveFit fitX =
                NewAdap(s, x, weights, result.piecesX, settings.sqMax, settings.iter);
            const AdaptiveFit fitY =
                NewAdap(s, y, weights, result.piecesY, settings.sqMax, settings.iter);
            result.piecesX = fitX.curve.Pieces();
            result.piecesY = fitY.curve.Pieces();
            result.status = fitY.status == FitStatus::Succeeded ? SplineStatus::Succeeded
                                                                : SplineStatus::FitFailed;
            RecalibratingFunction g{fitX.curve, fitY.curve};
            result.recalCdf[k] = g.Cdf(u[k]);
            result.recalPdf[k] = g.Pdf(u[k], f[k]);
            result.level25[k] = g.Level(0.25);
            result.level50[k] = g.Level(0.5);
            result.level75[k] = g.Level(0.75);
            if (k == m) result.last = std::move(g);
        }
        control.StepProgress(k);
        if (control.CancelRequested()) {
            result.status = SplineStatus::Cancelled;
            break;
        }
    }
    control.EndProgress();
    return result;
}

}  // namespace tamsel
