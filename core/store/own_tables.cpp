#include "tamsel/store/own_tables.h"

#include <cstdint>
#include <string_view>
#include <vector>

#include "batch_insert.h"
#include "dialect.h"
#include "schema_definition.h"
#include "store_helpers.h"

namespace tamsel {

const std::vector<OwnTableDefinition>& OwnTables() {
    static const std::vector<OwnTableDefinition> tables = {
        {"DataSetTimeBase",
         "DataSetID INTEGER PRIMARY KEY REFERENCES DataSets (DataSetID) ON DELETE CASCADE, "
         "Origin TEXT NOT NULL, TimeZone TEXT NOT NULL, Unit TEXT NOT NULL",
         "DataSetID"},
        {"FitOutcomes",
         "EstimatesSetID INTEGER NOT NULL REFERENCES EstimatesSets (EstimatesSetID) ON DELETE "
         "CASCADE, FailureIndex INTEGER NOT NULL, Outcome TEXT NOT NULL, Evaluations INTEGER NOT "
         "NULL, PRIMARY KEY (EstimatesSetID, FailureIndex)",
         "EstimatesSetID, FailureIndex"},
    };
    return tables;
}

void EnsureOwnTables(Database& db) {
    std::vector<std::string_view> names;
    for (const OwnTableDefinition& table : OwnTables()) names.push_back(table.name);
    // Most opens find the tables there; only a missing one is worth another program's lock.
    if (CountTables(db, names) == names.size()) return;
    const auto missing = [&](const OwnTableDefinition& table) {
        return !TableExists(db, table.name);
    };
    Transaction unit(db);
    // Asked again under the lock. Without "IF NOT EXISTS", which a server answers by skipping
    // silently when a type or view has taken the name.
    for (const OwnTableDefinition& table : OwnTables()) {
        if (missing(table)) {
            db.Execute(std::string("CREATE TABLE ") + table.name + " (" + table.columns + ");");
        }
    }
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
    if (!TableExists(db, "DataSetTimeBase")) return std::nullopt;
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
        BatchInsert insert(
            db,
            "INSERT INTO FitOutcomes (EstimatesSetID, FailureIndex, Outcome, Evaluations) "
            "VALUES (:Set, :Index, :Outcome, :Evaluations)");
        for (int i = first; i <= last; ++i) {
            const FitTermination& end = terminations[static_cast<std::size_t>(i)];
            insert.Set("Set", Long(estimatesSetId));
            insert.Set("Index", Long(i));
            insert.Set("Outcome", OutcomeText(end));
            insert.Set("Evaluations", Long(end.evaluations));
            insert.EndRow();
        }
        insert.Finish();
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
            if (!TableExists(db, "FitOutcomes")) return std::vector<FitOutcomeRow>{};
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
