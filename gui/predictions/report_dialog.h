// File > Export Report...: the evidence report of the current dataset as an HTML or PDF file,
// with the mission and target its forecasts answer. The report's content is gathered on a
// worker thread, so the window stays responsive; the file is drawn here.
#pragma once

#include <QDialog>
#include <QFutureWatcher>
#include <optional>
#include <string>

#include "tamsel/workbench/report.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tamsel {

class Desktop;

class ReportDialog : public QDialog {
    Q_OBJECT

  public:
    // dbFileName is the open project's location (a shared project's password included), read
    // on a connection of the dialog's own.
    ReportDialog(Desktop& desktop, std::string dbFileName, std::string dataName,
                 QWidget* parent = nullptr);
    ~ReportDialog() override;

    // The report as last written, or why not; empty until then.
    QString Status() const;

  signals:
    // The export that Export started has ended, written or not.
    void finished();

  private:
    // Asks for the file, then gathers and writes the report.
    void Export();
    void Write();

    Desktop& m_desktop;
    std::string m_dbFileName;
    std::string m_dataName;
    QLineEdit* m_mission;
    QComboBox* m_targetKind;
    QLineEdit* m_target;
    QPushButton* m_export;
    QLabel* m_status;
    QString m_fileName;
    QFutureWatcher<std::optional<Report>> m_watcher;
};

}  // namespace tamsel
