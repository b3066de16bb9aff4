// "Time to next failure predictions": the U-value and density of a proposed time to the next
// failure under the current set's last fit, recalibrated for a recalibrated set. Nothing is
// stored.
#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;

namespace tamsel {

class SelectionController;

class NextFailureDialog : public QDialog {
    Q_OBJECT

  public:
    // controller must outlive the dialog; its current selection is read at each Submit.
    explicit NextFailureDialog(SelectionController& controller, QWidget* parent = nullptr);

    // Submit: evaluates the time in Text1 and shows it with its U-value and density. Text
    // that is not a number and a refused evaluation (after its message) leave the shown
    // results as they were.
    void Submit();

    // The time, U-value and density shown (Label7_3 to Label7_5).
    QLabel* ValueLabel(int index) const { return m_values.at(index); }

  private:
    SelectionController& m_controller;
    QLineEdit* m_time;
    std::array<QLabel*, 3> m_values{};
};

}  // namespace tamsel
