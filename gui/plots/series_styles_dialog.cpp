#include "plots/series_styles_dialog.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tamsel {

namespace {

constexpr int kVisibleColumn = 1;
constexpr int kHighlightedColumn = 2;
// Where a flag cell keeps its state; its text only shows it.
constexpr int kSetRole = Qt::UserRole;

}  // namespace

SeriesStylesDialog::SeriesStylesDialog(QWidget* parent)
    : QDialog(parent), m_grid(new QTableWidget(this)) {
    setWindowTitle(QStringLiteral("Plot styles"));
    m_grid->setObjectName(QStringLiteral("MSFlexGrid1"));
    m_grid->setColumnCount(3);
    m_grid->setHorizontalHeaderLabels(
        {QString(), QStringLiteral("Visible"), QStringLiteral("Highlighted")});
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_grid->horizontalHeader()->setSectionResizeMode(kVisibleColumn, QHeaderView::Fixed);
    m_grid->horizontalHeader()->setSectionResizeMode(kHighlightedColumn, QHeaderView::Fixed);
    m_grid->setColumnWidth(kVisibleColumn, 100);
    m_grid->setColumnWidth(kHighlightedColumn, 100);
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, &SeriesStylesDialog::ToggleCell);

    auto* label = new QLabel(QStringLiteral("The plots are in the same order as in the legend. "
                                            "Double-click on a cell to toggle its value."),
                             this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setWordWrap(true);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    layout->addWidget(label);
    layout->addLayout(buttons);
    resize(460, 320);
}

bool SeriesStylesDialog::IsSet(int row, int column) const {
    return m_grid->item(row, column)->data(kSetRole).toBool();
}

void SeriesStylesDialog::SetCell(int row, int column, bool set) {
    QTableWidgetItem* cell = m_grid->item(row, column);
    if (!cell) {
        cell = new QTableWidgetItem;
        cell->setTextAlignment(Qt::AlignCenter);
        m_grid->setItem(row, column, cell);
    }
    cell->setData(kSetRole, set);
    cell->setText(set ? QStringLiteral("True") : QString());
}

void SeriesStylesDialog::ToggleCell(int row, int column) {
    if (column != kVisibleColumn && column != kHighlightedColumn) return;
    SetCell(row, column, !IsSet(row, column));
}

std::optional<std::vector<LegendEntry>> SeriesStylesDialog::EditStyles(
    std::vector<LegendEntry> series) {
    const int count = static_cast<int>(series.size());
    m_grid->setRowCount(count);
    for (int row = 0; row < count; ++row) {
        m_grid->setItem(row, 0, new QTableWidgetItem(series[row].label));
        SetCell(row, kVisibleColumn, series[row].shown);
        SetCell(row, kHighlightedColumn, series[row].highlighted);
    }
    if (exec() != QDialog::Accepted) return std::nullopt;
    for (int row = 0; row < count; ++row) {
        series[row].shown = IsSet(row, kVisibleColumn);
        series[row].highlighted = IsSet(row, kHighlightedColumn);
    }
    return series;
}

}  // namespace tamsel
