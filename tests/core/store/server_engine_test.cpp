// The server engine against the tests' throwaway cluster: parameters, exact values, units of
// work between two sessions, statements sent together, a lost connection, a cancel, and rows
// streamed by COPY.
#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include "batch_insert.h"
#include "tamsel/store/cancel_watch.h"
#include "tamsel/store/database.h"
#include "test_support.h"

namespace tamsel {
namespace {

using Clock = std::chrono::steady_clock;
using Mode = Database::OpenMode;

// A fresh schema with one table of every kind of value.
class ServerEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::OnTestServer()) << "runs only against the tests' server";
        m_db = std::make_unique<Database>(m_location, Mode::CreateFile);
        m_db->Execute("CREATE TABLE t (i BIGINT, d DOUBLE PRECISION, s TEXT);");
    }

    std::int64_t Rows(Database& db) {
        Statement count = db.Prepare("SELECT count(*) FROM t;");
        return count.Step() ? count.ColumnInt(0) : -1;
    }

    void Insert(Database& db, std::int64_t i) {
        Statement insert = db.Prepare("INSERT INTO t (i) VALUES (?);");
        insert.Bind(1, i);
        insert.Run();
    }

    test::TempDir m_dir;
    std::string m_location = m_dir.ProjectLocation("engine");
    std::unique_ptr<Database> m_db;
};

