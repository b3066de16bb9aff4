#include "shell/run_dialog.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>

#include "shell/background_run.h"
#include "shell/named_button.h"

namespace tamsel {

RunDialog::RunDialog(QWidget* parent) : QDialog(parent), m_run(new BackgroundRun(this)) {}

bool RunDialog::IsRunning() const { return m_run->IsRunning(); }

void RunDialog::AddRunControls(QBoxLayout* layout) {
    m_ok = MakeButton(QStringLiteral("OK"), QStringLiteral("cmdOK"), this);
    m_cancel = MakeButton(QStringLiteral("Cancel"), QStringLiteral("cmdCancel"), this);
    m_apply = MakeButton(QStringLiteral("Apply"), QStringLiteral("cmdApply"), this);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, [this] {
        if (!IsRunning()) ApplyChoice(true);
    });
    connect(m_apply, &QPushButton::clicked, this, [this] {
        if (!IsRunning()) ApplyChoice(false);
    });
    connect(m_cancel, &QPushButton::clicked, this, &RunDialog::reject);

    auto* progressFrame = new QFrame(this);
    progressFrame->setObjectName(QStringLiteral("Frame1"));
    m_progress = new QProgressBar(progressFrame);
    m_progress->setObjectName(QStringLiteral("prgProcessModel"));
    m_progress->setFormat(QStringLiteral("Failure %v of %m"));
    m_cancelProcessing =
        MakeButton(QStringLiteral("Cancel processing"), QStringLiteral("prgCancel"), progressFrame);
    connect(m_cancelProcessing, &QPushButton::clicked, this, [this] {
        m_run->RequestCancel();
        EndProgress();
    });
    m_progress->hide();
    m_cancelProcessing->hide();
    auto* progressLayout = new QHBoxLayout(progressFrame);
    progressLayout->setContentsMargins(0, 0, 0, 0);
    progressLayout->addWidget(m_progress, 1);
    progressLayout->addWidget(m_cancelProcessing);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {m_ok, m_cancel, m_apply}) buttons->addWidget(button);
    layout->addWidget(progressFrame);
    layout->addLayout(buttons);

    connect(m_run, &BackgroundRun::progressStarted, this, &RunDialog::StartProgress);
    connect(m_run, &BackgroundRun::progressStepped, m_progress, &QProgressBar::setValue);
    connect(m_run, &BackgroundRun::progressEnded, this, &RunDialog::EndProgress);
    connect(m_run, &BackgroundRun::finished, this, &RunDialog::RunEnded);
}

void RunDialog::KeepProgressRoom() {
    for (QWidget* widget :
         {static_cast<QWidget*>(m_progress), static_cast<QWidget*>(m_cancelProcessing)}) {
        QSizePolicy policy = widget->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        widget->setSizePolicy(policy);
    }
}

void RunDialog::StartRun(bool closeAfterRun, std::function<bool(const RunControl&)> work) {
    m_closeAfterRun = closeAfterRun;
    m_refused = false;
    SetButtonsEnabled(false);
    m_run->Start(
        [this, work = std::move(work)](const RunControl& control) { m_refused = !work(control); });
}

void RunDialog::SetProgressFormat(const QString& format) {
    // Queued like the run's progress signals, so that it arrives in order with them.
    QMetaObject::invokeMethod(
        m_progress, [bar = m_progress, format] { bar->setFormat(format); }, Qt::QueuedConnection);
}

void RunDialog::StartProgress(int minimum, int maximum) {
    // The run clears the cancel flag as it starts: a close that came before must count.
    if (m_closeRequested) m_run->RequestCancel();
    m_progress->setRange(minimum, maximum);
    m_progress->setValue(minimum);
    m_progress->show();
    m_cancelProcessing->show();
    SetButtonsEnabled(false);
}

void RunDialog::EndProgress() {
    m_progress->hide();
    m_cancelProcessing->hide();
    SetButtonsEnabled(!m_run->IsRunning());
}

void RunDialog::RunEnded() {
    EndProgress();
    SetButtonsEnabled(true);
    emit runFinished();
    if (m_closeRequested) {
        QDialog::reject();
    } else if (m_closeAfterRun && !m_refused) {
        accept();
    }
}

void RunDialog::SetButtonsEnabled(bool enabled) {
    for (QPushButton* button : {m_ok, m_cancel, m_apply}) button->setEnabled(enabled);
}

void RunDialog::reject() {
    if (m_run->IsRunning()) {
        // Closing stops the run; the dialog goes once the run has ended.
        m_closeRequested = true;
        m_run->RequestCancel();
        return;
    }
    QDialog::reject();
}

void RunDialog::closeEvent(QCloseEvent* event) {
    if (m_run->IsRunning()) {
        reject();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace tamsel
