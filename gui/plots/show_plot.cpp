#include "plots/show_plot.h"

#include <optional>

#include "plots/plot_range_dialog.h"
#include "plots/plot_window.h"
#include "shell/main_window.h"
#include "shell/select_model_dialog.h"

namespace tamsel {

namespace {

// The plot of kind for the current selection, asking the user for the log(PLR) reference
// and the plot start.
std::optional<Plot> BuildPlot(MainWindow& main, PlotType kind, int menuIndex) {
    Database& db = *main.Controller().OpenedDatabase();
    const CurrentSelection& selection = main.Controller().Selection();
    PlotChoices choose;
    choose.start = [&](const PlotStartBounds& bounds) -> std::optional<int> {
        int start = bounds.proposed;
        PlotRangeDialog dialog(&main);
        if (!dialog.NewRange(start, bounds.smallest, bounds.largest, selection.recalibrated,
                             menuIndex)) {
            return std::nullopt;
        }
        return start;
    };
    choose.reference = [&]() -> std::optional<PredictionSetRef> {
        SelectAnyPredictionsDialog dialog(db, &main);
        const SelectAnyPredictionsDialog::Choice reference =
            dialog.GetIDAndRecFlag(0, selection.estimatesSetId);
        if (reference.id == 0) return std::nullopt;
        return PredictionSetRef{reference.id, reference.recalibrated};
    };
    return tamsel::BuildPlot(db, kind, selection, choose);
}

}  // namespace

PlotWindow* ShowPlot(MainWindow& main, int menuIndex) {
    const std::optional<PlotType> kind = PlotTypeOfMenuIndex(menuIndex);
    if (!kind || !main.Controller().OpenedDatabase()) return nullptr;
    std::optional<Plot> plot = BuildPlot(main, *kind, menuIndex);
    if (!plot) return nullptr;
    auto* window = new PlotWindow(*main.Controller().OpenedDatabase());
    window->PrepareControls(plot->state.plotType);
    window->ShowPlot(std::move(*plot));
    main.AddChildWindow(window);
    return window;
}

}  // namespace tamsel