TEST_F(ServerEngine, NumbersParametersOutsideLiteralsQuotedNamesAndComments) {
    struct Case {
        const char* sql;
        std::vector<std::pair<const char*, DbValue>> byName;  // "" binds the next position
        int parameters;
        std::vector<DbValue> row;
    };
    const std::vector<Case> cases = {
        {"SELECT :A, ':a?', :a, @b", {{"a", std::int64_t{7}}, {"B", "x"}}, 2, {7, ":a?", 7, "x"}},
        {"SELECT ?2, ?1, ?", {{"", 1.5}, {"", "two"}, {"", std::int64_t{3}}}, 3, {"two", 1.5, 3}},
        {"SELECT 'it''s :x' AS \"a \"\":b\", $x::text /* :y */ -- ?\n, true, 2.5::numeric",
         {{"x", std::int64_t{5}}},
         1,
         {"it's :x", "5", 1, 2.5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        Statement select = m_db->Prepare(c.sql);
        EXPECT_EQ(select.ParameterCount(), c.parameters);
        int position = 0;
        for (const auto& [name, value] : c.byName) {
            if (name[0] == '\0') {
                select.Bind(++position, value);
            } else {
                select.Bind(name, value);
            }
        }
        ASSERT_TRUE(select.Step());
        ASSERT_EQ(select.ColumnCount(), static_cast<int>(c.row.size()));
        for (std::size_t k = 0; k < c.row.size(); ++k) {
            EXPECT_EQ(select.Column(static_cast<int>(k)), c.row[k]) << "column " << k;
        }
        EXPECT_FALSE(select.Step());
    }
}

TEST_F(ServerEngine, ValuesComeBackExactly) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const std::vector<DbValue> values = {
        std::numeric_limits<std::int64_t>::min(),
        std::numeric_limits<std::int64_t>::max(),
        std::numeric_limits<double>::denorm_min(),
        1e308,
        -0.0,
        kInf,
        -kInf,
        0.1,
        std::nextafter(1.0, 2.0),
        "O'Brien said \"?\"; -- :x",
        "\u0394t \u2265 5 \u00b5s",
        std::string(),
        DbValue{},
    };
    Statement insert = m_db->Prepare("INSERT INTO t (i, d, s) VALUES (:i, :d, :s);");
    for (const DbValue& value : values) {
        const char* column = std::holds_alternative<std::int64_t>(value) ? "i"
                             : std::holds_alternative<double>(value)     ? "d"
                                                                         : "s";
        insert.Bind(column, value);
        insert.Run();
        insert.Reset();
    }
    Statement select = m_db->Prepare("SELECT i, d, s FROM t;");
    for (const DbValue& value : values) {
        ASSERT_TRUE(select.Step());
        const DbValue back = select.Column(std::holds_alternative<std::int64_t>(value) ? 0
                                           : std::holds_alternative<double>(value)     ? 1
                                                                                       : 2);
        if (const auto* d = std::get_if<double>(&value)) {
            // Bit for bit: -0.0 and the denormal must not turn into 0.
            ASSERT_TRUE(std::holds_alternative<double>(back));
            EXPECT_EQ(std::bit_cast<std::uint64_t>(std::get<double>(back)),
                      std::bit_cast<std::uint64_t>(*d))
                << *d;
        } else {
            EXPECT_EQ(back, value);
        }
    }
}

TEST_F(ServerEngine, WritersTakeTurnsAndReadersSeeOnlyWholeUnits) {
    Database other(m_location, Mode::ExistingFile);
    other.Execute("SET lock_timeout = 100;");
    Transaction unit(*m_db);
    Insert(*m_db, 1);

    // A second writer waits at most its lock timeout and is told the project is busy.
    try {
        Transaction second(other);
        ADD_FAILURE() << "a second writer began while the first held the project";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.GetFault(), DatabaseError::Fault::Busy) << error.what();
    }
    EXPECT_EQ(Rows(other), 0);

    // One that waits long enough begins once the first commits, and sees its row.
    other.Execute("SET lock_timeout = 5000;");
    std::atomic<std::int64_t> seen{-1};
    std::thread waiter([&] {
        Transaction second(other);
        seen = Rows(other);
        Insert(other, 2);
        second.Commit();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(seen, -1) << "the second writer did not wait";
    unit.Commit();
    waiter.join();
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(Rows(*m_db), 2);
}

// A reviewer's role may read the project but not change it: it is told so at once, before any
// work that would end in a refused store. A role that may change every table is not.
TEST_F(ServerEngine, ARoleThatMayOnlyReadIsRefusedWritesAtOpen) {
    const std::string role = "tamsel_reader_" + std::to_string(::getpid());
    const std::string schema = m_db->Schema();
    m_db->Execute("CREATE ROLE " + role + " LOGIN; GRANT USAGE ON SCHEMA \"" + schema + "\" TO " +
                  role + "; GRANT SELECT ON t TO " + role + ";");
    const std::size_t user = m_location.find("://") + 3;
    const std::string asRole =
        m_location.substr(0, user) + role + m_location.substr(m_location.find('@'));
    {
        Database reader(asRole, Mode::ExistingFile);
        EXPECT_TRUE(reader.IsReadOnly());
        EXPECT_EQ(reader.WriteRefusal(),
                  "The role " + role +
                      " may read this project on the server but not change it, so nothing can be "
                      "stored in it. Open it with a role that may, or ask the server's "
                      "administrator to grant this one INSERT, UPDATE and DELETE on the project's "
                      "tables.");
        EXPECT_EQ(Rows(reader), 0);
    }
    m_db->Execute("GRANT INSERT, UPDATE, DELETE ON t TO " + role + ";");
    {
        Database writer(asRole, Mode::ExistingFile);
        EXPECT_FALSE(writer.IsReadOnly());
        EXPECT_EQ(writer.WriteRefusal(), std::nullopt);
    }
    m_db->Execute("DROP OWNED BY " + role + "; DROP ROLE " + role + ";");
}

TEST_F(ServerEngine, LostConnectionSaysSoAndStoresNothing) {
    Database other(m_location, Mode::ExistingFile);
    Statement pid = m_db->Prepare("SELECT pg_backend_pid();");
    ASSERT_TRUE(pid.Step());
    try {
        Transaction unit(*m_db);
        Insert(*m_db, 1);
        Statement kill = other.Prepare("SELECT pg_terminate_backend(CAST(? AS INTEGER));");
        kill.Bind(1, pid.ColumnInt(0));
        kill.Run();
        Insert(*m_db, 2);
        unit.Commit();
        ADD_FAILURE() << "the unit went on after its connection was ended";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.GetFault(), DatabaseError::Fault::Lost) << error.what();
        EXPECT_EQ(FailureText(error, "usual"), kConnectionLost);
    }
    EXPECT_EQ(m_db->WriteRefusal(), kConnectionLost);
    EXPECT_EQ(Rows(other), 0);
}

// A nested unit's savepoint, a new statement's preparation and its run travel together
// (pipeline mode): a failure among them is reported by that statement and undoes only its unit,
// a failure that is not caught stores nothing, and a lost connection says so.
TEST_F(ServerEngine, StatementsSentTogetherFailAsTheirUnits) {
    const auto insertText = [](Database& db, const std::string& text) {
        Statement insert = db.Prepare("INSERT INTO t (i) VALUES (:text);");
        insert.Bind("text", text);
        insert.Run();
    };
    {
        Transaction outer(*m_db);
        Insert(*m_db, 1);
        try {
            Transaction inner(*m_db);
            insertText(*m_db, "not a number");
            ADD_FAILURE() << "the server took text for an integer";
        } catch (const DatabaseError& error) {
            EXPECT_NE(std::string(error.what()).find("bigint"), std::string::npos) << error.what();
            EXPECT_EQ(error.GetFault(), DatabaseError::Fault::Other);
        }
        {
            Transaction inner(*m_db);
            insertText(*m_db, "2");
            inner.Commit();
        }
        outer.Commit();
    }
    EXPECT_EQ(Rows(*m_db), 2);
    try {
        Transaction outer(*m_db);
        Insert(*m_db, 3);
        Transaction inner(*m_db);
        insertText(*m_db, "3.5");
        inner.Commit();
        outer.Commit();
        ADD_FAILURE() << "the server took a fraction for an integer";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.GetFault(), DatabaseError::Fault::Other) << error.what();
    }
    EXPECT_EQ(Rows(*m_db), 2) << "the failed unit left a row";

    Database other(m_location, Mode::ExistingFile);
    Statement pid = m_db->Prepare("SELECT pg_backend_pid();");
    ASSERT_TRUE(pid.Step());
    try {
        Transaction outer(*m_db);
        Statement kill = other.Prepare("SELECT pg_terminate_backend(CAST(? AS INTEGER));");
        kill.Bind(1, pid.ColumnInt(0));
        kill.Run();
        Transaction inner(*m_db);
        Statement select = m_db->Prepare("SELECT i FROM t WHERE i > :i;");
        select.Bind("i", std::int64_t{0});
        select.Step();
        ADD_FAILURE() << "the unit went on after its connection was ended";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(FailureText(error, "usual"), kConnectionLost) << error.what();
    }
    EXPECT_EQ(Rows(other), 2);
}

