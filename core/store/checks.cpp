#include "tamsel/store/checks.h"

#include <functional>
#include <optional>

#include "schema_definition.h"
#include "store_helpers.h"
#include "value_checks.h"

namespace tamsel {
namespace {

// Runs each row of sql through check, keeping the message of every bad value it finds.
void EachRow(Database& db, const std::string& sql, std::vector<std::string>& problems,
             const std::function<void(const Statement&)>& check) {
    Statement select = db.Prepare(sql);
    while (select.Step()) {
        try {
            check(select);
        } catch (const DatabaseError& error) {
            if (error.GetFault() != DatabaseError::Fault::BadValue) throw;
            problems.emplace_back(error.what());
        }
    }
}

// The problems the engine's page check reports; "ok" alone means none.
void CheckPages(Database& db, std::vector<std::string>& problems) {
    EachRow(db, "PRAGMA integrity_check(1000);", problems, [&](const Statement& row) {
        if (row.ColumnText(0) != "ok") problems.push_back("Damaged page: " + row.ColumnText(0));
    });
}

void CheckRelations(Database& db, std::vector<std::string>& problems) {
    EachRow(db, "SELECT \"table\", rowid, parent FROM pragma_foreign_key_check;", problems,
            [&](const Statement& row) {
                problems.push_back(RowOf(row.ColumnText(0), "row " + row.ColumnText(1)) +
                                   ": refers to a row of " + row.ColumnText(2) +
                                   " that is missing.");
            });
}

void CheckDataSets(Database& db, std::vector<std::string>& problems) {
    EachRow(db,
            "SELECT DataSetID, DataNumber, (SELECT COUNT(*) FROM FailureTimes AS f "
            "WHERE f.DataSetID = d.DataSetID) FROM DataSets AS d ORDER BY DataSetID;",
            problems, [](const Statement& row) { CheckDataNumber(row, 0, 1, 2); });
    FailureTimesCheck times;
    EachRow(db,
            "SELECT DataSetID, FailureIndex, InterfailureTime, CumulativeTime FROM FailureTimes "
            "ORDER BY DataSetID, FailureIndex;",
            problems, [&](const Statement& row) { times.Next(row); });
}

void CheckSets(Database& db, std::vector<std::string>& problems) {
    EachRow(db,
            "SELECT s.EstimatesSetID, s.ModelID, m.ModelID, s.RangeID, r.RangeID "
            "FROM EstimatesSets AS s LEFT JOIN Models AS m ON m.ModelID = s.ModelID "
            "LEFT JOIN Ranges AS r ON r.RangeID = s.RangeID ORDER BY s.EstimatesSetID;",
            problems, [](const Statement& row) { CheckSetReferences(row); });
    for (const char* table : {"Estimates", "Predictions"}) {
        const std::string key =
            std::string(table) == "Estimates" ? "EstimatesSetID" : "PredictionsSetID";
        EachRow(db,
                "SELECT " + key + ", FailureIndex FROM " + table + " GROUP BY " + key +
                    ", FailureIndex HAVING COUNT(*) > 1;",
                problems, [&](const Statement& row) {
                    throw BadValue(RowOf(table, key + " " + row.ColumnText(0) + ", failure " +
                                                    row.ColumnText(1)),
                                   kStoredTwice);
                });
    }
}

// Text a server refuses and the windows cannot show: an earlier version stored a name as the
// terminal gave it.
void CheckText(Database& db, std::vector<std::string>& problems) {
    for (const TableDefinition& table : ProjectSchema()) {
        const std::string& key = table.fields.front().name;
        for (const FieldDefinition& field : table.fields) {
            if (field.type != FieldType::Text && field.type != FieldType::Memo) continue;
            EachRow(db,
                    "SELECT " + key + ", " + field.name + " FROM " + table.name + " WHERE " +
                        field.name + " IS NOT NULL ORDER BY " + key + ";",
                    problems, [&](const Statement& row) {
                        const std::optional<std::string> problem =
                            NotUtf8Problem(field.name, row.ColumnText(1));
                        if (problem) {
                            problems.push_back(RowOf(table.name, key + " " + row.ColumnText(0)) +
                                               ": " + *problem + ".");
                        }
                    });
        }
    }
}

}  // namespace

std::vector<std::string> FindProblems(Database& db) {
    std::vector<std::string> problems;
    // A server keeps its own pages and enforces every relation on every row; the values are
    // still the program's to check.
    if (!db.OnServer()) {
        CheckPages(db, problems);
        // Relations and values are read through the pages: on a damaged file they would only
        // repeat the damage or stop at it.
        if (!problems.empty()) return problems;
        CheckRelations(db, problems);
        CheckText(db, problems);
    }
    CheckDataSets(db, problems);
    CheckSets(db, problems);
    return problems;
}

}  // namespace tamsel
