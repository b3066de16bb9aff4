#include "shell/frm_model_options.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "shell/background_run.h"
#include "shell/qt_text.h"
#include "shell/row_set_model.h"
#include "tamsel/models/model_driver.h"
#include "tamsel/models/model_table.h"
#include "tamsel/store/queries.h"
#include "tamsel/support/messages.h"

namespace tamsel {
namespace {

// The dialog applies the reference content's default range and inference method.
constexpr int kDefaultRangeId = 1;
constexpr int kDefaultInferenceMethodId = 1;

struct Tab {
    const char* caption;
    const char* key;
    const char* toolTip;
    const char* frame;
};
constexpr Tab kTabs[] = {
    {"Model", "Group1", "Set model", "Model options"},
    {"(Range)", "Group2", "Not yet available", "Range options"},
    {"(Inference)", "Group3", "Not yet available", "Inference method"},
    {"(Parameters)", "Group4", "Not yet available", "Parameter settings"},
};

}  // namespace

frmModelOptions::frmModelOptions(Database& db, const std::string& dataSetName, QWidget* parent)
    : QDialog(parent),
      m_db(db),
      m_dataSetName(dataSetName),
      m_run(new BackgroundRun(this)),
      m_tabs(new QTabWidget(this)),
      m_options(new QButtonGroup(this)) {
    setObjectName(QStringLiteral("frmModelOptions"));
    setWindowTitle(QStringLiteral("Select and apply model to dataset ") + ToQString(dataSetName));

    m_tabs->setObjectName(QStringLiteral("tbsOptions"));
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QWidget;
        panel->setObjectName(QStringLiteral("picOptions_%1").arg(i));
        auto* frame = new QGroupBox(QString::fromLatin1(kTabs[i].frame), panel);
        frame->setObjectName(QStringLiteral("fraSample%1").arg(i + 1));
        auto* panelLayout = new QVBoxLayout(panel);
        panelLayout->addWidget(frame);
        m_tabs->addTab(panel, QString::fromLatin1(kTabs[i].caption));
        m_tabs->setTabToolTip(i, QString::fromLatin1(kTabs[i].toolTip));
        m_tabs->tabBar()->setTabData(i, QString::fromLatin1(kTabs[i].key));
        if (i == 0) {
            auto* grid = new QGridLayout(frame);
            grid->setVerticalSpacing(10);
            grid->setHorizontalSpacing(24);
            int index = 0;
            for (const ModelInfo& model : ModelTable()) {
                auto* option = new QRadioButton(ToQString(std::string(model.name)), frame);
                option->setObjectName(QStringLiteral("Option1_%1").arg(index));
                m_options->addButton(option, index);
                grid->addWidget(option, index % 4, index / 4);
                ++index;
            }
        }
    }
    // Panels out of view are disabled as well as hidden.
    for (int i = 1; i < m_tabs->count(); ++i) m_tabs->widget(i)->setEnabled(false);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int current) {
        for (int i = 0; i < m_tabs->count(); ++i) m_tabs->widget(i)->setEnabled(i == current);
    });
    auto* nextTab = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
    connect(nextTab, &QShortcut::activated, this, &frmModelOptions::NextTab);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_apply = new QPushButton(QStringLiteral("Apply"), this);
    m_apply->setObjectName(QStringLiteral("cmdApply"));
    connect(m_ok, &QPushButton::clicked, this, [this] { ApplySelectedModel(true); });
    connect(m_apply, &QPushButton::clicked, this, [this] { ApplySelectedModel(false); });
    connect(m_cancel, &QPushButton::clicked, this, &frmModelOptions::reject);

    auto* progressFrame = new QFrame(this);
    progressFrame->setObjectName(QStringLiteral("Frame1"));
    m_progress = new QProgressBar(progressFrame);
    m_progress->setObjectName(QStringLiteral("prgProcessModel"));
    m_progress->setFormat(QStringLiteral("Failure %v of %m"));
    m_cancelProcessing = new QPushButton(QStringLiteral("Cancel processing"), progressFrame);
    m_cancelProcessing->setObjectName(QStringLiteral("prgCancel"));
    connect(m_cancelProcessing, &QPushButton::clicked, this, &frmModelOptions::CancelProcessing);
    for (QWidget* widget :
         {static_cast<QWidget*>(m_progress), static_cast<QWidget*>(m_cancelProcessing)}) {
        QSizePolicy policy = widget->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        widget->setSizePolicy(policy);
        widget->hide();
    }
    auto* progressLayout = new QHBoxLayout(progressFrame);
    progressLayout->setContentsMargins(0, 0, 0, 0);
    progressLayout->addWidget(m_progress, 1);
    progressLayout->addWidget(m_cancelProcessing);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_apply);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(progressFrame);
    layout->addLayout(buttons);
    setMinimumSize(520, 320);

    connect(m_run, &BackgroundRun::progressStarted, this, &frmModelOptions::StartProgress);
    connect(m_run, &BackgroundRun::progressStepped, m_progress, &QProgressBar::setValue);
    connect(m_run, &BackgroundRun::progressEnded, this, &frmModelOptions::EndProgress);
    connect(m_run, &BackgroundRun::finished, this, &frmModelOptions::RunEnded);
}

