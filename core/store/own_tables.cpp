#include "tamsel/store/own_tables.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string_view>
#include <vector>

#include "dialect.h"
#include "schema_definition.h"
#include "store_helpers.h"

namespace tamsel {
namespace {

// The table of earlier versions, a row per fit, which the lists replace.
constexpr std::string_view kFitOutcomeRows = "FitOutcomes";

constexpr std::string_view kInsertList =
    "INSERT INTO FitOutcomeLists (EstimatesSetID, FirstIndex, Fits) VALUES (?, ?, ?)";

// Whether row may go in a list: its outcome is a word, or two joined by ':'.
bool Listable(const FitOutcomeRow& row) {
    return !row.outcome.empty() && row.outcome.find(' ') == std::string::npos;
}

// Whether index follows the last of rows.
bool Follows(const std::vector<FitOutcomeRow>& rows, int index) {
    return !rows.empty() && std::int64_t{rows.back().failureIndex} + 1 == index;
}

// The fits of a list as stored: "outcome/evaluations" for each failure index from the first
// on, separated by spaces.
std::string FitsText(const std::vector<FitOutcomeRow>& rows) {
    std::string text;
    for (const FitOutcomeRow& row : rows) {
        if (!Listable(row)) throw DatabaseError("a fit's outcome is empty or holds a space");
        if (!text.empty()) text += ' ';
        text += row.outcome + '/' + std::to_string(row.evaluations);
    }
    return text;
}

std::vector<FitOutcomeRow> ParseFits(int first, std::string_view text) {
    std::vector<FitOutcomeRow> rows;
    while (!text.empty()) {
        if (first < 0 || first > std::numeric_limits<int>::max() - static_cast<int>(rows.size())) {
            throw DatabaseError("the fit outcomes of a set run past the failure indices");
        }
        const std::string_view fit = text.substr(0, text.find(' '));
        text.remove_prefix(std::min(text.size(), fit.size() + 1));
        const std::size_t slash = fit.rfind('/');
        int evaluations = 0;
        const char* end = fit.data() + fit.size();
        if (slash == 0 || slash == std::string_view::npos ||
            std::from_chars(fit.data() + slash + 1, end, evaluations).ptr != end ||
            slash + 1 == fit.size()) {
            throw DatabaseError("the fit outcomes of a set are not outcome/evaluations pairs");
        }
        rows.push_back({first + static_cast<int>(rows.size()), std::string(fit.substr(0, slash)),
                        evaluations});
    }
    return rows;
}

// The outcomes of the set's list; nullopt when it has none. Throws DatabaseError.
std::optional<std::vector<FitOutcomeRow>> ReadList(Database& db, int estimatesSetId) {
    Statement select =
        db.Prepare("SELECT FirstIndex, Fits FROM FitOutcomeLists WHERE EstimatesSetID = ?");
    select.Bind(1, Long(estimatesSetId));
    if (!select.Step()) return std::nullopt;
    return ParseFits(IntColumn(select, 0), select.ColumnText(1));
}

// Binds ?1 to the set, ?2 and ?3 to the first index and the fits of rows, consecutive
// failure indices. Throws DatabaseError for an outcome that cannot go in a list.
void BindList(Statement& statement, int estimatesSetId, const std::vector<FitOutcomeRow>& rows) {
    statement.Bind(1, Long(estimatesSetId));
    statement.Bind(2, Long(rows.empty() ? 0 : rows.front().failureIndex));
    statement.Bind(3, FitsText(rows));
}

// The rows of the fits at failure indices first..last; nullopt when one lies outside
// terminations.
std::optional<std::vector<FitOutcomeRow>> FittedRows(
    int first, int last, const std::vector<FitTermination>& terminations) {
    if (first < 0 || (first <= last && static_cast<std::size_t>(last) >= terminations.size())) {
        return std::nullopt;
    }
    std::vector<FitOutcomeRow> rows;
    for (int i = first; i <= last; ++i) {
        const FitTermination& end = terminations[static_cast<std::size_t>(i)];
        rows.push_back({i, OutcomeText(end), end.evaluations});
    }
    return rows;
}

// Moves the rows of the earlier table into lists and drops it, in the caller's unit. A set's
// list ends where its indices stop being consecutive or an outcome is not a word (no version
// stored them so).
void MoveFitOutcomeRows(Database& db) {
    Statement select = db.Prepare(
        "SELECT EstimatesSetID, FailureIndex, Outcome, Evaluations FROM FitOutcomes "
        "ORDER BY EstimatesSetID, FailureIndex");
    std::map<int, std::vector<FitOutcomeRow>> lists;
    std::set<int> ended;
    while (select.Step()) {
        const int setId = IntColumn(select, 0);
        const FitOutcomeRow row{IntColumn(select, 1), select.ColumnText(2), IntColumn(select, 3)};
        std::vector<FitOutcomeRow>& rows = lists[setId];
        if (ended.contains(setId)) continue;
        if (Listable(row) && (rows.empty() || Follows(rows, row.failureIndex))) {
            rows.push_back(row);
        } else {
            ended.insert(setId);
        }
    }
    Statement insert = db.Prepare(kInsertList);
    for (const auto& [setId, rows] : lists) {
        if (rows.empty()) continue;
        BindList(insert, setId, rows);
        insert.Run();
    }
    db.Execute("DROP TABLE FitOutcomes;");
}

// On a server, grants on the new table what the roles of the team hold on EstimatesSets, so
// that a project that gains a table stays open to them as before.
void GrantAsEstimatesSets(Database& db, std::string_view table) {
    Statement grants = db.Prepare(
        "SELECT format('GRANT %s ON %I TO %s;', a.privilege_type, lower(?), CASE WHEN "
        "a.grantee = 0 THEN 'PUBLIC' ELSE quote_ident(r.rolname) END) FROM pg_catalog.pg_class "
        "AS c CROSS JOIN LATERAL aclexplode(c.relacl) AS a LEFT JOIN pg_catalog.pg_roles AS r "
        "ON r.oid = a.grantee WHERE c.oid = to_regclass('estimatessets') AND a.grantee <> "
        "c.relowner;");
    grants.Bind(1, std::string(table));
    std::string sql;
    while (grants.Step()) sql += grants.ColumnText(0);
    if (!sql.empty()) db.Execute(sql);
}

}  // namespace

const std::vector<OwnTableDefinition>& OwnTables() {
    static const std::vector<OwnTableDefinition> tables = {
        {"DataSetTimeBase",
         "DataSetID INTEGER PRIMARY KEY REFERENCES DataSets (DataSetID) ON DELETE CASCADE, "
         "Origin TEXT NOT NULL, TimeZone TEXT NOT NULL, Unit TEXT NOT NULL",
         "DataSetID"},
        // One row per set, not one per fit: a server checks the relation of every row it
        // stores, and a row per fit doubled the rows of each set.
        {"FitOutcomeLists",
         "EstimatesSetID INTEGER PRIMARY KEY REFERENCES EstimatesSets (EstimatesSetID) ON "
         "DELETE CASCADE, FirstIndex INTEGER NOT NULL, Fits TEXT NOT NULL",
         "EstimatesSetID"},
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
        if (!missing(table)) continue;
        db.Execute(std::string("CREATE TABLE ") + table.name + " (" + table.columns + ");");
        if (db.OnServer()) GrantAsEstimatesSets(db, table.name);
        if (table.name == std::string_view("FitOutcomeLists") && TableExists(db, kFitOutcomeRows)) {
            MoveFitOutcomeRows(db);
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
    std::optional<std::vector<FitOutcomeRow>> rows = FittedRows(first, last, terminations);
    if (!rows) return false;
    try {
        Statement insert = db.Prepare(kInsertList);
        BindList(insert, estimatesSetId, *rows);
        insert.Run();
        return true;
    } catch (const DatabaseError&) {
        return false;
    }
}

bool ReplaceFitOutcomesFrom(Database& db, int estimatesSetId, int first, int last,
                            const std::vector<FitTermination>& terminations) {
    std::optional<std::vector<FitOutcomeRow>> kept = ReadList(db, estimatesSetId);
    if (!kept) return true;
    std::optional<std::vector<FitOutcomeRow>> rows = FittedRows(first, last, terminations);
    if (!rows || (!kept->empty() && first > kept->back().failureIndex && !Follows(*kept, first))) {
        return false;
    }
    std::erase_if(*kept, [first](const FitOutcomeRow& row) { return row.failureIndex >= first; });
    kept->insert(kept->end(), rows->begin(), rows->end());
    Statement update = db.Prepare(
        "UPDATE FitOutcomeLists SET FirstIndex = ?2, Fits = ?3 WHERE EstimatesSetID = ?1");
    BindList(update, estimatesSetId, *kept);
    update.Run();
    return true;
}

std::optional<std::vector<FitOutcomeRow>> ReadFitOutcomes(Database& db, int estimatesSetId) {
    return ShowOnFailure(
        "An error occurred while reading the database.",
        [&]() -> std::optional<std::vector<FitOutcomeRow>> {
            if (TableExists(db, "FitOutcomeLists")) {
                return ReadList(db, estimatesSetId).value_or(std::vector<FitOutcomeRow>{});
            }
            // A file of an earlier version opened read-only: a row per fit, or no table at
            // all before outcomes were recorded.
            if (!TableExists(db, kFitOutcomeRows)) return std::vector<FitOutcomeRow>{};
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
