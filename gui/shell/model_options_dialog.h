// "Select and apply model to dataset ...": applies one of the eight models to the current
// dataset over the default range (RangeID 1) with the default inference method (1). The run
// goes on a worker thread; the progress bar moves one step per failure index, and "Cancel
// processing" or closing the dialog stops it with nothing stored.
#pragma once

#include <optional>
#include <string>

#include "shell/run_dialog.h"

class QButtonGroup;
class QLabel;
class QTabWidget;

namespace tamsel {

class Database;

class ModelOptionsDialog : public RunDialog {
    Q_OBJECT

  public:
    ModelOptionsDialog(Database& db, const std::string& dataSetName, QWidget* parent = nullptr);

    // The model number (1..8) of the chosen option; nothing, after a message, when none is
    // chosen.
    std::optional<int> SelectedModel() const;
    // How the fits of the set the last run stored ended ("Jelinski-Moranda: 117 fits: 117
    // converged"); empty when no run stored one.
    QString FitSummary() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // Applies the chosen model unless its estimates set is stored already.
    void ApplyChoice(bool close) override;
    void NextTab();

    Database& m_db;
    std::string m_dataSetName;
    QTabWidget* m_tabs;
    QButtonGroup* m_options;
    QLabel* m_summary;
    // Written by the run's worker, read once the run has ended.
    std::string m_runSummary;
};

}  // namespace tamsel