frmModelOptions::~frmModelOptions() = default;

int frmModelOptions::GetSelectedModel() const {
    const int index = m_options->checkedId();
    if (index < 0) {
        ShowMessage("You must select an option or press cancel");
        return 0;
    }
    return index + 1;
}

bool frmModelOptions::IsRunning() const { return m_run->IsRunning(); }

void frmModelOptions::ApplySelectedModel(bool close) {
    if (m_run->IsRunning()) return;
    const int model = GetSelectedModel();
    if (model == 0) return;
    const std::optional<std::string> key =
        SelectValue(m_db, "DataSetID", "DataName", m_dataSetName, "DataSets");
    if (!key) return;
    const int dataSetId = ToInt(DbValue(*key));
    if (FindEstimatesSet(m_db, dataSetId, model, kDefaultRangeId, kDefaultInferenceMethodId) != 0) {
        ShowMessage("The selected model is already available for the current data set");
        return;
    }
    m_closeAfterRun = close;
    SetButtonsEnabled(false);
    Database& db = m_db;
    m_run->Start([&db, dataSetId, model](const RunControl& control) {
        ApplyModel(db, dataSetId, model, kDefaultRangeId, kDefaultInferenceMethodId, control);
    });
}

void frmModelOptions::StartProgress(int minimum, int maximum) {
    // The run clears the cancel flag as it starts: a close that came before must count.
    if (m_closeRequested) m_run->RequestCancel();
    m_progress->setRange(minimum, maximum);
    m_progress->setValue(minimum);
    m_progress->show();
    m_cancelProcessing->show();
    SetButtonsEnabled(false);
}

void frmModelOptions::EndProgress() {
    m_progress->hide();
    m_cancelProcessing->hide();
    SetButtonsEnabled(!m_run->IsRunning());
}

void frmModelOptions::CancelProcessing() {
    m_run->RequestCancel();
    EndProgress();
}

void frmModelOptions::RunEnded() {
    EndProgress();
    SetButtonsEnabled(true);
    emit runFinished();
    if (m_closeRequested) {
        QDialog::reject();
    } else if (m_closeAfterRun) {
        accept();
    }
}

void frmModelOptions::NextTab() { m_tabs->setCurrentIndex((m_tabs->currentIndex() + 1) % 4); }

void frmModelOptions::SetButtonsEnabled(bool enabled) {
    for (QPushButton* button : {m_ok, m_cancel, m_apply}) button->setEnabled(enabled);
}

void frmModelOptions::reject() {
    if (m_run->IsRunning()) {
        // Closing stops the run; the dialog goes once the run has ended.
        m_closeRequested = true;
        m_run->RequestCancel();
        return;
    }
    QDialog::reject();
}

void frmModelOptions::closeEvent(QCloseEvent* event) {
    if (m_run->IsRunning()) {
        reject();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmModelOptions::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

}  // namespace tamsel
