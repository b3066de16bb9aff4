// "Create a dataset": names a dataset, picks its data file, previews how the file reads with
// the chosen options, says how the numbers are to be read and stores it; then offers to make
// it the current dataset. The import runs on a
// worker thread, so that a large file leaves the window responsive.
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tamsel {

class BackgroundRun;
class Database;
class Desktop;
class ImportPreview;
class SelectionController;

class AddDataDialog : public QDialog {
    Q_OBJECT

  public:
    AddDataDialog(Database& db, SelectionController& controller, Desktop& desktop,
                  QWidget* parent = nullptr);
    ~AddDataDialog() override;

    bool IsRunning() const;

  signals:
    // An import has ended, stored or refused.
    void importFinished();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void BrowseDataFile();
    void Ok();
    void ImportEnded();
    void AskToSelectNewDataSet(const std::string& name);
    void SetBusy(bool busy);
    void EnableOk();

    Database& m_db;
    SelectionController& m_controller;
    Desktop& m_desktop;
    BackgroundRun* m_run;
    QLineEdit* m_name;
    QLabel* m_fileName;
    QPushButton* m_browse;
    ImportPreview* m_preview;
    QComboBox* m_type;
    QPlainTextEdit* m_source;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QProgressBar* m_busy;
    std::optional<std::string> m_addedName;
};

}  // namespace tamsel
