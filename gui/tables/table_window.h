// A table window: the stored rows of a dataset's failure times, of an estimates set or of a
// recalibrated predictions set in a read-only grid under the table's caption. Several can
// be open at once.
#pragma once

#include <QString>

#include "shell/child_window.h"
#include "tamsel/workbench/table_views.h"

class QLabel;
class QTableView;

namespace tamsel {

class Desktop;
class RowSetModel;

class TableWindow : public ChildWindow {
    Q_OBJECT

  public:
    // dataSetName is the dataset whose rows table holds.
    TableWindow(TableView table, const std::string& dataSetName, QWidget* parent = nullptr);

    Kind WindowKind() const override { return Kind::Table; }
    QString DataSetName() const override { return m_dataSetName; }
    std::vector<PredictionSetRef> ShownSets() const override { return m_sets; }

    QTableView* Grid() const { return m_grid; }
    const RowSet& Rows() const;

    // Save Table: asks desktop for the file name and writes the rows as CSV with headings
    // when it ends in .csv, else in print zones. Cancel writes nothing; a file that cannot
    // be written is reported.
    void SaveTable(Desktop& desktop);
    // The rows as tab-separated text under a line of headings, as the grid shows them.
    QString TabSeparatedText() const;
    // Edit > Copy: TabSeparatedText on the clipboard.
    void CopyTable() const;

  private:
    QString m_dataSetName;
    std::vector<PredictionSetRef> m_sets;
    QLabel* m_caption;
    QTableView* m_grid;
    RowSetModel* m_model;
};

}  // namespace tamsel
