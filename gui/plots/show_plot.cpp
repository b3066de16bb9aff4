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
std::optional<Plot> BuildPlot(MainWindow& main, PlotType kind) {
    Database& db = *main.Controller().OpenedDatabase();
    const CurrentSelection& selection = main.Controller().Selection();
    PlotChoices choose;
    choose.start = [&](const PlotStartBounds& bounds) {
        PlotRangeDialog dialog(&main);
        return dialog.NewRange(bounds, selection.recalibrated, kind);
    };
    choose.reference = [&] {
        SelectAnyPredictionsDialog dialog(db, &main);
        return dialog.ChooseReference(ReferencePrompt::First, selection.estimatesSetId);
    };
    return tamsel::BuildPlot(db, kind, selection, choose);
}

}  // namespace

PlotWindow* ShowPlot(MainWindow& main, PlotType kind) {
    if (!main.Controller().OpenedDatabase()) return nullptr;
    std::optional<Plot> plot = BuildPlot(main, kind);
    if (!plot) return nullptr;
    auto* window = new PlotWindow(*main.Controller().OpenedDatabase());
    window->PrepareControls(plot->state.plotType);
    window->ShowPlot(std::move(*plot));
    main.AddChildWindow(window);
    return window;
}

}  // namespace tamsel
