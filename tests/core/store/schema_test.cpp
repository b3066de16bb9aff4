#include "tamsel/store/schema.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "store_fixture.h"
#include "tamsel/store/writers.h"

namespace tamsel {
namespace {

using namespace test;

struct TableLayout {
    const char* table;
    const char* fields;  // "Name:Type ..." with K key, L Long, D Double, T Text, M Memo
};

const TableLayout kLayouts[] = {
    {"DataSets", "DataSetID:K DataName:T DataFile:T DataTypeID:L DataNumber:L DataSource:M"},
    {"DataTypes", "DataTypeID:K DataType:T Comments:M"},
    {"Estimates",
     "EstimateID:K EstimatesSetID:L FailureIndex:L Parameter1:D Parameter2:D Parameter3:D "
     "LogLikelihood:D Pdf:D Cdf:D LowQ:D Median:D UppQ:D MTTF:D"},
    {"EstimatesSets", "EstimatesSetID:K DataSetID:L ModelID:L RangeID:L InferenceMethodID:L"},
    {"FailureTimes", "FailureID:K DataSetID:L FailureIndex:L InterfailureTime:D CumulativeTime:D"},
    {"InferenceMethodNames", "MethodNameID:K MethodName:T Comments:M"},
    {"InferenceMethods", "InferenceMethodID:K MethodNameID:L ParameterSetID:L"},
    {"MinimisationParameters",
     "ParameterSetID:K MaxIter1D:L MaxIter2D:L AbsolutePrecision:D RelativePrecision:D Eta:D "
     "Tolerance:D StartingPoint1:D StartingPoint2:D Bound1:D Bound2:D Description:M"},
    {"Models",
     "ModelID:K Model:T ModelFlag:L ModelName:T ParameterName1:T ParameterName2:T "
     "ParameterName3:T"},
    {"Predictions",
     "PredictionID:K PredictionsSetID:L FailureIndex:L Pdf:D Cdf:D LowQ:D Median:D UppQ:D "
     "MTTF:D"},
    {"PredictionsSets", "PredictionsSetID:K EstimatesSetID:L RecalibrationMethodID:L"},
    {"Ranges", "RangeID:K RangeTypeID:L RangeSize:L RangeStart:L RangeEnd:L"},
    {"RangeTypes", "RangeTypeID:K RangeType:T Comments:M"},
    {"RecalibrationMethods",
     "RecalibrationMethodID:K RecalibrationMethodName:T Iter:L NI:L SqMax:D"},
};

// Per column of the project's tables, in the order of creation: table, field, type, whether it
// refuses Null, whether it is the key, whether the key counts on past deleted rows.
constexpr const char* kFileColumns =
    "SELECT m.name, c.name, c.type, c.\"notnull\", c.pk, c.pk AND m.sql LIKE '%AUTOINCREMENT%' "
    "FROM sqlite_schema m, pragma_table_info(m.name) c WHERE m.type = 'table' "
    "AND m.name NOT LIKE 'sqlite_%' ORDER BY m.rowid, c.cid;";
constexpr const char* kServerColumns =
    "SELECT c.relname::text, a.attname::text, upper(format_type(a.atttypid, a.atttypmod)), "
    "a.attnotnull::int, COALESCE((SELECT 1 FROM pg_index i WHERE i.indrelid = c.oid "
    "AND i.indisprimary AND a.attnum = ANY (i.indkey)), 0), (a.attidentity = 'd')::int "
    "FROM pg_class c JOIN pg_attribute a ON a.attrelid = c.oid "
    "WHERE c.relnamespace = current_schema()::regnamespace AND c.relkind = 'r' "
    "AND a.attnum > 0 AND NOT a.attisdropped ORDER BY c.oid, a.attnum;";

// The declared type of each kind of field in kLayouts (K, L, D, T, M), in a file and on a server.
constexpr std::string_view kKinds = "KLDTM";
constexpr const char* kFileTypes[] = {"INTEGER", "INTEGER", "DOUBLE", "TEXT", "LONGTEXT"};
constexpr const char* kServerTypes[] = {"BIGINT", "BIGINT", "DOUBLE PRECISION", "TEXT", "TEXT"};

// row with its texts in lower case: a server folds unquoted names.
std::vector<DbValue> Folded(std::vector<DbValue> row) {
    for (DbValue& cell : row) {
        if (auto* text = std::get_if<std::string>(&cell)) {
            for (char& c : *text)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return row;
}

TEST(Schema, TablesHoldTheirFieldsInOrderWithFittingTypes) {
    FreshDatabase fresh;
    const bool server = OnTestServer();
    const Rows columns = QueryRows(fresh.Db(), server ? kServerColumns : kFileColumns);
    std::vector<DbValue> tables;
    for (const auto& column : columns) {
        if (tables.empty() || tables.back() != column[0]) tables.push_back(column[0]);
    }
    std::vector<DbValue> expected;
    for (const TableLayout& layout : kLayouts) expected.push_back(S(layout.table));
    expected.push_back(S("DataSetTimeBase"));
    expected.push_back(S("FitOutcomeLists"));
    EXPECT_EQ(Folded(tables), Folded(expected))
        << "tables are created in their fixed order, then Tamsel's own";
    std::size_t c = 0;
    for (const TableLayout& layout : kLayouts) {
        SCOPED_TRACE(layout.table);
        std::istringstream fields(layout.fields);
        for (std::string field; fields >> field; ++c) {
            ASSERT_LT(c, columns.size());
            const bool key = field.back() == 'K';
            const std::string name = field.substr(0, field.find(':'));
            const char* type = (server ? kServerTypes : kFileTypes)[kKinds.find(field.back())];
            // A server's key refuses Null; every other field may hold it.
            EXPECT_EQ(Folded(columns[c]),
                      Folded({S(layout.table), S(name), S(type), I(server && key), I(key), I(key)}))
                << name;
        }
    }
}

std::pair<std::string, std::string> TableAndField(const std::string& dotted) {
    return {dotted.substr(0, dotted.find('.')), dotted.substr(dotted.find('.') + 1)};
}

// The table whose key is the field.
std::string KeyedTable(const std::string& field) {
    for (const TableLayout& layout : kLayouts) {
        if (std::string(layout.fields).rfind(field + ":K", 0) == 0) return layout.table;
    }
    return "";
}

TEST(Schema, ThirteenNamedRelationsCascadeOnDelete) {
    FreshDatabase fresh;
    // Child.Field of each relation, in the order of the child tables and, within one, of the
    // declarations; the parent is the table keyed by the field, which bears its name.
    std::istringstream expected(
        "DataSets.DataTypeID Estimates.EstimatesSetID EstimatesSets.DataSetID "
        "EstimatesSets.ModelID EstimatesSets.RangeID EstimatesSets.InferenceMethodID "
        "FailureTimes.DataSetID InferenceMethods.MethodNameID InferenceMethods.ParameterSetID "
        "Predictions.PredictionsSetID PredictionsSets.EstimatesSetID "
        "PredictionsSets.RecalibrationMethodID Ranges.RangeTypeID");
    // Tamsel's own tables refer to the defined ones too; they are left out here.
    Rows relations = QueryRows(
        fresh.Db(),
        OnTestServer()
            ? "SELECT child.relname::text, parent.relname::text, ca.attname::text, "
              "pa.attname::text, CASE r.confdeltype WHEN 'c' THEN 'CASCADE' END, "
              "CASE r.confupdtype WHEN 'a' THEN 'NO ACTION' END, "
              "'CONSTRAINT ' || r.conname || ' FOREIGN KEY (' || ca.attname || ')' "
              "FROM pg_constraint r JOIN pg_class child ON child.oid = r.conrelid "
              "JOIN pg_class parent ON parent.oid = r.confrelid "
              "JOIN pg_attribute ca ON ca.attrelid = r.conrelid AND ca.attnum = r.conkey[1] "
              "JOIN pg_attribute pa ON pa.attrelid = r.confrelid AND pa.attnum = r.confkey[1] "
              "WHERE r.contype = 'f' AND child.relnamespace = current_schema()::regnamespace "
              "AND child.relname NOT IN ('datasettimebase', 'fitoutcomelists') "
              "ORDER BY child.relname, r.oid;"
            : "SELECT m.name, f.\"table\", f.\"from\", f.\"to\", f.on_delete, f.on_update, "
              "m.sql FROM sqlite_master m, pragma_foreign_key_list(m.name) f "
              "WHERE m.type = 'table' AND m.name NOT IN ('DataSetTimeBase', 'FitOutcomeLists') "
              "ORDER BY m.name, f.id DESC;");
    std::size_t r = 0;
    for (std::string relation; expected >> relation; ++r) {
        SCOPED_TRACE(relation);
        ASSERT_LT(r, relations.size());
        const auto [child, field] = TableAndField(relation);
        const std::string parent = KeyedTable(field);
        // The relation of Ranges has always been named with a double s.
        const std::string name = (parent == "Ranges" ? "Rangess" : parent) + child;
        const std::vector<DbValue> row = Folded(relations[r]);
        EXPECT_EQ(std::vector<DbValue>(row.begin(), row.begin() + 6),
                  Folded({S(child), S(parent), S(field), S(field), S("CASCADE"), S("NO ACTION")}));
        const DbValue clause =
            Folded({S("CONSTRAINT " + name + " FOREIGN KEY (" + field + ")")})[0];
        EXPECT_NE(std::get<std::string>(row[6]).find(std::get<std::string>(clause)),
                  std::string::npos);
    }
    EXPECT_EQ(r, 13u);
    EXPECT_EQ(relations.size(), 13u);
}

TEST(ReferenceRows, NewFileHoldsExactlyTheFixedRows) {
    FreshDatabase fresh;
    Database& db = fresh.Db();
    EXPECT_EQ(QueryRows(db, "SELECT * FROM DataTypes ORDER BY 1;"),
              (Rows{{I(1), S("Interfailure times"), S("")},
                    {I(2), S("Cumulative interfailure times"), S("")}}));
    EXPECT_EQ(QueryRows(db, "SELECT * FROM RangeTypes ORDER BY 1;"),
              (Rows{{I(1), S("Variable"), S("")}, {I(2), S("Fixed"), S("")}}));
    EXPECT_EQ(QueryRows(db, "SELECT * FROM InferenceMethodNames;"),
              (Rows{{I(1), S("Maximum Likelihood"), S("")}}));
    EXPECT_EQ(QueryRows(db, "SELECT * FROM MinimisationParameters ORDER BY 1;"),
              (Rows{{I(1), I(300), I(300), 1e-15, 1e-8, 0.4, 1e-7, kNull, kNull, kNull, kNull,
                     S("Valid if using Double data type")},
                    {I(2), I(300), I(300), 1e-28, 1e-8, 0.4, 1e-7, kNull, kNull, kNull, kNull,
                     S("Valid if using Decimal data type (sub-type of Variant)")}}));
    EXPECT_EQ(
        QueryRows(db, "SELECT * FROM Models ORDER BY 1;"),
        (Rows{{I(1), S("JM"), I(1), S("Jelinski-Moranda"), S("N"), S("Lambda"), kNull},
              {I(2), S("Du"), I(2), S("Duane"), S("Beta"), S("Alpha"), kNull},
              {I(3), S("MO"), I(4), S("Musa-Okumoto"), S("Beta"), S("Epsilon"), kNull},
              {I(4), S("GO"), I(8), S("Goel-Okumoto"), S("Mu"), S("Phi"), kNull},
              {I(5), S("Li"), I(16), S("Littlewood"), S("N"), S("Alpha"), S("Beta")},
              {I(6), S("LNHPP"), I(32), S("Littlewood NHPP"), S("Mu"), S("Alpha"), S("Beta")},
              {I(7), S("LV"), I(64), S("Littlewood-Verral"), S("Alpha"), S("Beta1"), S("Beta2")},
              {I(8), S("KL"), I(128), S("Keiller-Littlewood"), S("Alpha1"), S("Alpha2"),
               S("Beta")}}));
    EXPECT_EQ(QueryRows(db, "SELECT * FROM Ranges;"), (Rows{{I(1), I(1), kNull, I(20), kNull}}));
    EXPECT_EQ(QueryRows(db, "SELECT * FROM InferenceMethods;"), (Rows{{I(1), I(1), I(1)}}));
    EXPECT_EQ(QueryRows(db, "SELECT * FROM RecalibrationMethods ORDER BY 1;"),
              (Rows{{I(1), S("Parametric B-Splines Recalibration"), I(300), I(4), 1.0},
                    {I(2), S("Test/Parametric B-Splines Recalibration"), I(2), I(4), 1.0}}));
    for (const char* empty : {"DataSets", "FailureTimes", "EstimatesSets", "Estimates",
                              "PredictionsSets", "Predictions"}) {
        EXPECT_EQ(test::CountRows(db, empty), 0) << empty;
    }
}

TEST(Schema, KeysAreNeverHandedOutAgainAndRelationsRefuseRows) {
    FreshDatabase fresh;
    Database& db = fresh.Db();
    EXPECT_EQ(test::AddDataSet(db, "A", {1, 2}), 1);
    EXPECT_EQ(test::AddDataSet(db, "B", {1}), 2);
    ASSERT_TRUE(DeleteDataSet(db, "B"));
    EXPECT_EQ(test::AddDataSet(db, "C", {1}), 3);
    EXPECT_FALSE(InsertDataSet(db, "A", "other.txt", 1, 1, ""));
    EXPECT_TRUE(InsertDataSet(db, "a", "other.txt", 1, 1, "")) << "names match exactly";
    Statement model = PrepareStoredQuery(db, "InsertModel");
    model.Bind("Model", S("XX"));
    model.Bind("ModelName", S("Duane"));
    EXPECT_THROW(model.Run(), DatabaseError);
    Statement dataType = PrepareStoredQuery(db, "InsertDataType");
    dataType.Bind("DType", S("Interfailure times"));
    EXPECT_THROW(dataType.Run(), DatabaseError);

    Statement orphan = PrepareStoredQuery(db, "InsertFailureTimes");
    orphan.Bind("DataSet", I(99));
    orphan.Bind("Index", I(1));
    EXPECT_THROW(orphan.Run(), DatabaseError);
    EXPECT_FALSE(InsertDataSet(db, "B", "b.txt", 3, 1, "")) << "no data type 3";
    EXPECT_EQ(StorePredictionsSet(db, 1, 1, 1, 1, 0, {}, {}, {}, {}, {}), 0)
        << "no estimates set 1";
    EXPECT_EQ(StoreEstimatesSet(db, 1, 1, 1, 1, 1, 0, {}), 1);
    EXPECT_EQ(StoreEstimatesSet(db, 1, 1, 1, 1, 1, 0, {}), 2) << "equal sets are not refused here";
    // Refused after the good ones: a server does not hand out a refused row's key again.
    EXPECT_EQ(StoreEstimatesSet(db, 1, 9, 1, 1, 1, 0, {}), 0) << "no model 9";
    EXPECT_EQ(test::CountRows(db, "FailureTimes"), 3);
}

std::vector<std::string> DirectoryEntries(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(CreateTamselDatabase, ReplacesAnExistingProject) {
    FreshDatabase fresh;
    test::AddDataSet(fresh.Db(), "A", {1, 2});
    fresh.Close();
    const bool file = !OnTestServer();
    if (file) {
        fresh.Dir().WriteFile("project.db-journal", "stale journal of the replaced file");
        fresh.Dir().WriteFile("project.db.new0", "a file of the user's");
    }
    EXPECT_TRUE(LocationHoldsData(fresh.Path()));
    ASSERT_TRUE(CreateTamselDatabase(fresh.Path()));
    if (file) {
        EXPECT_EQ(DirectoryEntries(fresh.Dir().Path()),
                  (std::vector<std::string>{"project.db", "project.db.new0"}));
        EXPECT_EQ(test::ReadBytes(fresh.Path() + ".new0"), "a file of the user's");
    }
    auto db = OpenTamselDatabase(fresh.Path());
    ASSERT_TRUE(db);
    EXPECT_EQ(test::CountRows(*db, "DataSets"), 0);
    EXPECT_EQ(test::CountRows(*db, "Models"), 8);
    test::TempDir empty;
    EXPECT_FALSE(LocationHoldsData(empty.ProjectLocation("nothing.db")));
}

TEST(CreateTamselDatabase, FailureLeavesWhatWasThereUntouched) {
    if (OnTestServer()) {
        // The old tables go before the new ones are made; a type that has taken the name of
        // one of them makes the creation fail only then.
        FreshDatabase fresh;
        test::AddDataSet(fresh.Db(), "A", {1, 2});
        fresh.Db().Execute(
            "DROP TABLE FitOutcomeLists; CREATE TYPE fitoutcomelists AS (x INTEGER);");
        test::RecordingSink sink;
        EXPECT_FALSE(CreateTamselDatabase(fresh.Path()));
        ASSERT_EQ(sink.Texts().size(), 1u);
        EXPECT_EQ(sink.Texts()[0].substr(0, sink.Texts()[0].find(": the server refused")),
                  "An error occurred in creating a new database\r\nThe project at " +
                      DisplayLocation(fresh.Path()) + " cannot be created");
        EXPECT_EQ(test::CountRows(fresh.Db(), "FailureTimes"), 2);
        return;
    }
    test::TempDir dir;
    test::RecordingSink sink;
    // A directory cannot be replaced by the new file.
    std::filesystem::create_directory(dir.File("project.db"));
    dir.WriteFile("project.db/keep.txt", "kept");
    EXPECT_FALSE(CreateTamselDatabase(dir.File("project.db")));
    EXPECT_FALSE(CreateTamselDatabase(dir.File("missing/project.db")));
    const std::string failed = "An error occurred in creating a new database\r\nThe project at ";
    EXPECT_EQ(sink.Texts(),
              (std::vector<std::string>{
                  failed + dir.File("project.db") +
                      " cannot be created: cannot put it in place: Is a directory",
                  failed + dir.File("missing/project.db") +
                      " cannot be created: cannot open the database file: unable to open "
                      "database file"}));
    EXPECT_EQ(DirectoryEntries(dir.Path()), std::vector<std::string>{"project.db"});
    EXPECT_EQ(test::ReadBytes(dir.File("project.db/keep.txt")), "kept");

    // Queries and reference rows go only into a file that holds none yet.
    FreshDatabase fresh;
    fresh.Close();
    const std::string before = test::ReadBytes(fresh.Path());
    EXPECT_THROW(CreateQueriesAndReferenceRows(fresh.Path()), DatabaseError);
    EXPECT_EQ(test::ReadBytes(fresh.Path()), before);
}

// Makes path a file of the given kind.
using FileMaker = void (*)(const test::TempDir& dir, const std::string& path);

struct ForeignFile {
    const char* kind;
    FileMaker make;
};

// A copy of a project file with some thousand rows at path.
void CopyBigProject(const std::string& path) {
    FreshDatabase fresh;
    test::AddDataSet(fresh.Db(), "Big", std::vector<double>(3000, 1.5));
    fresh.Close();
    std::filesystem::copy_file(fresh.Path(), path);
}

void Truncate(const std::string& path, std::uintmax_t keep) {
    CopyBigProject(path);
    std::filesystem::resize_file(path, keep);
}

const ForeignFile kForeignFiles[] = {
    {"empty file", [](const test::TempDir& dir, const std::string&) { dir.WriteFile("x.db", ""); }},
    {"text file",
     [](const test::TempDir& dir, const std::string&) { dir.WriteFile("x.db", "3\n5\n2\n"); }},
    {"binary file",
     [](const test::TempDir& dir, const std::string&) {
         std::string bytes(40, '\0');
         bytes.replace(7, 16, "SQLite format 3");
         bytes[30] = '\xff';
         dir.WriteFile("x.db", bytes);
     }},
    {"foreign database",
     [](const test::TempDir&, const std::string& path) {
         Database other(path, Database::OpenMode::CreateFile);
         other.Execute("CREATE TABLE DataSets (DataSetID INTEGER PRIMARY KEY, Name TEXT);");
     }},
    {"project file cut after its first page",
     [](const test::TempDir&, const std::string& path) { Truncate(path, 4096); }},
    {"project file cut in its header",
     [](const test::TempDir&, const std::string& path) { Truncate(path, 60); }},
};

// On a server: a schema without tables, one with another program's and a missing one.
void ExpectSchemasRefusedUntouched() {
    test::TempDir dir;
    const std::string empty = dir.ProjectLocation("empty");
    const std::string foreign = dir.ProjectLocation("foreign");
    const std::string missing = dir.ProjectLocation("missing");
    Database emptySchema(empty, Database::OpenMode::CreateFile);
    Database other(foreign, Database::OpenMode::CreateFile);
    other.Execute("CREATE TABLE DataSets (DataSetID INTEGER PRIMARY KEY, Name TEXT);");
    const std::pair<std::string, const char*> cases[] = {
        {empty, " holds no project. Create one there with \"tamsel-cli new\"."},
        {foreign, " holds tables that are not a Tamsel project. Name the project's own schema"},
        {missing, " cannot be opened: there is no schema"}};
    for (const auto& [location, reason] : cases) {
        test::RecordingSink sink;
        EXPECT_EQ(OpenTamselDatabase(location), nullptr);
        ASSERT_EQ(sink.Count(), 1u);
        EXPECT_EQ(sink.Texts()[0].rfind("An error occurred in selecting a database\r\n", 0), 0u);
        EXPECT_NE(sink.Texts()[0].find(DisplayLocation(location) + reason), std::string::npos)
            << sink.Texts()[0];
    }
    EXPECT_EQ(QueryValue(other,
                         "SELECT COUNT(*) FROM information_schema.tables WHERE "
                         "table_schema = current_schema();"),
              I(1));
}

TEST(OpenTamselDatabase, RefusesOtherFilesWithoutTouchingThem) {
    if (OnTestServer()) return ExpectSchemasRefusedUntouched();
    for (const ForeignFile& foreign : kForeignFiles) {
        SCOPED_TRACE(foreign.kind);
        test::TempDir dir;
        const std::string path = dir.File("x.db");
        foreign.make(dir, path);
        const std::string before = test::ReadBytes(path);
        test::RecordingSink sink;
        EXPECT_EQ(OpenTamselDatabase(path), nullptr);
        EXPECT_EQ(sink.Texts(),
                  std::vector<std::string>{"An error occurred in selecting a database"});
        EXPECT_EQ(test::ReadBytes(path), before);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1)
            << "no journal or other file is left beside it";
    }
    test::TempDir dir;
    test::RecordingSink sink;
    EXPECT_EQ(OpenTamselDatabase(dir.File("missing.db")), nullptr);
    EXPECT_EQ(OpenTamselDatabase(dir.Path().string()), nullptr);
    EXPECT_EQ(sink.Count(), 2u);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.db")));
}

}  // namespace
}  // namespace tamsel
