#include "tables/table_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include "shell/desktop.h"
#include "shell/row_set_model.h"
#include "tamsel/tables/text_table.h"
#include "tamsel/workbench/project.h"

namespace tamsel {

TableWindow::TableWindow(TableView table, const std::string& dataSetName, QWidget* parent)
    : ChildWindow(parent),
      m_dataSetName(QString::fromStdString(dataSetName)),
      m_sets(table.sets),
      m_caption(new QLabel(QString::fromStdString(table.gridCaption), this)),
      m_grid(new QTableView(this)),
      m_model(new RowSetModel(this)) {
    setWindowTitle(QString::fromStdString(table.windowCaption));
    m_caption->setObjectName(QStringLiteral("DBGrid1Caption"));
    m_caption->setAlignment(Qt::AlignCenter);
    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_model->SetRows(std::move(table.rows));
    m_model->SetRowNotes(std::move(table.rowNotes));
    m_model->SetHeadingNotes(std::move(table.headingNotes));
    m_grid->setModel(m_model);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setAlternatingRowColors(true);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    m_grid->resizeColumnsToContents();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_caption);
    layout->addWidget(m_grid);
    resize(760, 420);
}

const RowSet& TableWindow::Rows() const { return m_model->Rows(); }

void TableWindow::SaveTable(Desktop& desktop) {
    const QString fileName = desktop.AskFileName(this, FileQuestion::SaveTable);
    if (fileName.isEmpty()) return;
    const bool csv =
        QFileInfo(fileName).suffix().compare(QStringLiteral("csv"), Qt::CaseInsensitive) == 0;
    if (!SaveTextTable(fileName.toStdString(), Rows(),
                       csv ? TableFile::Csv : TableFile::PrintZones)) {
        ShowMessage("The table could not be saved to " + fileName.toStdString() +
                    ". Please choose a folder you can write to.");
    }
}

QString TableWindow::TabSeparatedText() const {
    // A tab or line break inside a value would break the grid it is pasted into.
    auto cell = [](QString text) {
        return text.replace(QLatin1Char('\t'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '))
            .remove(QLatin1Char('\r'));
    };
    QStringList lines;
    QStringList headings;
    for (const std::string& heading : Rows().headings) {
        headings.append(cell(QString::fromStdString(heading)));
    }
    lines.append(headings.join(QLatin1Char('\t')));
    for (const std::vector<DbValue>& row : Rows().rows) {
        QStringList cells;
        for (const DbValue& value : row) cells.append(cell(DisplayText(value)));
        lines.append(cells.join(QLatin1Char('\t')));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void TableWindow::CopyTable() const { QApplication::clipboard()->setText(TabSeparatedText()); }

}  // namespace tamsel
