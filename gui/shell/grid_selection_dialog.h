// The frame shared by the dialogs that list sets in a grid for the user to choose one:
// Label1 above the grid, Command1 "OK" and Command2 "Cancel" below. The first row starts
// selected, so OK always has a row to take while the grid holds any.
#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "tamsel/workbench/set_lists.h"

class QLabel;
class QTableView;

namespace tamsel {

class RowSetModel;

class GridSelectionDialog : public QDialog {
    Q_OBJECT

  public:
    // gridName is the grid's object name (DBGrid1, DBGrid2).
    GridSelectionDialog(const QString& gridName, QWidget* parent);

    QLabel* Label1() const { return m_label; }
    QTableView* Grid() const { return m_grid; }
    RowSetModel* Model() const { return m_model; }

    // Lists the grid's rows (none when the store failed), its hidden columns out of sight.
    void SetRows(std::optional<SelectionGrid> grid);
    int RowCount() const;
    // The selected row; null when no row is selected.
    const GridRow* SelectedRow() const;
    // The key of the selected row; 0 when no row is selected.
    int SelectedKey() const;
    // Selects row (from 0).
    void SelectRow(int row);
    // Lets the user choose several rows (Ctrl and Shift); the key of the first one chosen is
    // still the SelectedKey.
    void AllowSeveral();
    // The keys of the selected rows, top to bottom.
    std::vector<int> SelectedKeys() const;

  private:
    QLabel* m_label;
    QTableView* m_grid;
    RowSetModel* m_model;
    std::vector<GridRow> m_rows;
};

}  // namespace tamsel
