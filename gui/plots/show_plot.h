// The Plot menu: asks for what a plot kind needs (the log(PLR) reference, the plot start),
// runs the kind's builder on the current selection and opens a plot window with the result.
#pragma once

namespace tamsel {

class PlotWindow;
class MainWindow;

// menuIndex is a Plot menu index (0, 3, 10, 13, 20, 23, 30). Returns the new window, or null
// when the user cancelled or the builder refused (after its message).
PlotWindow* ShowPlot(MainWindow& main, int menuIndex);

}  // namespace tamsel
