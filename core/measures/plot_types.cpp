#include "tamsel/measures/plot_types.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace tamsel {
namespace {

// Nearest whole number, halves to the even neighbour, whatever the rounding mode.
double RoundHalfEven(double value) {
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction < 0.5) return below;
    if (fraction > 0.5) return below + 1.0;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

std::optional<double> ParseNumber(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const auto last = text.find_last_not_of(" \t");
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+') ++begin;
    double value = 0.0;
    auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

PlotType YPlotType(int plotLag) {
    return plotLag >= kMixedPlotLag ? PlotType::MixedYPlots : PlotType::RawYPlots;
}

PlotType UPlotType(int plotLag) {
    return plotLag >= kMixedPlotLag ? PlotType::MixedUPlots : PlotType::RawUPlots;
}

bool IsMixedPlot(PlotType type) {
    return type == PlotType::MixedYPlots || type == PlotType::MixedUPlots;
}

std::optional<PlotStartBounds> PlotStartBoundsOf(PlotType kind, int rangeStart, int dataNumber,
                                                 bool currentIsRecalibrated) {
    if (kind != PlotType::RawYPlots && kind != PlotType::RawUPlots && kind != PlotType::LogPlr) {
        return std::nullopt;
    }
    PlotStartBounds bounds;
    bounds.mixedFrom = rangeStart + kMixedPlotLag;
    const bool rawStartAllowed = kind != PlotType::LogPlr && !currentIsRecalibrated;
    bounds.smallest = rawStartAllowed ? rangeStart : bounds.mixedFrom;
    bounds.largest = dataNumber - 1;
    // std::clamp needs smallest <= largest; crossed bounds offer no start to propose.
    if (bounds.smallest <= bounds.largest) {
        bounds.proposed = std::clamp(bounds.mixedFrom, bounds.smallest, bounds.largest);
    }
    return bounds;
}

int ClampRangeEntry(const std::string& text, int current, int smallest, int largest) {
    const std::optional<double> number = ParseNumber(text);
    if (!number) return current;
    const double whole = RoundHalfEven(*number);
    if (whole < smallest) return smallest;
    if (whole > largest) return largest;
    return static_cast<int>(whole);
}

}  // namespace tamsel
