#include "shell/grid_selection_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/row_set_model.h"

namespace tamsel {

GridSelectionDialog::GridSelectionDialog(const QString& gridName, QWidget* parent)
    : QDialog(parent),
      m_label(new QLabel(this)),
      m_grid(new QTableView(this)),
      m_model(new RowSetModel(this)) {
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setWordWrap(true);

    m_grid->setObjectName(gridName);
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setAlternatingRowColors(true);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 8);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->setMinimumSize(420, 180);
    connect(m_grid, &QAbstractItemView::doubleClicked, this, &QDialog::accept);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("Command2"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (SelectedRow()) accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_grid, 1);
    layout->addWidget(buttons);
}

void GridSelectionDialog::SetRows(std::optional<SelectionGrid> grid) {
    if (!grid) grid.emplace();
    m_model->SetRows(grid->Listed());
    m_rows = std::move(grid->rows);
    for (int column = 0; column < m_model->columnCount(); ++column) {
        m_grid->setColumnHidden(column, false);
    }
    for (int column : grid->hiddenColumns) m_grid->setColumnHidden(column, true);
    if (RowCount() > 0) SelectRow(0);
}

int GridSelectionDialog::RowCount() const { return m_model->rowCount(); }

const GridRow* GridSelectionDialog::SelectedRow() const {
    // Whole rows are selected; with hidden columns any selected index names the row.
    const QModelIndexList selected = m_grid->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return nullptr;
    return &m_rows.at(static_cast<std::size_t>(selected.constFirst().row()));
}

int GridSelectionDialog::SelectedKey() const {
    const GridRow* row = SelectedRow();
    return row ? row->key : 0;
}

void GridSelectionDialog::AllowSeveral() {
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_label->setText(m_label->text() + QStringLiteral(" Hold Ctrl or Shift to choose several."));
}

std::vector<int> GridSelectionDialog::SelectedKeys() const {
    QModelIndexList rows = m_grid->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    std::vector<int> keys;
    for (const QModelIndex& row : rows) {
        keys.push_back(m_rows.at(static_cast<std::size_t>(row.row())).key);
    }
    return keys;
}

void GridSelectionDialog::SelectRow(int row) {
    m_grid->selectionModel()->setCurrentIndex(
        m_model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

}  // namespace tamsel
