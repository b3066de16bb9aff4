#include "shell/add_data_dialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/background_run.h"
#include "shell/desktop.h"
#include "shell/import_preview.h"
#include "shell/qt_text.h"
#include "shell/selection_controller.h"
#include "tamsel/workbench/project.h"

namespace tamsel {
namespace {

// The text box's line breaks are stored as the program writes every line break.
std::string StoredText(const QString& text) {
    QString stored = text;
    stored.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    stored.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return ToStdString(stored);
}

}  // namespace

AddDataDialog::AddDataDialog(Database& db, SelectionController& controller, Desktop& desktop,
                             QWidget* parent)
    : QDialog(parent),
      m_db(db),
      m_controller(controller),
      m_desktop(desktop),
      m_run(new BackgroundRun(this)),
      m_name(new QLineEdit(this)),
      m_fileName(new QLabel(this)),
      m_browse(new QPushButton(QStringLiteral("..."), this)),
      m_preview(new ImportPreview(this)),
      m_type(new QComboBox(this)),
      m_source(new QPlainTextEdit(this)),
      m_busy(new QProgressBar(this)) {
    setObjectName(QStringLiteral("FormAddData"));
    setWindowTitle(QStringLiteral("Create a dataset"));

    auto* nameLabel = new QLabel(QStringLiteral("Enter name for dataset"), this);
    nameLabel->setObjectName(QStringLiteral("Label1"));
    nameLabel->setBuddy(m_name);
    m_name->setObjectName(QStringLiteral("TxtDataName"));

    auto* fileLabel = new QLabel(QStringLiteral("Select a data file:"), this);
    fileLabel->setObjectName(QStringLiteral("Label5"));
    m_fileName->setObjectName(QStringLiteral("InputFileLabel"));
    m_fileName->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_fileName->setMinimumWidth(360);
    m_fileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_browse->setObjectName(QStringLiteral("Command3"));
    m_browse->setToolTip(QStringLiteral("Choose the data file"));
    m_browse->setFixedWidth(m_browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 24);
    connect(m_browse, &QPushButton::clicked, this, &AddDataDialog::BrowseDataFile);

    auto* typeLabel = new QLabel(QStringLiteral("Select data type:"), this);
    typeLabel->setObjectName(QStringLiteral("Label6"));
    typeLabel->setBuddy(m_type);
    m_type->setObjectName(QStringLiteral("Combo1"));
    m_type->addItems({QStringLiteral("Automatic"), QStringLiteral("Interfailure times"),
                      QStringLiteral("Cumulative failure times")});
    m_type->setCurrentIndex(0);

    auto* sourceLabel =
        new QLabel(QStringLiteral("Add source or any other information (optional)"), this);
    sourceLabel->setObjectName(QStringLiteral("Label4"));
    sourceLabel->setBuddy(m_source);
    m_source->setObjectName(QStringLiteral("TxtSource"));
    m_source->setPlainText(QStringLiteral("Unknown source\n"));
    m_source->setTabChangesFocus(true);
    m_source->setFixedHeight(m_source->fontMetrics().lineSpacing() * 4 + 12);

    m_busy->setObjectName(QStringLiteral("prgImport"));
    m_busy->setRange(0, 0);
    m_busy->setTextVisible(false);
    QSizePolicy policy = m_busy->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_busy->setSizePolicy(policy);
    m_busy->hide();

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("Command1"));
    m_ok->setDefault(true);
    m_cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    m_cancel->setObjectName(QStringLiteral("Command2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &AddDataDialog::Ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &AddDataDialog::reject);
    connect(m_preview, &ImportPreview::changed, this, &AddDataDialog::EnableOk);
    EnableOk();

    auto* grid = new QGridLayout;
    grid->addWidget(nameLabel, 0, 0, 1, 2);
    grid->addWidget(m_name, 1, 0, 1, 2);
    grid->addWidget(fileLabel, 2, 0, 1, 2);
    grid->addWidget(m_fileName, 3, 0);
    grid->addWidget(m_browse, 3, 1);
    grid->addWidget(m_preview, 4, 0, 1, 2);
    grid->addWidget(typeLabel, 5, 0, 1, 2);
    grid->addWidget(m_type, 6, 0, 1, 2);
    grid->addWidget(sourceLabel, 7, 0, 1, 2);
    grid->addWidget(m_source, 8, 0, 1, 2);
    grid->setRowMinimumHeight(2, 28);
    grid->setRowMinimumHeight(5, 28);
    grid->setRowMinimumHeight(7, 28);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(4, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_busy, 1);
    bottom->addWidget(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(bottom);

    connect(m_run, &BackgroundRun::finished, this, &AddDataDialog::ImportEnded);
}

AddDataDialog::~AddDataDialog() = default;

bool AddDataDialog::IsRunning() const { return m_run->IsRunning(); }

void AddDataDialog::BrowseDataFile() {
    const QString fileName = m_desktop.AskFileName(this, FileQuestion::DataFile);
    if (fileName.isEmpty()) return;
    m_fileName->setText(fileName);
    m_preview->SetFile(fileName);
}

void AddDataDialog::Ok() {
    if (m_run->IsRunning()) return;
    AddDataSetRequest request;
    request.name = ToStdString(m_name->text());
    request.fileName = ToStdString(m_fileName->text());
    constexpr DataTypeChoice kChoices[] = {DataTypeChoice::Automatic, DataTypeChoice::Interfailure,
                                           DataTypeChoice::Cumulative};
    request.choice = kChoices[m_type->currentIndex()];
    request.source = StoredText(m_source->toPlainText());
    request.table = m_preview->Options();
    m_addedName.reset();
    Database& db = m_db;
    m_run->Start([this, &db, request](const RunControl&) {
        // Only the result crosses back; finished() is delivered after this has returned.
        if (std::optional<AddedDataSet> added = AddDataSetFromFile(db, request)) {
            m_addedName = added->name;
        }
    });
    SetBusy(true);
}

void AddDataDialog::ImportEnded() {
    SetBusy(false);
    emit importFinished();
    if (!m_addedName) return;  // the message has been shown; the user may correct the input
    AskToSelectNewDataSet(*m_addedName);
    accept();
}

void AddDataDialog::AskToSelectNewDataSet(const std::string& name) {
    if (Ask("Do you want the added dataset to become the current selection?", MessageButtons::YesNo,
            MessageIcon::Question) == MessageAnswer::Yes) {
        m_controller.OpenCurrentDataSet(name);
    }
}

void AddDataDialog::SetBusy(bool busy) {
    for (QWidget* widget :
         std::initializer_list<QWidget*>{m_name, m_browse, m_preview, m_type, m_source, m_cancel}) {
        widget->setEnabled(!busy);
    }
    EnableOk();
    m_busy->setVisible(busy);
    if (busy) {
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
    }
}

void AddDataDialog::EnableOk() {
    m_ok->setEnabled(!m_run->IsRunning() && m_preview->ReadsCleanly());
}

void AddDataDialog::reject() {
    // An import is short and cannot be cancelled half way: the dialog closes after it.
    if (m_run->IsRunning()) return;
    QDialog::reject();
}

void AddDataDialog::closeEvent(QCloseEvent* event) {
    if (m_run->IsRunning()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace tamsel
