// "Plot styles": the series of a plot in legend order, with a "Visible" and a
// "Highlighted" column that the user toggles by double-clicking a cell.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

class QTableWidget;

namespace tamsel {

class SeriesStylesDialog : public QDialog {
    Q_OBJECT

  public:
    explicit SeriesStylesDialog(QWidget* parent = nullptr);

    // Shows the series modally. On OK shown and highlighted take the user's choices; after
    // Cancel they are left as they were. All three hold one element a series.
    bool UpdateLegend(const std::vector<QString>& labels, std::vector<bool>& shown,
                      std::vector<bool>& highlighted);

    // A cell is set exactly when it reads "True".
    static bool IsTrue(const QString& cellText) { return cellText == QStringLiteral("True"); }

    QTableWidget* Grid() const { return m_grid; }

  private:
    void ToggleCell(int row, int column);

    QTableWidget* m_grid;
};

}  // namespace tamsel
