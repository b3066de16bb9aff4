#include "tamsel/store/own_tables.h"

#include <cstdint>

#include "store_helpers.h"

namespace tamsel {

void EnsureOwnTables(Database& db) {
    // Most opens find the tables there; only a missing one is worth another program's lock.
    Statement count = db.Prepare(
        "SELECT COUNT(*) FROM sqlite_schema WHERE type = 'table' AND "
        "name IN ('DataSetTimeBase', 'FitOutcomes');");
    if (count.Step() && count.ColumnInt(0) == 2) return;
    Transaction unit(db);
    db.Execute(
        "CREATE TABLE IF NOT EXISTS DataSetTimeBase ("
        "DataSetID INTEGER PRIMARY KEY REFERENCES DataSets (DataSetID) ON DELETE CASCADE, "
        "Origin TEXT NOT NULL, TimeZone TEXT NOT NULL, Unit TEXT NOT NULL)");
    db.Execute(
        "CREATE TABLE IF NOT EXISTS FitOutcomes ("
        "EstimatesSetID INTEGER NOT NULL "
        "REFERENCES EstimatesSets (EstimatesSetID) ON DELETE CASCADE, "
        "FailureIndex INTEGER NOT NULL, Outcome TEXT NOT NULL, Evaluations INTEGER NOT NULL, "
        "PRIMARY KEY (EstimatesSetID, FailureIndex))");
    unit.Commit();
}

bool InsertDataSetTimeBase(Database& db, int dataSetId, const std::string& origin,
                           const std::string& timeZone, const std::string& unit) {
    try {
        Statement insert = db.Prepare(
            "INSERT INTO DataSetTimeBase (DataSetID, Origin, TimeZone, Unit) "
            "VALUES (:DataSetID, :Origin, :TimeZone, :Unit)");
        insert.Bind("DataSetID", std::int64_t{dataSetId});
        insert.Bind("Origin", origin);
        insert.Bind("TimeZone", timeZone);
        insert.Bind("Unit", unit);
        insert.Run();
        return true;
    } catch (const DatabaseError&) {
        return false;
    }
}

std::optional<DataSetTimeBase> ReadDataSetTimeBase(Database& db, int dataSetId) {
    Statement exists =
        db.Prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'DataSetTimeBase'");
    if (!exists.Step()) return std::nullopt;
    Statement select =
        db.Prepare("SELECT Origin, TimeZone, Unit FROM DataSetTimeBase WHERE DataSetID = ?");
    select.Bind(1, Long(dataSetId));
    if (!select.Step()) return std::nullopt;
    return DataSetTimeBase{select.ColumnText(0), select.ColumnText(1), select.ColumnText(2)};
}

bool StoreFitOutcomes(Database& db, int estimatesSetId, int first, int last,
                      const std::vector<FitTermination>& terminations) {
    if (first < 0 || (first <= last && static_cast<std::size_t>(last) >= terminations.size())) {
        return false;
    }
    try {
        Transaction unit(db);
        Statement insert = db.Prepare(
            "INSERT INTO FitOutcomes (EstimatesSetID, FailureIndex, Outcome, Evaluations) "
            "VALUES (:Set, :Index, :Outcome, :Evaluations)");
        for (int i = first; i <= last; ++i) {
            const FitTermination& end = terminations[static_cast<std::size_t>(i)];
            insert.Bind("Set", Long(estimatesSetId));
            insert.Bind("Index", Long(i));
            insert.Bind("Outcome", OutcomeText(end));
            insert.Bind("Evaluations", Long(end.evaluations));
            insert.Run();
        }
        unit.Commit();
        return true;
    } catch (const DatabaseError&) {
        return false;
    }
}

bool ReplaceFitOutcomesFrom(Database& db, int estimatesSetId, int first, int last,
                            const std::vector<FitTermination>& terminations) {
    Statement any = db.Prepare("SELECT 1 FROM FitOutcomes WHERE EstimatesSetID = ? LIMIT 1");
    any.Bind(1, Long(estimatesSetId));
    if (!any.Step()) return true;
    Transaction unit(db);
    Statement erase =
        db.Prepare("DELETE FROM FitOutcomes WHERE EstimatesSetID = ? AND FailureIndex >= ?");
    erase.Bind(1, Long(estimatesSetId));
    erase.Bind(2, Long(first));
    erase.Run();
    if (!StoreFitOutcomes(db, estimatesSetId, first, last, terminations)) return false;
    unit.Commit();
    return true;
}

std::optional<std::vector<FitOutcomeRow>> ReadFitOutcomes(Database& db, int estimatesSetId) {
    return ShowOnFailure(
        "An error occurred while reading the database.",
        [&]() -> std::optional<std::vector<FitOutcomeRow>> {
            // A file of an earlier version opened read-only never gained the table.
            Statement exists = db.Prepare(
                "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'FitOutcomes'");
            if (!exists.Step()) return std::vector<FitOutcomeRow>{};
            Statement select = db.Prepare(
                "SELECT FailureIndex, Outcome, Evaluations FROM FitOutcomes "
                "WHERE EstimatesSetID = :Set ORDER BY FailureIndex");
            select.Bind("Set", Long(estimatesSetId));
            std::vector<FitOutcomeRow> rows;
            while (select.Step()) {
                rows.push_back({IntColumn(select, 0), select.ColumnText(1), IntColumn(select, 2)});
            }
            return rows;
        });
}

}  // namespace tamsel
