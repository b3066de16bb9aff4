// "Edit plot range": asks for one whole number, a plot start or an x axis minimum, within
// bounds. Text1 holds the number, UpDown1 steps it, Label1 explains, Label2 names it.
#pragma once

#include <QDialog>
#include <optional>

#include "tamsel/workbench/plots.h"

class QLabel;
class QLineEdit;
class QScrollBar;

namespace tamsel {

class PlotRangeDialog : public QDialog {
    Q_OBJECT

  public:
    explicit PlotRangeDialog(QWidget* parent = nullptr);

    // The plot start before a y-, u- or log(PLR) plot of kind, proposing bounds.proposed.
    // On OK a number is clamped into [smallest, largest]; text that is not a number keeps
    // the proposal. Nothing after Cancel.
    std::optional<int> NewRange(const PlotStartBounds& bounds, bool currentIsRecalibrated,
                                PlotType kind);
    // The x axis minimum of an open plot, starting from value, by the same rules.
    std::optional<int> UpdateRange(int value, int smallest, int largest);

  private:
    std::optional<int> Ask(int value, int smallest, int largest);

    QLineEdit* m_text;
    QScrollBar* m_upDown;
    QLabel* m_explanation;
    QLabel* m_caption;
};

}  // namespace tamsel
