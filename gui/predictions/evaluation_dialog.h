// "Evaluate Sets": the league table of the current dataset's raw and recalibrated sets, the
// one the evaluate command prints, recomputed as the user changes the plot start, the
// reference set and the failure the information criteria are read at. Nothing is stored.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "tamsel/workbench/evaluation.h"

class QComboBox;
class QSpinBox;

namespace tamsel {

class RowSetModel;
struct CurrentSelection;

class EvaluationDialog : public QDialog {
    Q_OBJECT

  public:
    // db must outlive the dialog; evaluation is the dataset's first, with the defaults.
    EvaluationDialog(Database& db, std::string dataName, const Evaluation& evaluation,
                     QWidget* parent = nullptr);

    // Opens the dialog on the dataset current in selection, unless the evaluation is refused
    // (after its message).
    static void ShowFor(Database& db, const CurrentSelection& selection, QWidget* parent);

    const RowSetModel& Table() const { return *m_table; }

  private:
    void Update();

    Database& m_db;
    std::string m_dataName;
    std::vector<PredictionSetRef> m_references;  // in the order of the reference list
    QSpinBox* m_start;
    QComboBox* m_reference;
    QSpinBox* m_fitIndex;
    RowSetModel* m_table;
};

}  // namespace tamsel
