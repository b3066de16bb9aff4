// "Select and apply model to dataset ...": applies one of the eight models to the current
// dataset over the default range (RangeID 1) with the default inference method (1). The run
// goes on a worker thread; the progress bar moves one step per failure index, and "Cancel
// processing" or closing the dialog stops it with nothing stored.
#pragma once

#include <QDialog>
#include <array>
#include <string>

class QButtonGroup;
class QFrame;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace tamsel {

class BackgroundRun;
class Database;

class frmModelOptions : public QDialog {
    Q_OBJECT

  public:
    frmModelOptions(Database& db, const std::string& dataSetName, QWidget* parent = nullptr);
    ~frmModelOptions() override;

    // The model number (1..8) of the chosen option; 0, after a message, when none is chosen.
    int GetSelectedModel() const;
    bool IsRunning() const;

  signals:
    // A run has ended (stored, refused, failed or cancelled) and the dialog is idle again.
    void runFinished();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void showEvent(QShowEvent* event) override;

  private:
    void ApplySelectedModel(bool close);
    void StartProgress(int minimum, int maximum);
    void EndProgress();
    void CancelProcessing();
    void RunEnded();
    void NextTab();
    void SetButtonsEnabled(bool enabled);

    Database& m_db;
    std::string m_dataSetName;
    BackgroundRun* m_run;
    QTabWidget* m_tabs;
    QButtonGroup* m_options;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QPushButton* m_apply;
    QProgressBar* m_progress;
    QPushButton* m_cancelProcessing;
    bool m_closeAfterRun = false;
    bool m_closeRequested = false;
};

}  // namespace tamsel
