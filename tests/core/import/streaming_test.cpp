// The import's bounds: files that are no data files, input that never ends, values beyond a
// double, and cancelling while reading, storing or deleting.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstring>

#include "tamsel/import/add_data_set.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/schema.h"
#include "tamsel/store/writers.h"
#include "test_support.h"

namespace tamsel {
namespace {

const std::string kRead = "An error occurred while reading data from file.\r\n";
const std::string kValidation = "An error has occurred during data validation.\r\n";
const std::string kNotReadable = "The file cannot be read.\r\n";
const std::string kOutOfRange = "Data out of range. Please check data or select another file.\r\n";
const std::string kUnknownFormat =
    "Data in unknown format. Please check format or select another file.\r\n";

std::string Message(const TableResult& result) {
    if (!result.refusal) return "";
    return DataFaultMessage(result.refusal->fault, result.refusal->whileReading,
                            result.refusal->detail);
}

TEST(ReadTableFile, RefusesWhatIsNoDataFileBeforeReadingIt) {
    test::TempDir dir;
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string missingDir = dir.File("gone") + "/data.txt";
    const std::string folder = dir.Path().string();
    const std::string choose = ", not a data file. Choose the text file of failure times.";
    struct Case {
        std::string path;
        std::string detail;
    };
    // Without the check the pipe blocks for ever and /dev/zero fills the memory.
    for (const Case& c : std::vector<Case>{
             {dir.File("missing.txt"), "'" + dir.File("missing.txt") +
                                           "' does not exist. Check the path and the file name."},
             {missingDir, "'" + missingDir + "' does not exist. Check the path and the file name."},
             {folder, "'" + folder + "' is a directory" + choose},
             {fifo, "'" + fifo + "' is a pipe" + choose},
             {"/dev/zero", "'/dev/zero' is a device" + choose}}) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(Message(ReadTableFile(c.path)), kRead + kNotReadable + c.detail);
    }
}

// An endless source: text, then NUL bytes for ever. bytesRead counts what was taken.
ByteSource TextThenZeros(std::string text, std::size_t& bytesRead) {
    return [text = std::move(text), &bytesRead](char* buffer, std::size_t size) {
        for (std::size_t k = 0; k < size; ++k) {
            buffer[k] = bytesRead + k < text.size() ? text[bytesRead + k] : '\0';
        }
        bytesRead += size;
        return size;
    };
}

TEST(ReadTable, RefusesAtTheFirstBadByteOfAnEndlessSource) {
    for (const std::string& text : {std::string(), std::string("1\n2\n3\n")}) {
        std::size_t bytesRead = 0;
        TableResult result = ReadTable(TextThenZeros(text, bytesRead), {});
        EXPECT_EQ(Message(result), kRead + kUnknownFormat + "Line " + (text.empty() ? "1" : "4") +
                                       " holds the control byte 0x00, so this is no text file. "
                                       "Choose the text file of failure times.");
        EXPECT_LE(bytesRead, std::size_t{1} << 16);  // one chunk
    }
}

TEST(ReadTable, NamesValuesBeyondADouble) {
    for (const std::string value : {"1.8e308", "-2e400", "1e-400"}) {
        EXPECT_EQ(Message(ReadTableText("1\n" + value + "\n")),
                  kValidation + kOutOfRange + "Line 2: '" + value +
                      "' is beyond the numbers that can be stored (about 5e-324 to 1.8e308). "
                      "Write the times in another unit.");
    }
    // 25 such values once read as repeated cumulative times, "too many zeros".
    std::string many;
    for (int i = 0; i < 25; ++i) many += "1.8e308\n";
    EXPECT_EQ(ReadTableText(many).refusal->fault, DataFault::OutOfRange);
}

TEST(ValidateTotal, RefusesInterfailureTimesWhoseSumOverflows) {
    test::RecordingSink sink;
    const std::vector<double> huge(25, 1.7e308);
    EXPECT_TRUE(ValidateTotal(huge, DataType::Cumulative));
    EXPECT_TRUE(ValidateTotal({1e308, 7e307}, DataType::Interfailure));
    EXPECT_TRUE(sink.Texts().empty());
    EXPECT_FALSE(ValidateTotal(huge, DataType::Interfailure));
    EXPECT_EQ(sink.Texts(),
              test::Strings(kValidation + kOutOfRange +
                            "Failure 2: the sum of the interfailure times up to it passes the "
                            "largest number that can be stored (about 1.8e308). Write the times "
                            "in a larger unit."));
}

class Cancel : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string path = m_dir.File("project.db");
        ASSERT_TRUE(CreateTamselDatabase(path));
        m_db = OpenTamselDatabase(path);
        ASSERT_NE(m_db, nullptr);
    }

    // Enough rows that storing or deleting them runs long enough for the engine to look at
    // the flag.
    std::string RisingFile() {
        std::string rising;
        for (int i = 1; i <= 5000; ++i) rising += std::to_string(i) + "\n";
        return m_dir.WriteFile("rising.txt", rising);
    }

    std::int64_t Count(const std::string& table) {
        Statement query = m_db->Prepare("SELECT COUNT(*) FROM " + table);
        query.Step();
        return query.ColumnInt(0);
    }

    test::TempDir m_dir;
    std::unique_ptr<Database> m_db;
    test::RecordingSink m_sink;
    std::atomic<bool> m_cancel{false};
};

TEST_F(Cancel, ReadingStopsAtOnce) {
    m_cancel = true;
    TableOptions options;
    options.cancel = &m_cancel;
    TableResult result = ReadTableText("1\n2\n", options);
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.refusal);
    EXPECT_TRUE(result.values.empty());
}

// A cancel that arrives while the import stores (here while it asks its question, between
// reading and storing) leaves nothing; without one the same import stores.
TEST_F(Cancel, ImportStoresNothing) {
    const std::string file = RisingFile();
    class CancelOnQuestion : public test::RecordingSink {
      public:
        explicit CancelOnQuestion(std::atomic<bool>& flag) : m_flag(flag) {}
        MessageAnswer Show(const std::string& text, MessageButtons buttons,
                           MessageIcon icon) override {
            if (buttons == MessageButtons::YesNo) m_flag = true;
            return RecordingSink::Show(text, buttons, icon);
        }

      private:
        std::atomic<bool>& m_flag;
    };
    CancelOnQuestion sink(m_cancel);
    AddDataSetRequest request{"Rising", file, DataTypeChoice::Interfailure};
    request.table.cancel = &m_cancel;
    EXPECT_FALSE(AddDataSetFromFile(*m_db, request));
    EXPECT_EQ(sink.Texts().back(), "The import was cancelled by user action");
    EXPECT_EQ(Count("DataSets"), 0);
    EXPECT_EQ(Count("FailureTimes"), 0);

    m_cancel = false;
    request.table.cancel = nullptr;
    ASSERT_TRUE(AddDataSetFromFile(*m_db, request));
    EXPECT_EQ(Count("FailureTimes"), 5000);
}

TEST_F(Cancel, DeleteChangesNothing) {
    ASSERT_TRUE(AddDataSetFromFile(*m_db, {"Data", RisingFile()}));
    m_cancel = true;
    EXPECT_FALSE(DeleteDataSet(*m_db, "Data", &m_cancel));
    EXPECT_EQ(m_sink.Texts().back(), "The deletion was cancelled by user action");
    EXPECT_EQ(Count("FailureTimes"), 5000);
    m_cancel = false;
    EXPECT_TRUE(DeleteDataSet(*m_db, "Data", &m_cancel));
    EXPECT_EQ(Count("FailureTimes"), 0);
}

}  // namespace
}  // namespace tamsel
