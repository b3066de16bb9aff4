#include "shell/append_failures_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/desktop.h"
#include "shell/import_preview.h"
#include "shell/qt_text.h"

namespace tamsel {

AppendFailuresDialog::AppendFailuresDialog(Database& db, const std::string& dataSetName,
                                           Desktop& desktop, QWidget* parent)
    : RunDialog(parent),
      m_db(db),
      m_dataSetName(dataSetName),
      m_desktop(desktop),
      m_fileName(new QLabel(this)),
      m_browse(new QPushButton(QStringLiteral("..."), this)),
      m_preview(new ImportPreview(this)),
      m_summary(new QLabel(this)) {
    setObjectName(QStringLiteral("frmAppendFailures"));
    setWindowTitle(QStringLiteral("Append failures to dataset ") + ToQString(dataSetName));

    auto* fileLabel = new QLabel(QStringLiteral("Select a file of the failures that followed:"));
    m_fileName->setObjectName(QStringLiteral("InputFileLabel"));
    m_fileName->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_fileName->setMinimumWidth(360);
    m_browse->setObjectName(QStringLiteral("cmdBrowse"));
    m_browse->setToolTip(QStringLiteral("Choose the data file"));
    connect(m_browse, &QPushButton::clicked, this, &AppendFailuresDialog::BrowseDataFile);
    auto* note = new QLabel(
        QStringLiteral("The values are read as the dataset's own type: interfailure times continue "
                       "its cumulative time, cumulative times and date-times must not fall below "
                       "its last failure. Every set whose range runs to the last failure is "
                       "extended, and its recalibrations computed again."));
    note->setWordWrap(true);
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_summary->setWordWrap(true);

    auto* file = new QGridLayout;
    file->addWidget(fileLabel, 0, 0, 1, 2);
    file->addWidget(m_fileName, 1, 0);
    file->addWidget(m_browse, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(file);
    layout->addWidget(m_preview, 1);
    layout->addWidget(note);
    layout->addWidget(m_summary);
    AddRunControls(layout);
    KeepProgressRoom();
    connect(this, &RunDialog::runFinished, this, &AppendFailuresDialog::ShowResult);
    setMinimumSize(560, 420);
}

QString AppendFailuresDialog::Summary() const { return m_summary->text(); }

void AppendFailuresDialog::BrowseDataFile() {
    const QString fileName = m_desktop.AskFileName(this, FileQuestion::DataFile);
    if (fileName.isEmpty()) return;
    m_fileName->setText(fileName);
    m_preview->SetFile(fileName);
}

void AppendFailuresDialog::ApplyChoice(bool close) {
    if (m_fileName->text().isEmpty()) {
        ShowMessage(JoinLines({"No input data file selected.", "Please select data file."}));
        return;
    }
    const AppendRequest request{m_dataSetName, ToStdString(m_fileName->text()),
                                DataTypeChoice::Automatic, m_preview->Options()};
    StartRun(close, [this, request](const RunControl& control) {
        m_result = AppendFailures(
            m_db, request, control, kHardwareThreads,
            [this](std::string_view model, int number, int count) {
                SetProgressFormat(QStringLiteral("%1, set %2 of %3: failure %v of %m")
                                      .arg(ToQString(std::string(model)))
                                      .arg(number)
                                      .arg(count));
            });
        return m_result.outcome != ExtendResult::Outcome::Refused;
    });
}

void AppendFailuresDialog::ShowResult() {
    if (m_result.outcome != ExtendResult::Outcome::Stored) return;
    m_stored = true;
    m_summary->setText(QStringLiteral("Appended %1 failures: the dataset holds %2. Extended %3 "
                                      "sets and refitted %4 recalibrations.")
                           .arg(m_result.failuresAdded)
                           .arg(m_result.failureCount)
                           .arg(m_result.extendedSets.size())
                           .arg(m_result.recalibrationsRefitted));
}

}  // namespace tamsel
