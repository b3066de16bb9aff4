#include "tamsel/store/own_tables.h"

namespace tamsel {

void EnsureOwnTables(Database& db) {
    Transaction unit(db);
    db.Execute(
        "CREATE TABLE IF NOT EXISTS DataSetTimeBase ("
        "DataSetID INTEGER PRIMARY KEY REFERENCES DataSets (DataSetID) ON DELETE CASCADE, "
        "Origin TEXT NOT NULL, TimeZone TEXT NOT NULL, Unit TEXT NOT NULL)");
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

}  // namespace tamsel
