// The Plot menu: asks for what a plot kind needs (the log(PLR) reference, the plot start),
// runs the kind's builder on the current selection and opens a plot window with the result.
#pragma once

#include "tamsel/workbench/plots.h"

namespace tamsel {

class PlotWindow;
class MainWindow;

// kind is one of the Plot menu's kinds (the raw type for medians, y- and u-plots). Returns
// the new window, or null when the user cancelled or the builder refused (after its message).
PlotWindow* ShowPlot(MainWindow& main, PlotType kind);

}  // namespace tamsel
