// "Forecast": what the current raw or recalibrated set says at one of its failure indices,
// recomputed as the user changes the index, the mission time and the target, with R(t) drawn
// over t. Nothing is stored.
#pragma once

#include <QDialog>

#include "tamsel/workbench/forecast.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace tamsel {

class ChartView;
class RowSetModel;

class ForecastDialog : public QDialog {
    Q_OBJECT

  public:
    // db must outlive the dialog; basis is the forecast at the index first shown.
    ForecastDialog(Database& db, ForecastBasis basis, QWidget* parent = nullptr);

    // Opens the dialog on the set current in selection at its last failure index, unless the
    // forecast is refused (after its message).
    static void ShowFor(Database& db, const CurrentSelection& selection, QWidget* parent);

    const RowSetModel& Lines() const { return *m_lines; }
    const ChartView& Chart() const { return *m_chart; }
    QString Problem() const;

  private:
    void ChangeIndex(int index);
    void Update();
    // The value typed into field: nothing when empty; false when it is not a number.
    bool ReadValue(const QLineEdit* field, const QString& name, std::optional<double>& value);

    Database& m_db;
    ForecastBasis m_basis;
    QSpinBox* m_index;
    QLineEdit* m_mission;
    QComboBox* m_targetKind;
    QLineEdit* m_target;
    QLabel* m_problem;
    RowSetModel* m_lines;
    ChartView* m_chart;
};

}  // namespace tamsel
