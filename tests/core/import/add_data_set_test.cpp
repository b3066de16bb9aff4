#include "tamsel/import/add_data_set.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <tuple>

#include "store_fixture.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/schema.h"
#include "tamsel/store/writers.h"

namespace tamsel {
namespace {

const std::string kQuestion =
    "The input data set is monotonically increasing, \r\n"
    "are you sure you want it read as interfailure times?\r\n"
    "Click Yes for interfailure times, No for cumulative times.";
const std::string kWarning =
    "The input data set is not monotonically increasing, it will be read as interfailure times.";
const std::string kNameExists =
    "The data name specified already exists.\r\n"
    "Please, specify a valid and unique name for the dataset.";
const std::string kEnterName = "Please enter a name for the dataset";
const std::string kTooManyZeros =
    "An error has occurred during data validation.\r\nFile contains too many zeros.\r\n";
const std::string kAttributesFailed =
    "An error occurred while adding the attributes of a new data set to the database.\r\n"
    "Please re-add the data from file, checking all the data attributes.";
const std::string kFailuresFailed =
    "An error occurred while adding the new failure data to the database.\r\n"
    "Please re-add the data from file (the attributes of the data set will be deleted from the "
    "database).";

using FailureRow = std::tuple<int, double, double>;  // index, interfailure, cumulative

struct DataSetRow {
    std::string file;
    int typeId = 0;
    int number = 0;
    std::string source;
};

class AddDataSet : public ::testing::Test {
  protected:
    void SetUp() override {
        m_fresh.Close();
        m_db = OpenTamselDatabase(m_fresh.Path());
        ASSERT_NE(m_db, nullptr);
    }

    std::string File(const std::string& content) {
        return m_dir.WriteFile("data" + std::to_string(++m_files) + ".txt", content);
    }

    AddDataSetRequest Request(const std::string& name, const std::string& content,
                              DataTypeChoice choice = DataTypeChoice::Automatic) {
        return AddDataSetRequest{name, File(content), choice, "Field trial, build 7"};
    }

    std::optional<DataSetRow> DataSetNamed(const std::string& name) {
        Statement query = m_db->Prepare(
            "SELECT DataFile, DataTypeID, DataNumber, DataSource FROM DataSets "
            "WHERE DataName = ?1");
        query.Bind(1, name);
        if (!query.Step()) return std::nullopt;
        return DataSetRow{query.ColumnText(0), static_cast<int>(query.ColumnInt(1)),
                          static_cast<int>(query.ColumnInt(2)), query.ColumnText(3)};
    }

    std::vector<FailureRow> FailuresOf(const std::string& name) {
        Statement query = m_db->Prepare(
            "SELECT FailureIndex, InterfailureTime, CumulativeTime FROM FailureTimes "
            "JOIN DataSets ON DataSets.DataSetID = FailureTimes.DataSetID "
            "WHERE DataName = ?1 ORDER BY FailureIndex");
        query.Bind(1, name);
        std::vector<FailureRow> rows;
        while (query.Step()) {
            rows.emplace_back(static_cast<int>(query.ColumnInt(0)), query.ColumnDouble(1),
                              query.ColumnDouble(2));
        }
        return rows;
    }

    std::int64_t Count(const std::string& table) { return test::CountRows(*m_db, table); }

    void ExpectNothingStored() {
        EXPECT_EQ(Count("DataSets"), 0);
        EXPECT_EQ(Count("FailureTimes"), 0);
    }

    // The messages but the information on few failures, which FewFailuresAreStoredWithAWord
    // checks on its own.
    std::vector<std::string> Shown() const {
        std::vector<std::string> texts;
        for (const auto& entry : m_sink.Entries()) {
            if (entry.icon != MessageIcon::Information) texts.push_back(entry.text);
        }
        return texts;
    }

