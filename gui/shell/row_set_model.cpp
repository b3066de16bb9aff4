#include "shell/row_set_model.h"

#include <QColor>

#include "shell/qt_text.h"
#include "tamsel/tables/text_table.h"

namespace tamsel {

QString DisplayText(const DbValue& value) {
    if (const auto* integer = std::get_if<std::int64_t>(&value)) return QString::number(*integer);
    if (const auto* real = std::get_if<double>(&value)) return ToQString(FormatTableNumber(*real));
    if (const auto* text = std::get_if<std::string>(&value)) return ToQString(*text);
    return QString();
}

void RowSetModel::SetRows(RowSet rows) {
    beginResetModel();
    m_rows = std::move(rows);
    m_notes.clear();
    endResetModel();
}

void RowSetModel::SetRowNotes(std::vector<std::string> notes) {
    m_notes = std::move(notes);
    if (!m_rows.rows.empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::BackgroundRole, Qt::ToolTipRole});
    }
}

int RowSetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.rows.size());
}

int RowSetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.headings.size());
}

QVariant RowSetModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const std::vector<DbValue>& row = m_rows.rows[static_cast<std::size_t>(index.row())];
    const auto column = static_cast<std::size_t>(index.column());
    if (column >= row.size()) return {};
    const auto rowIndex = static_cast<std::size_t>(index.row());
    const bool noted = rowIndex < m_notes.size() && !m_notes[rowIndex].empty();
    switch (role) {
        case Qt::ToolTipRole:
            return noted ? ToQString(m_notes[rowIndex]) : DisplayText(row[column]);
        case Qt::DisplayRole:
            if (const auto* real = std::get_if<double>(&row[column]); real && m_digits > 0) {
                return QString::number(*real, 'g', m_digits);
            }
            return DisplayText(row[column]);
        case Qt::BackgroundRole:
            return noted ? QVariant(QColor(255, 228, 196)) : QVariant();
        case Qt::TextAlignmentRole:
            return std::holds_alternative<std::string>(row[column])
                       ? int(Qt::AlignLeft | Qt::AlignVCenter)
                       : int(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant RowSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    const auto column = static_cast<std::size_t>(section);
    if (role == Qt::DisplayRole) return ToQString(m_rows.headings[column]);
    if (role == Qt::ToolTipRole && column < m_headingNotes.size() &&
        !m_headingNotes[column].empty()) {
        return ToQString(m_headingNotes[column]);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

}  // namespace tamsel
