#include "tamsel/store/foreign_keys.h"

#include <string>
#include <vector>

#include "dialect.h"

namespace tamsel {
namespace {

struct ForeignKey {
    std::string parent;
    std::string column;
    std::string parentColumn;
};

std::vector<ForeignKey> ForeignKeysOf(Database& db, std::string_view table) {
    Statement list =
        db.Prepare("SELECT \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?1)");
    list.Bind(1, std::string(table));
    std::vector<ForeignKey> keys;
    while (list.Step()) {
        // A key naming no parent column refers to the parent's row key.
        std::string parentColumn = list.ColumnIsNull(2) ? "rowid" : list.ColumnText(2);
        keys.push_back({list.ColumnText(0), list.ColumnText(1), parentColumn});
    }
    return keys;
}

std::int64_t CountOf(Statement query) {
    if (!query.Step()) return 0;
    return query.ColumnInt(0);
}

bool KeyHolds(Database& db, std::string_view table, const ForeignKey& key, std::int64_t afterKey) {
    const std::string child = Quoted(table);
    const std::string column = Quoted(key.column);
    const std::string parent = Quoted(key.parent);
    const std::string parentColumn = Quoted(key.parentColumn);
    Statement range = db.Prepare("SELECT MIN(" + column + "), MAX(" + column + ") FROM " + child +
                                 " WHERE rowid > ?1");
    range.Bind(1, afterKey);
    if (!range.Step() || range.ColumnIsNull(0)) return true;  // no rows, or only Null keys
    if (range.Column(0) == range.Column(1)) {
        Statement parentRow =
            db.Prepare("SELECT COUNT(*) FROM " + parent + " WHERE " + parentColumn + " = ?1");
        parentRow.Bind(1, range.Column(0));
        return CountOf(std::move(parentRow)) > 0;
    }
    Statement orphans =
        db.Prepare("SELECT COUNT(*) FROM " + child + " WHERE rowid > ?1 AND " + column +
                   " IS NOT NULL AND NOT EXISTS (SELECT 1 FROM " + parent + " WHERE " + parent +
                   "." + parentColumn + " = " + child + "." + column + ")");
    orphans.Bind(1, afterKey);
    return CountOf(std::move(orphans)) == 0;
}

}  // namespace

ForeignKeysSuspended::ForeignKeysSuspended(Database& db) : m_db(db) {
    if (!m_db.OnServer()) m_db.Execute("PRAGMA foreign_keys = OFF;");
}

ForeignKeysSuspended::~ForeignKeysSuspended() {
    if (m_db.OnServer()) return;
    try {
        m_db.Execute("PRAGMA foreign_keys = ON;");
    } catch (const DatabaseError&) {
        // Only a closed or broken connection refuses a pragma; it can write nothing either.
    }
}

std::int64_t LastRowKey(Database& db, std::string_view table) {
    if (db.OnServer()) return 0;
    return CountOf(db.Prepare("SELECT COALESCE(MAX(rowid), 0) FROM " + Quoted(table)));
}

bool NewRowsKeysHold(Database& db, std::string_view table, std::int64_t afterKey) {
    if (db.OnServer()) return true;
    for (const ForeignKey& key : ForeignKeysOf(db, table)) {
        if (!KeyHolds(db, table, key, afterKey)) return false;
    }
    return true;
}

}  // namespace tamsel