    test::FreshDatabase m_fresh;
    const test::TempDir& m_dir = m_fresh.Dir();
    std::unique_ptr<Database> m_db;
    test::RecordingSink m_sink;
    int m_files = 0;
};

// The rows stored for these interfailure times.
template <typename... T>
std::vector<FailureRow> RowsOf(T... interfailure) {
    std::vector<FailureRow> rows;
    double cumulative = 0.0;
    for (double x : {static_cast<double>(interfailure)...}) {
        rows.emplace_back(static_cast<int>(rows.size()) + 1, x, cumulative += x);
    }
    return rows;
}

const std::vector<FailureRow> kRows352 = RowsOf(3, 5, 2);

TEST_F(AddDataSet, TypeFollowsTheDataAndTheChoice) {
    struct Case {
        std::string content;
        DataTypeChoice choice;
        MessageAnswer answer;  // to the question, if it is asked
        DataType type;
        std::vector<FailureRow> rows;
        std::vector<std::string> messages;
    };
    const auto automatic = DataTypeChoice::Automatic;
    const auto interfailure = DataTypeChoice::Interfailure;
    const auto cumulative = DataTypeChoice::Cumulative;
    const auto yes = MessageAnswer::Yes;
    const std::vector<Case> cases{
        {"3\n5\n2\n", automatic, yes, DataType::Interfailure, kRows352, {}},
        {"3,8,10", automatic, yes, DataType::Cumulative, kRows352, {}},
        {"7\n", automatic, yes, DataType::Cumulative, RowsOf(7), {}},
        {"3,5,2", interfailure, yes, DataType::Interfailure, kRows352, {}},
        {"3,8,10", cumulative, yes, DataType::Cumulative, kRows352, {}},
        {"3,8,10", interfailure, yes, DataType::Interfailure, RowsOf(3, 8, 10), {kQuestion}},
        {"3,8,10", interfailure, MessageAnswer::No, DataType::Cumulative, kRows352, {kQuestion}},
        // Read as interfailure times, repeated values are no zeros; as cumulative times they
        // would be refused, so that nothing is asked.
        {"2,2,2", interfailure, MessageAnswer::No, DataType::Interfailure, RowsOf(2, 2, 2), {}},
        {"3,5,2", cumulative, yes, DataType::Interfailure, kRows352, {kWarning}}};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        m_sink.Clear();
        m_sink.SetDefaultAnswer(c.answer);
        std::string name = "Set " + std::to_string(i);
        AddDataSetRequest request = Request(name, c.content, c.choice);
        auto added = AddDataSetFromFile(*m_db, request);
        ASSERT_TRUE(added.has_value()) << i;
        EXPECT_EQ(added->name, name);
        EXPECT_EQ(added->dataType, c.type) << i;
        EXPECT_EQ(added->failureCount, static_cast<int>(c.rows.size())) << i;
        EXPECT_EQ(Shown(), c.messages) << i;
        for (const auto& entry : m_sink.Entries()) {
            if (entry.icon == MessageIcon::Information) continue;  // few failures
            const bool question = entry.text == kQuestion;
            EXPECT_EQ(entry.buttons, question ? MessageButtons::YesNo : MessageButtons::Ok) << i;
            EXPECT_EQ(entry.icon, question ? MessageIcon::Question : MessageIcon::Exclamation) << i;
        }
        auto row = DataSetNamed(name);
        ASSERT_TRUE(row.has_value()) << i;
        EXPECT_EQ(row->file, request.fileName);
        EXPECT_EQ(row->typeId, static_cast<int>(c.type)) << i;
        EXPECT_EQ(row->number, static_cast<int>(c.rows.size())) << i;
        EXPECT_EQ(row->source, "Field trial, build 7");
        EXPECT_EQ(FailuresOf(name), c.rows) << i;
    }
}

TEST_F(AddDataSet, ValidationFailuresStoreNothing) {
    struct Case {
        std::string content;
        std::string message;
    };
    for (const Case& c : std::vector<Case>{
             {"1,2,3,4,0,6,7,8,9,0",
              kTooManyZeros + "2 of the 10 interfailure times are 0; at most one in ten may. "
                              "Remove the repeated failures or correct their times."},
             // Read as cumulative times, repeated values are zero interfailure times; read as
             // interfailure times, these have too many zeros too.
             {"0\n0\n2\n2", kTooManyZeros +
                                "3 of the 4 cumulative times repeat their predecessor; at most "
                                "one in ten may. Remove the repeated failures or correct their "
                                "times."},
             {"", "An error occurred while reading data from file.\r\nFile contains no data."}}) {
        m_sink.Clear();
        EXPECT_FALSE(AddDataSetFromFile(*m_db, Request("Bad", c.content))) << c.content;
        EXPECT_EQ(Shown(), std::vector<std::string>{c.message}) << c.content;
        ExpectNothingStored();
    }
    m_sink.Clear();
    ASSERT_TRUE(AddDataSetFromFile(*m_db, Request("OneZero", "1,2,3,4,0,6,7,8,9,10")));
    EXPECT_TRUE(Shown().empty());
}

TEST_F(AddDataSet, NameIsStoredTrimmedAndItsProblemsReportedBeforeTheFileIsRead) {
    auto added = AddDataSetFromFile(*m_db, Request("  \tSYS1 \r\n", "3,5,2"));
    ASSERT_TRUE(added.has_value());
    EXPECT_EQ(added->name, "SYS1");
    EXPECT_TRUE(DataSetNamed("SYS1").has_value());
    // The file does not exist: reading it would add a second message.
    const std::string missing = m_dir.File("missing.txt");
    struct Case {
        std::string name;
        std::string file;
        std::string message;
    };
    for (const Case& c : std::vector<Case>{
             {"SYS1", missing, kNameExists},
             {"  SYS1  ", missing, kNameExists},
             {"", missing, kEnterName},
             {" \t ", missing, kEnterName},
             {"Name", "", "No input data file selected.\r\nPlease select data file."},
             {"Ma\xDF"
              "e",
              missing,
              "The dataset name is not UTF-8 text: its byte 0xDF after \"Ma\" is no part of a "
              "UTF-8 character. Give the name in UTF-8 (a terminal whose language setting is "
              "not UTF-8 sends other bytes)."}}) {
        m_sink.Clear();
        AddDataSetRequest request{c.name, c.file, DataTypeChoice::Automatic, "x"};
        EXPECT_FALSE(AddDataSetFromFile(*m_db, request)) << c.name;
        EXPECT_EQ(Shown(), std::vector<std::string>{c.message}) << c.name;
    }
    EXPECT_EQ(Count("DataSets"), 1);
}

// A server takes UTF-8 text only, and the windows show nothing else: the stray bytes of a
// file's name (a name from a Latin-1 disk, say) and of a source are kept as U+FFFD.
TEST_F(AddDataSet, FileNameAndSourceAreKeptAsUtf8) {
    const std::string file = m_dir.WriteFile(
        "Ma\xDF"
        "e.txt",
        "3,5,2");
    AddDataSetRequest request{"Latin", file, DataTypeChoice::Automatic, "Probe \xB5\xB5 7"};
    ASSERT_TRUE(AddDataSetFromFile(*m_db, request));
    const std::optional<DataSetRow> row = DataSetNamed("Latin");
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->file, file.substr(0, file.size() - 8) + "Ma\uFFFDe.txt");
    EXPECT_EQ(row->source, "Probe \uFFFD\uFFFD 7");
}

