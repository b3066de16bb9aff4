// "Edit plot range": asks for one whole number, a plot start or an x axis minimum, within
// bounds. Text1 holds the number, UpDown1 steps it, Label1 explains, Label2 names it.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QScrollBar;

namespace tamsel {

class PlotRangeDialog : public QDialog {
    Q_OBJECT

  public:
    explicit PlotRangeDialog(QWidget* parent = nullptr);

    // The plot start before a y-, u- or log(PLR) plot of plotKind (a Plot menu index). On
    // OK a number is clamped into [smallest, largest] and written to start; text that is
    // not a number leaves start alone. False after Cancel, with start unchanged.
    bool NewRange(int& start, int smallest, int largest, bool currentIsRecalibrated, int plotKind);
    // The x axis minimum of an open plot, by the same rules.
    bool UpdateRange(int& value, int smallest, int largest);

  private:
    bool Ask(int& value, int smallest, int largest);

    QLineEdit* m_text;
    QScrollBar* m_upDown;
    QLabel* m_explanation;
    QLabel* m_caption;
};

}  // namespace tamsel
