// A read-only table model over the rows of a binder: the lists and grids of the selection
// dialogs show these rows under the binder's headings.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <string>
#include <utility>
#include <vector>

#include "tamsel/tables/text_table.h"

namespace tamsel {

// A field as a list shows it: "" for Null, numbers as tables write them.
QString DisplayText(const DbValue& value);

class RowSetModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit RowSetModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void SetRows(RowSet rows);
    // Per row, empty or a note that marks the row: a soft background, and the note as the
    // tooltip of each of its cells.
    void SetRowNotes(std::vector<std::string> notes);
    // Per column, empty or what it holds, as the tooltip of its heading.
    void SetHeadingNotes(std::vector<std::string> notes) { m_headingNotes = std::move(notes); }
    const RowSet& Rows() const { return m_rows; }
    // Shows real numbers rounded to this many significant digits (0: as tables write them,
    // in full); the tooltip keeps every digit.
    void SetSignificantDigits(int digits) { m_digits = digits; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    RowSet m_rows;
    std::vector<std::string> m_notes;
    std::vector<std::string> m_headingNotes;
    int m_digits = 0;
};

}  // namespace tamsel
