#include "recalibration/form_recalibration.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "shell/background_run.h"
#include "shell/row_set_model.h"
#include "tamsel/recalibration/recalibration.h"
#include "tamsel/store/queries.h"
#include "tamsel/support/messages.h"

namespace tamsel {

namespace {

QTableView* MakeGrid(const QString& name, RowSetModel* model, QWidget* parent) {
    auto* grid = new QTableView(parent);
    grid->setObjectName(name);
    grid->setModel(model);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}

QPushButton* MakeButton(const QString& caption, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

}  // namespace

FormRecalibration::FormRecalibration(Database& db, const std::string& dataSetName, QWidget* parent)
    : QDialog(parent),
      m_db(db),
      m_dataSetName(dataSetName),
      m_estimatesModel(new RowSetModel(this)),
      m_methodsModel(new RowSetModel(this)),
      m_run(new BackgroundRun(this)) {
    setWindowTitle(QStringLiteral("Recalibrate an estimates set"));
    if (std::optional<RowSet> rows = BindEstimatesSets(db, dataSetName)) {
        m_estimatesModel->SetRows(std::move(*rows));
    }
    if (std::optional<RowSet> rows = BindRecalibrationMethods(db)) {
        m_methodsModel->SetRows(std::move(*rows));
    }
    m_estimates = MakeGrid(QStringLiteral("DBGrid1"), m_estimatesModel, this);
    m_methods = MakeGrid(QStringLiteral("DBGrid2"), m_methodsModel, this);
    for (QTableView* grid : {m_estimates, m_methods}) {
        grid->resizeColumnsToContents();
        if (grid->model()->rowCount() > 0) grid->selectRow(0);
    }

    m_ok = MakeButton(QStringLiteral("OK"), QStringLiteral("cmdOK"), this);
    m_cancel = MakeButton(QStringLiteral("Cancel"), QStringLiteral("cmdCancel"), this);
    m_apply = MakeButton(QStringLiteral("Apply"), QStringLiteral("cmdApply"), this);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, [this] { ApplyRecalibration(true); });
    connect(m_apply, &QPushButton::clicked, this, [this] { ApplyRecalibration(false); });
    connect(m_cancel, &QPushButton::clicked, this, &FormRecalibration::reject);

    auto* progressFrame = new QWidget(this);
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
    auto* progressLayout = new QHBoxLayout(progressFrame);
    progressLayout->setContentsMargins(0, 0, 0, 0);
    progressLayout->addWidget(m_progress, 1);
    progressLayout->addWidget(m_cancelProcessing);
    m_progress->hide();
    m_cancelProcessing->hide();

    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    for (QPushButton* button : {m_ok, m_cancel, m_apply}) buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Select an estimates set:"), this));
    layout->addWidget(m_estimates, 3);
    layout->addWidget(new QLabel(QStringLiteral("Select a recalibration method:"), this));
    layout->addWidget(m_methods, 2);
    layout->addWidget(progressFrame);
    layout->addLayout(buttons);
    resize(720, 460);

    connect(m_run, &BackgroundRun::progressStarted, this, &FormRecalibration::StartProgress);
    connect(m_run, &BackgroundRun::progressStepped, m_progress, &QProgressBar::setValue);
    connect(m_run, &BackgroundRun::progressEnded, this, &FormRecalibration::EndProgress);
    connect(m_run, &BackgroundRun::finished, this, &FormRecalibration::RunEnded);
}

void FormRecalibration::ShowRecalibration() {
    if (m_estimatesModel->rowCount() == 0) {
        ShowMessage(JoinLines({"There are no estimates calculated for the current dataset.",
                               "Please, apply a model first."}));
        return;
    }
    exec();
}

int FormRecalibration::SelectedKey(QTableView* grid) const {
    const QModelIndexList rows = grid->selectionModel()->selectedRows();
    if (rows.isEmpty()) return 0;
    const auto* model = static_cast<const RowSetModel*>(grid->model());
    return ToInt(model->Rows().rows.at(rows.front().row()).at(0));
}

bool FormRecalibration::IsRunning() const { return m_run->IsRunning(); }

void FormRecalibration::ApplyRecalibration(bool close) {
    if (m_run->IsRunning()) return;
    const int estimatesSetId = SelectedKey(m_estimates);
    const int methodId = SelectedKey(m_methods);
    if (estimatesSetId == 0 || methodId == 0) return;
    if (FindPredictionsSet(m_db, estimatesSetId, methodId) > 0) {
        ShowMessage("This recalibration is already available for the current dataset");
        return;
    }
    m_closeAfterRun = close;
    SetButtonsEnabled(false);
    Database& db = m_db;
    m_run->Start([&db, estimatesSetId, methodId](const RunControl& control) {
        tamsel::ApplyRecalibration(db, estimatesSetId, methodId, control);
    });
}

void FormRecalibration::StartProgress(int minimum, int maximum) {
    // The run clears the cancel flag as it starts: a close that came before must count.
    if (m_closeRequested) m_run->RequestCancel();
    m_progress->setRange(minimum, maximum);
    m_progress->setValue(minimum);
    m_progress->show();
    m_cancelProcessing->show();
    SetButtonsEnabled(false);
}

void FormRecalibration::EndProgress() {
    m_progress->hide();
    m_cancelProcessing->hide();
    SetButtonsEnabled(!m_run->IsRunning());
}

void FormRecalibration::RunEnded() {
    EndProgress();
    SetButtonsEnabled(true);
    emit runFinished();
    if (m_closeRequested) {
        QDialog::reject();
    } else if (m_closeAfterRun) {
        accept();
    }
}

void FormRecalibration::SetButtonsEnabled(bool enabled) {
    for (QPushButton* button : {m_ok, m_cancel, m_apply}) button->setEnabled(enabled);
}

void FormRecalibration::reject() {
    if (m_run->IsRunning()) {
        // Closing stops the run; the dialog goes once the run has ended.
        m_closeRequested = true;
        m_run->RequestCancel();
        return;
    }
    QDialog::reject();
}

void FormRecalibration::closeEvent(QCloseEvent* event) {
    if (m_run->IsRunning()) {
        reject();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace tamsel