// Whatever refuses a row or the commit, the import stores nothing and says which step failed.
TEST_F(AddDataSet, StoreFaultsStoreNothing) {
    if (test::OnTestServer()) GTEST_SKIP() << "about project files";
    std::string many;
    for (int i = 1; i <= 20000; ++i) many += std::to_string(i % 97 + 1) + "\n";
    // Another connection in the middle of a read keeps a file with a rollback journal from
    // being written at commit.
    m_db->Execute("PRAGMA journal_mode = DELETE;");
    Database reader(m_fresh.Path(), Database::OpenMode::ExistingFile);
    Statement reading = reader.Prepare("SELECT ModelID FROM Models");
    struct Case {
        const char* fault;
        std::function<void()> make;  // also undoes the fault of the case before
        std::string content;
        std::string message;
    };
    const Case cases[] = {
        {"a refused dataset row",
         [&] {
             m_db->Execute(
                 "CREATE TRIGGER refuse_data_set BEFORE INSERT ON DataSets "
                 "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
         },
         "3,5,2", kAttributesFailed},
        {"a failed commit",
         [&] {
             m_db->Execute("DROP TRIGGER refuse_data_set;");
             ASSERT_TRUE(reading.Step());
         },
         "3,5,2", kFileInUse},
        {"a refused failure row",
         [&] {
             reading.Reset();
             m_db->Execute(
                 "CREATE TRIGGER refuse_third BEFORE INSERT ON FailureTimes WHEN "
                 "NEW.FailureIndex = 3 BEGIN SELECT RAISE(ABORT, 'refused'); END;");
         },
         "3,5,2,4", kFailuresFailed},
        {"a full disk",
         [&] {
             m_db->Execute("DROP TRIGGER refuse_third;");
             const auto pages =
                 std::get<std::int64_t>(test::QueryValue(*m_db, "PRAGMA page_count"));
             m_db->Execute("PRAGMA max_page_count = " + std::to_string(pages + 2) + ";");
         },
         many, kFailuresFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        m_sink.Clear();
        c.make();
        EXPECT_FALSE(AddDataSetFromFile(*m_db, Request("Refused", c.content)));
        EXPECT_EQ(Shown(), std::vector<std::string>{c.message});
        ExpectNothingStored();
    }
    // A file that cannot be written is refused before its data are read.
    m_sink.Clear();
    Database readOnly(m_fresh.Path(), Database::OpenMode::ReadOnlyFile);
    EXPECT_FALSE(AddDataSetFromFile(readOnly, Request("Refused", "3,5,2")));
    EXPECT_EQ(Shown(), std::vector<std::string>{kFileReadOnly});
    ExpectNothingStored();
}

TEST_F(AddDataSet, FewFailuresAreStoredWithAWord) {
    std::string nineteen;
    for (int i = 1; i <= 19; ++i) nineteen += std::to_string(i % 5 + 1) + "\n";
    ASSERT_TRUE(AddDataSetFromFile(*m_db, Request("Short", nineteen)));
    ASSERT_EQ(m_sink.Count(), 1u);
    EXPECT_EQ(m_sink.Entries()[0].icon, MessageIcon::Information);
    EXPECT_EQ(m_sink.Texts()[0],
              "The dataset \"Short\" holds 19 failures, and models are applied from failure 20 "
              "by default. Apply them over a range that starts at or before failure 19 "
              "(tamsel-cli apply --range START).");
    m_sink.Clear();
    ASSERT_TRUE(AddDataSetFromFile(*m_db, Request("One", "4\n")));
    EXPECT_EQ(m_sink.Texts(), std::vector<std::string>{
                                  "The dataset \"One\" holds 1 failure, and models are applied "
                                  "from failure 20 by default. Apply them over a range that starts "
                                  "at or before failure 1 (tamsel-cli apply --range START)."});
    m_sink.Clear();
    ASSERT_TRUE(AddDataSetFromFile(*m_db, Request("Enough", nineteen + "4\n")));
    EXPECT_EQ(m_sink.Count(), 0u);
}

TEST_F(AddDataSet, DateTimesKeepTheirTimeBaseWithTheDataset) {
    AddDataSetRequest request = Request("Tracker", "opened\n2024-03-31 03:30\n2024-03-31 01:00\n");
    request.table.timestamps =
        TimestampOptions{"2024-03-31 00:00", "Europe/Berlin", TimeUnit::Minutes};
    auto added = AddDataSetFromFile(*m_db, request);
    ASSERT_TRUE(added.has_value());
    EXPECT_EQ(added->dataType, DataType::Cumulative);
    EXPECT_EQ(FailuresOf("Tracker"), RowsOf(60, 90));
    EXPECT_EQ(DataSetNamed("Tracker")->source,
              "Field trial, build 7\r\nTimes in minutes from 2024-03-30T23:00:00.000Z "
              "(Europe/Berlin)");
    Statement base = m_db->Prepare("SELECT DataSetID, Origin, TimeZone, Unit FROM DataSetTimeBase");
    ASSERT_TRUE(base.Step());
    EXPECT_EQ(base.ColumnInt(0), *FindDataSetId(*m_db, "Tracker"));
    EXPECT_EQ(base.ColumnText(1), "2024-03-30T23:00:00.000Z");
    EXPECT_EQ(base.ColumnText(2), "Europe/Berlin");
    EXPECT_EQ(base.ColumnText(3), "minutes");
    EXPECT_FALSE(base.Step());
    base.Reset();

    // The time base goes with its dataset.
    ASSERT_TRUE(DeleteDataSet(*m_db, "Tracker"));
    EXPECT_EQ(Count("DataSetTimeBase"), 0);
}

}  // namespace
}  // namespace tamsel
