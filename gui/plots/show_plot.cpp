#include "plots/show_plot.h"

#include <optional>

#include "plots/form_plot1.h"
#include "plots/form_range.h"
#include "shell/form_select_model.h"
#include "shell/mdi_tamsel.h"

namespace tamsel {

namespace {

// The plot start of a y-, u- or log(PLR) plot, or nullopt when there is none to offer or
// the user cancels.
std::optional<int> AskPlotStart(MDITamsel& main, PlotType kind, int menuIndex) {
    const CurrentSelection& selection = main.Controller().Selection();
    const std::optional<PlotStartBounds> bounds =
        PlotStartRange(kind, selection.rangeStart, selection.setSize, selection.recalibrated);
    if (!bounds) return std::nullopt;
    int start = bounds->proposed;
    FormRange dialog(&main);
    if (!dialog.NewRange(start, bounds->smallest, bounds->largest, selection.recalibrated,
                         menuIndex)) {
        return std::nullopt;
    }
    return start;
}

std::optional<Plot> BuildPlot(MDITamsel& main, PlotType kind, int menuIndex) {
    Database& db = *main.Controller().OpenedDatabase();
    const CurrentSelection& selection = main.Controller().Selection();
    switch (kind) {
        case PlotType::FailureTimes:
            return PlotFailureTimes(db, selection);
        case PlotType::CumulativeFailures:
            return PlotCumulativeFailures(db, selection);
        case PlotType::Quartiles:
            return PlotQuartilesAndMttf(db, selection);
        case PlotType::RawMedians:
            return PlotMedians(db, selection);
        case PlotType::RawYPlots:
        case PlotType::RawUPlots: {
            const std::optional<int> start = AskPlotStart(main, kind, menuIndex);
            if (!start) return std::nullopt;
            return kind == PlotType::RawYPlots ? PlotYPlots(db, selection, *start)
                                               : PlotUPlots(db, selection, *start);
        }
        case PlotType::LogPlr: {
            // Checked first, so that nobody picks a reference for a plot that cannot start.
            if (!PlotStartRange(kind, selection.rangeStart, selection.setSize,
                                selection.recalibrated)) {
                return std::nullopt;
            }
            FormSelectAnyPredictions dialog(db, &main);
            const FormSelectAnyPredictions::Choice reference =
                dialog.GetIDAndRecFlag(0, selection.estimatesSetId);
            if (reference.id == 0) return std::nullopt;
            const std::optional<int> start = AskPlotStart(main, kind, menuIndex);
            if (!start) return std::nullopt;
            return PlotLogPlr(db, selection, {reference.id, reference.recalibrated}, *start);
        }
        default:
            return std::nullopt;
    }
}

}  // namespace

FormPlot1* ShowPlot(MDITamsel& main, int menuIndex) {
    const std::optional<PlotType> kind = PlotTypeOfMenuIndex(menuIndex);
    if (!kind || !main.Controller().OpenedDatabase()) return nullptr;
    std::optional<Plot> plot = BuildPlot(main, *kind, menuIndex);
    if (!plot) return nullptr;
    auto* window = new FormPlot1(*main.Controller().OpenedDatabase());
    window->PrepareControls(plot->state.plotType);
    window->ShowPlot(std::move(*plot));
    main.AddChildWindow(window);
    return window;
}

}  // namespace tamsel
