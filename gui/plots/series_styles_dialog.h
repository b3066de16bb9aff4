// "Plot styles": the series of a plot in legend order, with a "Visible" and a
// "Highlighted" column that the user toggles by double-clicking a cell (a set cell reads
// "True", a cleared one is empty).
#pragma once

#include <QDialog>
#include <QString>
#include <optional>
#include <vector>

class QTableWidget;

namespace tamsel {

// One series as the dialog lists it.
struct LegendEntry {
    QString label;
    bool shown = true;
    bool highlighted = false;
};

class SeriesStylesDialog : public QDialog {
    Q_OBJECT

  public:
    explicit SeriesStylesDialog(QWidget* parent = nullptr);

    // Shows the series modally; on OK returns them with the user's choices, in the same
    // order. Nothing after Cancel.
    std::optional<std::vector<LegendEntry>> EditStyles(std::vector<LegendEntry> series);

    QTableWidget* Grid() const { return m_grid; }

  private:
    void ToggleCell(int row, int column);
    bool IsSet(int row, int column) const;
    void SetCell(int row, int column, bool set);

    QTableWidget* m_grid;
};

}  // namespace tamsel
