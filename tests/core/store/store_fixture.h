// A fresh project file for each test, and plain-SQL readers that check what the store wrote
// without going through the code under test.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tamsel/records/records.h"
#include "tamsel/store/database.h"
#include "test_support.h"

namespace tamsel::test {

// A new project, open: a file in a directory of its own, or a schema of its own on the tests'
// server.
class FreshDatabase {
  public:
    FreshDatabase();
    Database& Db() { return *m_db; }
    const std::string& Path() const { return m_path; }  // the file's path or the server's URI
    const TempDir& Dir() const { return m_dir; }
    // Closes the connection, so that the project can be examined or opened again.
    void Close() { m_db.reset(); }

  private:
    TempDir m_dir;
    std::string m_path;
    std::unique_ptr<Database> m_db;
};

using Rows = std::vector<std::vector<DbValue>>;

// Short forms for expected cells.
inline DbValue I(std::int64_t value) { return value; }
inline DbValue S(std::string value) { return value; }
inline const DbValue kNull{};

Rows QueryRows(Database& db, const std::string& sql);
DbValue QueryValue(Database& db, const std::string& sql);
std::int64_t CountRows(Database& db, const std::string& table);

// Stores a dataset of interfailure times and returns its key.
int AddDataSet(Database& db, const std::string& name, const std::vector<double>& times);

// Estimate records for failures first..last with distinct, recognisable values: the f-th
// field (1 to 10) of failure i holds i + f / 100.
EstimatesArray MakeEstimates(int first, int last);

}  // namespace tamsel::test
