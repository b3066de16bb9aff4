#include "tamsel/measures/plot_types.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

#include "tamsel/support/messages.h"

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

std::optional<PlotType> PlotTypeOfMenuIndex(int menuIndex) {
    switch (menuIndex) {
        case 0:
        case 3:
        case 10:
        case 13:
        case 20:
        case 23:
        case 30:
        case 40:
        case 43:
            return static_cast<PlotType>(menuIndex);
        default:
            ShowMessage(
                "An error occurred in the indexing of the plots, please select another plot.");
            return std::nullopt;
    }
}

PlotType YPlotType(int plotLag) {
    return plotLag >= kMixedPlotLag ? PlotType::MixedYPlots : PlotType::RawYPlots;
}

PlotType UPlotType(int plotLag) {
    return plotLag >= kMixedPlotLag ? PlotType::MixedUPlots : PlotType::RawUPlots;
}

bool IsMixedPlot(PlotType type) {
    return type == PlotType::MixedYPlots || type == PlotType::MixedUPlots;
}

std::optional<PlotStartBounds> PlotStartRange(PlotType kind, int rangeStart, int dataNumber,
                                              bool currentIsRecalibrated) {
    if (kind != PlotType::RawYPlots && kind != PlotType::RawUPlots && kind != PlotType::LogPlr) {
        return std::nullopt;
    }
    PlotStartBounds bounds;
    bounds.mixedFrom = rangeStart + kMixedPlotLag;
    const bool rawStartAllowed = kind != PlotType::LogPlr && !currentIsRecalibrated;
    bounds.smallest = rawStartAllowed ? rangeStart : bounds.mixedFrom;
    bounds.largest = dataNumber - 1;
    if (bounds.smallest > bounds.largest) {
        ShowMessage(
            "There are too few failures after the range start for this plot: its start must be "
            "at least " +
            std::to_string(bounds.smallest) + " and at most " + std::to_string(bounds.largest) +
            ".");
        return std::nullopt;
    }
    bounds.proposed = std::clamp(bounds.mixedFrom, bounds.smallest, bounds.largest);
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
