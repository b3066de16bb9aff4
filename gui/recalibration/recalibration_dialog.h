// "Recalibrate an estimates set": the estimates sets of the current dataset and the
// recalibration methods in two grids; OK and Apply recalibrate the chosen set with the
// chosen method on a worker thread, with progress and "Cancel processing".
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "shell/run_dialog.h"

class QTableView;

namespace tamsel {

class Database;
class RowSetModel;

class RecalibrationDialog : public RunDialog {
    Q_OBJECT

  public:
    // db must outlive the dialog.
    RecalibrationDialog(Database& db, const std::string& dataSetName, QWidget* parent = nullptr);

    // Shows the dialog modally, or only the message when the dataset has no estimates set.
    void ShowRecalibration();

    // OK (close afterwards) and Apply: recalibrates the chosen pair unless it is stored
    // already ("This recalibration is already available for the current dataset").
    void ApplyRecalibration(bool close);

    QTableView* EstimatesGrid() const { return m_estimates; }

  private:
    void ApplyChoice(bool close) override { ApplyRecalibration(close); }
    // The key of the row selected in grid, whose rows have these keys.
    static std::optional<int> SelectedKey(const QTableView* grid, const std::vector<int>& keys);

    Database& m_db;
    QTableView* m_estimates;
    QTableView* m_methods;
    RowSetModel* m_estimatesModel;
    RowSetModel* m_methodsModel;
    std::vector<int> m_estimatesKeys;
    std::vector<int> m_methodsKeys;
};

}  // namespace tamsel
