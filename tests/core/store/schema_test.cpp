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

TEST(Schema, TablesHoldTheirFieldsInOrderWithFittingTypes) {
    FreshDatabase fresh;
    Rows tables = QueryRows(fresh.Db(),
                            "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT "
                            "LIKE 'sqlite_%' ORDER BY rowid;");
    ASSERT_EQ(tables.size(), std::size(kLayouts));
    for (std::size_t t = 0; t < std::size(kLayouts); ++t) {
        const TableLayout& layout = kLayouts[t];
        SCOPED_TRACE(layout.table);
        EXPECT_EQ(tables[t][0], S(layout.table)) << "tables are created in their fixed order";
        Rows columns = QueryRows(fresh.Db(), std::string("SELECT name, type, \"notnull\", pk "
                                                         "FROM pragma_table_info('") +
                                                 layout.table + "') ORDER BY cid;");
        std::istringstream fields(layout.fields);
        std::string field;
        std::size_t c = 0;
        for (; fields >> field; ++c) {
            ASSERT_LT(c, columns.size());
            const std::string name = field.substr(0, field.find(':'));
            const char type = field.back();
            const char* expected = type == 'D'   ? "DOUBLE"
                                   : type == 'T' ? "TEXT"
                                   : type == 'M' ? "LONGTEXT"
                                                 : "INTEGER";
            EXPECT_EQ(columns[c][0], DbValue(name));
            EXPECT_EQ(columns[c][1], S(expected)) << name;
            EXPECT_EQ(columns[c][2], I(0)) << name << " may hold Null";
            EXPECT_EQ(columns[c][3], I(type == 'K' ? 1 : 0)) << name;
        }
        EXPECT_EQ(c, columns.size());
        const auto sql = std::get<std::string>(QueryValue(
            fresh.Db(),
            std::string("SELECT sql FROM sqlite_master WHERE name = '") + layout.table + "';"));
        EXPECT_NE(sql.find("INTEGER PRIMARY KEY AUTOINCREMENT"), std::string::npos);
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
    Rows relations = QueryRows(
        fresh.Db(),
        "SELECT m.name, f.\"table\", f.\"from\", f.\"to\", f.on_delete, f.on_update, m.sql "
        "FROM sqlite_master m, pragma_foreign_key_list(m.name) f "
        "WHERE m.type = 'table' ORDER BY m.name, f.id DESC;");
    std::size_t r = 0;
    for (std::string relation; expected >> relation; ++r) {
        SCOPED_TRACE(relation);
        ASSERT_LT(r, relations.size());
        const auto [child, field] = TableAndField(relation);
        const std::string parent = KeyedTable(field);
        // The relation of Ranges has always been named with a double s.
        const std::string name = (parent == "Ranges" ? "Rangess" : parent) + child;
        const std::vector<DbValue> row(relations[r].begin(), relations[r].begin() + 6);
        EXPECT_EQ(row, (std::vector<DbValue>{S(child), S(parent), S(field), S(field), S("CASCADE"),
                                             S("NO ACTION")}));
        EXPECT_NE(std::get<std::string>(relations[r][6])
                      .find("CONSTRAINT " + name + " FOREIGN KEY (" + field + ")"),
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
    EXPECT_EQ(StoreEstimatesSet(db, 1, 9, 1, 1, 1, 0, {}), 0) << "no model 9";
    EXPECT_EQ(StorePredictionsSet(db, 1, 1, 1, 1, 0, {}, {}, {}, {}, {}), 0)
        << "no estimates set 1";
    EXPECT_EQ(StoreEstimatesSet(db, 1, 1, 1, 1, 1, 0, {}), 1);
    EXPECT_EQ(StoreEstimatesSet(db, 1, 1, 1, 1, 1, 0, {}), 2) << "equal sets are not refused here";
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

TEST(CreateTamselDatabase, ReplacesAnExistingFileAndItsJournal) {
    FreshDatabase fresh;
    test::AddDataSet(fresh.Db(), "A", {1, 2});
    fresh.Close();
    fresh.Dir().WriteFile("project.db-journal", "stale journal of the replaced file");
    fresh.Dir().WriteFile("project.db.new0", "a file of the user's");
    ASSERT_TRUE(CreateTamselDatabase(fresh.Path()));
    EXPECT_EQ(DirectoryEntries(fresh.Dir().Path()),
              (std::vector<std::string>{"project.db", "project.db.new0"}));
    EXPECT_EQ(test::ReadBytes(fresh.Path() + ".new0"), "a file of the user's");
    auto db = OpenTamselDatabase(fresh.Path());
    ASSERT_TRUE(db);
    EXPECT_EQ(test::CountRows(*db, "DataSets"), 0);
    EXPECT_EQ(test::CountRows(*db, "Models"), 8);
}

TEST(CreateTamselDatabase, FailureLeavesWhatWasThereUntouched) {
    test::TempDir dir;
    test::RecordingSink sink;
    // A directory cannot be replaced by the new file.
    std::filesystem::create_directory(dir.File("project.db"));
    dir.WriteFile("project.db/keep.txt", "kept");
    EXPECT_FALSE(CreateTamselDatabase(dir.File("project.db")));
    EXPECT_FALSE(CreateTamselDatabase(dir.File("missing/project.db")));
    EXPECT_EQ(sink.Texts(),
              std::vector<std::string>(2, "An error occurred in creating a new database"));
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

TEST(OpenTamselDatabase, RefusesOtherFilesWithoutTouchingThem) {
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
