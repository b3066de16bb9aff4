#include "shell/row_set_model.h"

#include "shell/qt_text.h"
#include "tamsel/tables/text_table.h"

namespace tamsel {

QString DisplayText(const DbValue& value) {
    if (const auto* integer = std::get_if<std::int64_t>(&value)) return QString::number(*integer);
    if (const auto* real = std::get_if<double>(&value)) return ToQString(FormatTableNumber(*real));
    if (const auto* text = std::get_if<std::string>(&value)) return ToQString(*text);
    return QString();
}

int ToInt(const DbValue& value) {
    if (const auto* integer = std::get_if<std::int64_t>(&value)) return static_cast<int>(*integer);
    if (const auto* real = std::get_if<double>(&value)) return static_cast<int>(*real);
    if (const auto* text = std::get_if<std::string>(&value)) {
        bool ok = false;
        const int number = ToQString(*text).trimmed().toInt(&ok);
        return ok ? number : 0;
    }
    return 0;
}

void RowSetModel::SetRows(RowSet rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
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
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return DisplayText(row[column]);
        case Qt::TextAlignmentRole:
            return std::holds_alternative<std::string>(row[column])
                       ? int(Qt::AlignLeft | Qt::AlignVCenter)
                       : int(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant RowSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= columnCount()) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return ToQString(m_rows.headings[static_cast<std::size_t>(section)]);
}

}  // namespace tamsel
