// Chart export: image files, the clipboard and the printer.
#pragma once

#include <QSize>
#include <QString>

class QWidget;

namespace tamsel {

class ChartView;

// Writes the chart to fileName in the format its suffix names: .jpg/.jpeg (quality 100),
// .png, .svg or .pdf. size gives the image size; an empty size keeps the view's own. False
// when the suffix is none of these or the file cannot be written.
bool SaveChartImage(ChartView& view, const QString& fileName, QSize size = {});

// Puts the chart on the clipboard as an image.
void CopyChartToClipboard(ChartView& view);

// Asks for a printer through the print dialog and prints the chart scaled to the page,
// in landscape; false when the user cancels.
bool PrintChart(ChartView& view, QWidget* parent);

}  // namespace tamsel
