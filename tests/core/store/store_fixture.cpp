#include "store_fixture.h"

#include "tamsel/store/schema.h"
#include "tamsel/store/writers.h"

namespace tamsel::test {

FreshDatabase::FreshDatabase() : m_path(m_dir.ProjectLocation("project.db")) {
    if (!CreateTamselDatabase(m_path)) throw DatabaseError("cannot create " + m_path);
    m_db = std::make_unique<Database>(m_path, Database::OpenMode::ExistingFile);
}

Rows QueryRows(Database& db, const std::string& sql) {
    Statement select = db.Prepare(sql);
    Rows rows;
    while (select.Step()) {
        std::vector<DbValue> row;
        for (int c = 0; c < select.ColumnCount(); ++c) row.push_back(select.Column(c));
        rows.push_back(std::move(row));
    }
    return rows;
}

DbValue QueryValue(Database& db, const std::string& sql) {
    Rows rows = QueryRows(db, sql);
    if (rows.empty() || rows.front().empty()) return {};
    return rows.front().front();
}

std::int64_t CountRows(Database& db, const std::string& table) {
    return std::get<std::int64_t>(QueryValue(db, "SELECT COUNT(*) FROM " + table + ";"));
}

int AddDataSet(Database& db, const std::string& name, const std::vector<double>& times) {
    const int key =
        InsertDataSet(db, name, name + ".txt", 1, static_cast<int>(times.size()), "test");
    if (key == 0 || !InsertFailureTimes(db, times, 1, name)) {
        throw DatabaseError("cannot store dataset " + name);
    }
    return key;
}

EstimatesArray MakeEstimates(int first, int last) {
    EstimatesArray estimates(static_cast<std::size_t>(last) + 1);
    for (int i = first; i <= last; ++i) {
        double fields[10];
        for (int f = 0; f < 10; ++f) fields[f] = i + (f + 1) / 100.0;
        estimates[i] = {fields[0], fields[1], fields[2], fields[3], fields[4],
                        fields[5], fields[6], fields[7], fields[8], fields[9]};
    }
    return estimates;
}

}  // namespace tamsel::test
