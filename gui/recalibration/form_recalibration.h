// "Recalibrate an estimates set": the estimates sets of the current dataset and the
// recalibration methods in two grids; OK and Apply recalibrate the chosen set with the
// chosen method on a worker thread, with progress and "Cancel processing".
#pragma once

#include <QDialog>
#include <string>

class QProgressBar;
class QPushButton;
class QTableView;

namespace tamsel {

class BackgroundRun;
class Database;
class RowSetModel;

class FormRecalibration : public QDialog {
    Q_OBJECT

  public:
    // db must outlive the dialog.
    FormRecalibration(Database& db, const std::string& dataSetName, QWidget* parent = nullptr);

    // Shows the dialog modally, or only the message when the dataset has no estimates set.
    void ShowRecalibration();

    // OK (close afterwards) and Apply: recalibrates the chosen pair unless it is stored
    // already ("This recalibration is already available for the current dataset").
    void ApplyRecalibration(bool close);
    bool IsRunning() const;

    QTableView* EstimatesGrid() const { return m_estimates; }
    QTableView* MethodsGrid() const { return m_methods; }

  signals:
    void runFinished();

  public slots:
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void StartProgress(int minimum, int maximum);
    void EndProgress();
    void RunEnded();
    void SetButtonsEnabled(bool enabled);
    int SelectedKey(QTableView* grid) const;

    Database& m_db;
    std::string m_dataSetName;
    QTableView* m_estimates;
    QTableView* m_methods;
    RowSetModel* m_estimatesModel;
    RowSetModel* m_methodsModel;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QPushButton* m_apply;
    QPushButton* m_cancelProcessing;
    QProgressBar* m_progress;
    BackgroundRun* m_run;
    bool m_closeAfterRun = false;
    bool m_closeRequested = false;
};

}  // namespace tamsel
