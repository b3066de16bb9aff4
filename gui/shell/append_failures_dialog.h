// Data > Append Failures: the failures of a data file added to the current dataset, whose sets
// are extended on a worker thread with the model dialog's progress row.
#pragma once

#include <string>

#include "shell/run_dialog.h"
#include "tamsel/workbench/append.h"

class QLabel;
class QPushButton;

namespace tamsel {

class Desktop;
class ImportPreview;

class AppendFailuresDialog : public RunDialog {
    Q_OBJECT

  public:
    AppendFailuresDialog(Database& db, const std::string& dataSetName, Desktop& desktop,
                         QWidget* parent = nullptr);

    // What the last run stored, in words; empty before a run stored anything.
    QString Summary() const;
    // Whether a run stored the failures.
    bool Stored() const { return m_stored; }

  private:
    void ApplyChoice(bool close) override;
    void BrowseDataFile();
    void ShowResult();

    Database& m_db;
    std::string m_dataSetName;
    Desktop& m_desktop;
    QLabel* m_fileName;
    QPushButton* m_browse;
    ImportPreview* m_preview;
    QLabel* m_summary;
    ExtendResult m_result;  // written by the worker, read once the run has ended
    bool m_stored = false;
};

}  // namespace tamsel
