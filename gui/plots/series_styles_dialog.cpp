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

QString CellText(bool set) { return set ? QStringLiteral("True") : QString(); }

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

void SeriesStylesDialog::ToggleCell(int row, int column) {
    if (column != kVisibleColumn && column != kHighlightedColumn) return;
    QTableWidgetItem* cell = m_grid->item(row, column);
    cell->setText(CellText(!IsTrue(cell->text())));
}

bool SeriesStylesDialog::UpdateLegend(const std::vector<QString>& labels, std::vector<bool>& shown,
                                      std::vector<bool>& highlighted) {
    const int count = static_cast<int>(labels.size());
    m_grid->setRowCount(count);
    for (int row = 0; row < count; ++row) {
        auto* label = new QTableWidgetItem(labels[row]);
        m_grid->setItem(row, 0, label);
        for (int column : {kVisibleColumn, kHighlightedColumn}) {
            const bool set = column == kVisibleColumn ? shown[row] : highlighted[row];
            auto* cell = new QTableWidgetItem(CellText(set));
            cell->setTextAlignment(Qt::AlignCenter);
            m_grid->setItem(row, column, cell);
        }
    }
    if (exec() != QDialog::Accepted) return false;
    for (int row = 0; row < count; ++row) {
        shown[row] = IsTrue(m_grid->item(row, kVisibleColumn)->text());
    }
    for (int row = 0; row < count; ++row) {
        highlighted[row] = IsTrue(m_grid->item(row, kHighlightedColumn)->text());
    }
    return true;
}

}  // namespace tamsel
