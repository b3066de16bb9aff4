// "Select and apply model to dataset ...": applies one or more of the eight models to the
// current dataset over the range of the Range tab (failure 20 to the last by default) with the
// default inference method (1). Models already applied over that range are shown checked off
// and disabled. The run goes on a worker thread, model after model; the progress bar names the
// model and moves one step per failure index, and "Cancel processing" or closing the dialog
// stops it, keeping the sets stored before.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "shell/run_dialog.h"

class QCheckBox;
class QLabel;
class QSpinBox;
class QTabWidget;

namespace tamsel {

class Database;

class ModelOptionsDialog : public RunDialog {
    Q_OBJECT

  public:
    ModelOptionsDialog(Database& db, const std::string& dataSetName, QWidget* parent = nullptr);

    // The model numbers (1..8) of the checked models; nothing, after a message, when none is.
    std::optional<std::vector<int>> SelectedModels() const;
    // How the fits of the sets the last run stored ended, a line a set ("Jelinski-Moranda:
    // 117 fits: 117 converged"); empty when no run stored one.
    QString FitSummary() const;
    // The keys of every estimates set this dialog stored, oldest first.
    const std::vector<int>& StoredSets() const { return m_storedSets; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // Applies the checked models over the Range tab's range.
    void ApplyChoice(bool close) override;
    void NextTab();
    // Marks and disables the models that have a set over the chosen range.
    void ShowApplied();
    // The Range tab's range as a Ranges key, made when needed; nothing after its refusal.
    std::optional<int> ChosenRange(int dataSetId, int failures) const;

    Database& m_db;
    std::string m_dataSetName;
    QTabWidget* m_tabs;
    std::vector<QCheckBox*> m_options;
    QSpinBox* m_rangeStart;
    QSpinBox* m_rangeEnd;
    QLabel* m_summary;
    // Written by the run's worker, read once the run has ended.
    std::vector<std::string> m_runSummaries;
    std::vector<int> m_runSets;
    std::vector<int> m_storedSets;
};

}  // namespace tamsel