TEST_F(ServerEngine, CancelStopsALongStatementPromptly) {
    std::atomic<bool> cancel{false};
    std::thread user([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cancel = true;
    });
    const Clock::time_point start = Clock::now();
    {
        const CancelWatch watch(*m_db, &cancel);
        Statement sleep = m_db->Prepare("SELECT pg_sleep(20);");
        EXPECT_THROW(sleep.Step(), DatabaseError);
    }
    user.join();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(Rows(*m_db), 0) << "the session works on after the cancel";
}

TEST_F(ServerEngine, StreamedRowsKeepTheirExactValues) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const std::vector<std::vector<DbValue>> values = {
        {std::numeric_limits<std::int64_t>::min(), std::numeric_limits<double>::denorm_min(),
         "O'Brien said \"?\"; -- :x"},
        {std::numeric_limits<std::int64_t>::max(), -0.0, "\u0394t \u2265 5 \u00b5s"},
        {std::int64_t{0}, kInf, std::string()},
        {DbValue{}, -kInf, DbValue{}},
        {std::int64_t{-1}, std::nextafter(1.0, 2.0), "tab\tline\nback\\slash"},
    };
    m_db->Execute("CREATE TABLE u (n INTEGER, i BIGINT, d DOUBLE PRECISION, s TEXT);");
    // Enough rows to go to the server in several pieces.
    constexpr int kRows = 5000;
    {
        BatchInsert insert(*m_db, "INSERT INTO u (s, n, d, i) VALUES (:s, :n, :d, :i)");
        for (int row = 0; row < kRows; ++row) {
            const std::vector<DbValue>& v = values[static_cast<std::size_t>(row) % values.size()];
            insert.Set("n", std::int64_t{row});
            insert.Set("i", v[0]);
            insert.Set("d", v[1]);
            insert.Set("s", v[2]);
            insert.EndRow();
        }
        insert.Finish();
    }
    Statement select = m_db->Prepare("SELECT n, i, d, s FROM u ORDER BY n;");
    for (int row = 0; row < kRows; ++row) {
        const std::vector<DbValue>& v = values[static_cast<std::size_t>(row) % values.size()];
        ASSERT_TRUE(select.Step());
        ASSERT_EQ(select.ColumnInt(0), row);
        EXPECT_EQ(select.Column(1), v[0]) << "row " << row;
        // Bit for bit: -0.0 and the denormal must not turn into 0.
        ASSERT_TRUE(std::holds_alternative<double>(select.Column(2)));
        EXPECT_EQ(std::bit_cast<std::uint64_t>(select.ColumnDouble(2)),
                  std::bit_cast<std::uint64_t>(std::get<double>(v[1])))
            << "row " << row;
        EXPECT_EQ(select.Column(3), v[2]) << "row " << row;
    }
    EXPECT_FALSE(select.Step());
}

