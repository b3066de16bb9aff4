#include "recalibration/recalibration_dialog.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include "shell/row_set_model.h"
#include "tamsel/workbench/project.h"
#include "tamsel/workbench/recalibrate.h"
#include "tamsel/workbench/set_lists.h"

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

}  // namespace

RecalibrationDialog::RecalibrationDialog(Database& db, const std::string& dataSetName,
                                         QWidget* parent)
    : RunDialog(parent),
      m_db(db),
      m_estimatesModel(new RowSetModel(this)),
      m_methodsModel(new RowSetModel(this)) {
    setWindowTitle(QStringLiteral("Recalibrate an estimates set"));
    // Lists a grid's rows and keeps their keys.
    const auto list = [](std::optional<SelectionGrid> grid, RowSetModel* model,
                         std::vector<int>& keys) {
        if (!grid) return;
        model->SetRows(grid->Listed());
        for (const GridRow& row : grid->rows) keys.push_back(row.key);
    };
    list(EstimatesSetGrid(db, dataSetName), m_estimatesModel, m_estimatesKeys);
    list(RecalibrationMethodGrid(db), m_methodsModel, m_methodsKeys);
    m_estimates = MakeGrid(QStringLiteral("DBGrid1"), m_estimatesModel, this);
    m_methods = MakeGrid(QStringLiteral("DBGrid2"), m_methodsModel, this);
    for (QTableView* grid : {m_estimates, m_methods}) {
        grid->resizeColumnsToContents();
        if (grid->model()->rowCount() > 0) grid->selectRow(0);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Select an estimates set:"), this));
    layout->addWidget(m_estimates, 3);
    layout->addWidget(new QLabel(QStringLiteral("Select a recalibration method:"), this));
    layout->addWidget(m_methods, 2);
    AddRunControls(layout);
    resize(720, 460);
}

void RecalibrationDialog::ShowRecalibration() {
    if (m_estimatesModel->rowCount() == 0) {
        ShowMessage(JoinLines({"There are no estimates calculated for the current dataset.",
                               "Please, apply a model first."}));
        return;
    }
    exec();
}

std::optional<int> RecalibrationDialog::SelectedKey(const QTableView* grid,
                                                    const std::vector<int>& keys) {
    const QModelIndexList rows = grid->selectionModel()->selectedRows();
    if (rows.isEmpty()) return std::nullopt;
    return keys.at(static_cast<std::size_t>(rows.front().row()));
}

void RecalibrationDialog::ApplyRecalibration(bool close) {
    if (IsRunning()) return;
    const std::optional<int> chosenSet = SelectedKey(m_estimates, m_estimatesKeys);
    const std::optional<int> chosenMethod = SelectedKey(m_methods, m_methodsKeys);
    if (!chosenSet || !chosenMethod) return;
    const int estimatesSetId = *chosenSet;
    const int methodId = *chosenMethod;
    Database& db = m_db;
    StartRun(close, [&db, estimatesSetId, methodId](const RunControl& control) {
        return tamsel::ApplyRecalibration(db, estimatesSetId, methodId, control).outcome !=
               RecalibrationResult::Outcome::Exists;
    });
}

}  // namespace tamsel
