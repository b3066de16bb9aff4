#include "report_dialog.h"

#include <QComboBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "shell/desktop.h"
#include "tamsel/charts/report_renderer.h"
#include "tamsel/version.h"
#include "tamsel/workbench/project.h"

namespace tamsel {

namespace {

// An empty field is no value; anything else is read as a number, which the query checks.
std::optional<double> FieldValue(const QLineEdit* field) {
    const QString text = field->text().trimmed();
    if (text.isEmpty()) return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : -1.0;
}

}  // namespace

ReportDialog::ReportDialog(Desktop& desktop, std::string dbFileName, std::string dataName,
                           QWidget* parent)
    : QDialog(parent),
      m_desktop(desktop),
      m_dbFileName(std::move(dbFileName)),
      m_dataName(std::move(dataName)),
      m_mission(new QLineEdit(this)),
      m_targetKind(new QComboBox(this)),
      m_target(new QLineEdit(this)),
      m_export(new QPushButton(QStringLiteral("&Export..."), this)),
      m_status(new QLabel(this)) {
    setObjectName(QStringLiteral("frmExportReport"));
    setWindowTitle(QStringLiteral("Export Report - ") + QString::fromStdString(m_dataName));
    m_mission->setObjectName(QStringLiteral("txtMission"));
    m_mission->setPlaceholderText(QStringLiteral("none"));
    m_targetKind->setObjectName(QStringLiteral("cboTarget"));
    m_targetKind->addItems(
        {QStringLiteral("No target"), QStringLiteral("Failure intensity"), QStringLiteral("MTTF")});
    m_target->setObjectName(QStringLiteral("txtTarget"));
    m_target->setEnabled(false);
    connect(m_targetKind, &QComboBox::currentIndexChanged, this,
            [this](int kind) { m_target->setEnabled(kind != 0); });
    m_export->setObjectName(QStringLiteral("cmdExport"));
    m_export->setDefault(true);
    connect(m_export, &QPushButton::clicked, this, &ReportDialog::Export);
    connect(&m_watcher, &QFutureWatcher<std::optional<Report>>::finished, this,
            &ReportDialog::Write);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Mission time:"), m_mission);
    form->addRow(QStringLiteral("Target:"), m_targetKind);
    form->addRow(QStringLiteral("Target value:"), m_target);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(m_export, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("The report covers every set of the dataset: trend, league table, "
                       "plots, forecasts of the best sets, fit outcomes and provenance."),
        this));
    layout->addLayout(form);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
}

ReportDialog::~ReportDialog() { m_watcher.waitForFinished(); }

QString ReportDialog::Status() const { return m_status->text(); }

void ReportDialog::Export() {
    ReportRequest request;
    request.dataName = m_dataName;
    request.query.mission = FieldValue(m_mission);
    const std::optional<double> target = FieldValue(m_target);
    if (m_targetKind->currentIndex() == 1) request.query.targetIntensity = target;
    if (m_targetKind->currentIndex() == 2) request.query.targetMttf = target;
    if (!CheckForecastQuery(request.query)) return;
    m_fileName = m_desktop.AskFileName(this, FileQuestion::SaveReport);
    if (m_fileName.isEmpty()) return;
    request.outName = m_fileName.toStdString();
    request.version = std::string("Tamsel ") + TAMSEL_VERSION;
    request.date = QDate::currentDate().toString(Qt::ISODate).toStdString();
    request.sha256 = Sha256Hex;
    m_export->setEnabled(false);
    m_status->setText(QStringLiteral("Gathering the report..."));
    m_watcher.setFuture(QtConcurrent::run([dbFileName = m_dbFileName, request] {
        std::unique_ptr<Database> db = OpenProject(dbFileName);
        return db ? BuildReport(*db, request) : std::nullopt;
    }));
}

void ReportDialog::Write() {
    const std::optional<Report> report = m_watcher.result();
    if (!report) {
        m_status->setText(QStringLiteral("The report was not written."));
    } else if (WriteReport(*report, m_fileName)) {
        m_status->setText(QStringLiteral("Wrote ") + m_fileName + QStringLiteral("."));
    } else {
        m_status->setText(QStringLiteral("The report could not be written to ") + m_fileName +
                          QStringLiteral("."));
    }
    m_export->setEnabled(true);
    emit finished();
}

}  // namespace tamsel