TEST_F(ServerEngine, AStreamThatFailsHalfWayStoresNothingAndTheSessionGoesOn) {
    m_db->Execute(
        "CREATE TABLE p (k BIGINT PRIMARY KEY); INSERT INTO p VALUES (1);"
        "CREATE TABLE c (k BIGINT REFERENCES p (k), n INTEGER);");
    enum class Fault { OutOfRange, MissingParent, NotFinished, Cancelled };
    constexpr int kFaultRow = 3000;  // after the first piece has gone to the server
    for (const Fault fault :
         {Fault::OutOfRange, Fault::MissingParent, Fault::NotFinished, Fault::Cancelled}) {
        SCOPED_TRACE(static_cast<int>(fault));
        std::atomic<bool> cancel{fault == Fault::Cancelled};
        try {
            Transaction unit(*m_db);
            {
                const CancelWatch watch(*m_db, &cancel);
                BatchInsert insert(*m_db, "INSERT INTO c (k, n) VALUES (:k, :n)");
                // A cancel needs a stream that lasts beyond the watcher's first look.
                const int rows = fault == Fault::Cancelled ? 400000 : 2 * kFaultRow;
                for (int row = 0; row < rows; ++row) {
                    const bool faulty = row == kFaultRow;
                    if (faulty && fault == Fault::NotFinished) break;
                    insert.Set("k", std::int64_t{faulty && fault == Fault::MissingParent ? 2 : 1});
                    insert.Set("n", faulty && fault == Fault::OutOfRange ? std::int64_t{1} << 31
                                                                         : std::int64_t{row});
                    insert.EndRow();
                }
                if (fault != Fault::NotFinished) insert.Finish();
            }
            unit.Commit();
            ADD_FAILURE() << "the faulty stream was stored";
        } catch (const DatabaseError& error) {
            EXPECT_NE(error.GetFault(), DatabaseError::Fault::Lost) << error.what();
        }
        Statement count = m_db->Prepare("SELECT count(*) FROM c;");
        ASSERT_TRUE(count.Step());
        EXPECT_EQ(count.ColumnInt(0), 0);
    }
    BatchInsert insert(*m_db, "INSERT INTO c (k, n) VALUES (:k, :n)");
    insert.Set("k", std::int64_t{1});
    insert.EndRow();
    insert.Finish();
    Statement count = m_db->Prepare("SELECT count(*) FROM c;");
    ASSERT_TRUE(count.Step());
    EXPECT_EQ(count.ColumnInt(0), 1) << "the session stores again after the failures";
}

TEST_F(ServerEngine, ModesAndLocationsOfAServerProject) {
    const std::string missing = m_dir.ProjectLocation("missing") + "&password=secret";
    EXPECT_THROW(Database(missing, Mode::ExistingFile), DatabaseError);
    {
        const Database created(missing, Mode::CreateFile);
        EXPECT_TRUE(created.OnServer());
        EXPECT_EQ(created.FileName().find("secret"), std::string::npos) << created.FileName();
        EXPECT_EQ(created.Schema(),
                  missing.substr(missing.find("schema=") + 7,
                                 missing.find('&') - missing.find("schema=") - 7));
    }
    // Replacing a project's tables in the server's own schemas would drop its tables.
    for (const std::string schema : {"information_schema", "pg_catalog", "pg_temp"}) {
        try {
            Database(m_location.substr(0, m_location.find("schema=") + 7) + schema,
                     Mode::CreateFile);
            ADD_FAILURE() << schema << " was opened";
        } catch (const DatabaseError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "the schema " + schema +
                          " is the server's own; name a schema of your own in the URI "
                          "(schema=NAME)");
        }
    }
    // A URI's scheme in any case.
    Database reader("POSTGRES" + m_location.substr(m_location.find("://")), Mode::ReadOnlyFile);
    EXPECT_EQ(reader.WriteRefusal(), kServerReadOnly);
    try {
        Insert(reader, 1);
        ADD_FAILURE() << "a read-only session stored a row";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.GetFault(), DatabaseError::Fault::ReadOnly) << error.what();
    }
    Insert(*m_db, 1);
    EXPECT_EQ(Rows(reader), 1);
}

}  // namespace
}  // namespace tamsel
