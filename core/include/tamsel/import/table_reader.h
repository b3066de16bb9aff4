// Reading a data file as a table: the delimiter, an optional header line, the column of
// failure times, decimal commas and date-times. One pure function from bytes and options to
// a result, shared by the import, `tamsel-cli inspect` and the import preview.
//
// Lexical rules. Fields are separated by commas, semicolons, tabs, runs of blanks or pipes; lines
// end with LF, CR LF or CR. Comma, semicolon and tab fields follow RFC 4180 (double quotes
// keep delimiters and line ends inside a field). Blanks around a field and empty lines are
// ignored, and so is a UTF-8 byte order mark. A number is a finite decimal with an optional
// sign and exponent; "nan", "inf", hexadecimal forms and numbers beyond the range of a
// double are not. A byte that is a control character (other than tab, CR and LF) marks a
// file that is not text.
//
// Files of one number a line, and a file of one line of comma-separated numbers, read as
// they always have: every item a failure. A table must name its column of failure times
// unless it holds only one numeric (or date-time) column, or an index column 1, 2, ... n
// and one other.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tamsel/import/data_file.h"

namespace tamsel {

enum class Delimiter { Auto, Comma, Semicolon, Tab, Blanks, Pipe };
enum class HeaderChoice { Auto, Present, Absent };
enum class TimeUnit { Seconds, Minutes, Hours, Days };

// How a column of date-times becomes cumulative times.
struct TimestampOptions {
    std::string origin;            // the start of testing, a date-time as in the file
    std::string timeZone = "UTC";  // IANA name, for date-times written without a zone
    TimeUnit unit = TimeUnit::Hours;
};

struct TableOptions {
    Delimiter delimiter = Delimiter::Auto;
    HeaderChoice header = HeaderChoice::Auto;
    std::string column;         // a header name or a number from 1; empty: the reader chooses
    bool decimalComma = false;  // also switched on for semicolon files of comma numbers
    // Points are decimal points even in a semicolon-separated file, where "1.234" is refused
    // unless another number shows it ("2.5"); no decimal commas are looked for.
    bool decimalPoint = false;
    std::optional<TimestampOptions> timestamps;  // needed to read a date-time column
    std::size_t maxItems = kMaxDataItems;
    const std::atomic<bool>* cancel = nullptr;  // when set, the reading stops at its next chunk
};

enum class ColumnType { Empty, Number, DateTime, Text };

struct TableColumn {
    std::string name;  // the header field, or "" without a header
    ColumnType type = ColumnType::Empty;
};

// How the file was read: what `inspect` and the preview show.
struct TableSummary {
    Delimiter delimiter = Delimiter::Comma;
    bool header = false;
    bool decimalComma = false;
    std::vector<TableColumn> columns;
    std::vector<std::vector<std::string>> firstRows;  // up to kPreviewRows rows after the header
    std::optional<std::size_t> chosenColumn;          // from 0
    std::vector<std::string> notes;                   // choices worth telling the user
    std::string timeBase;   // "hours from 2024-03-01T07:00:00Z (Europe/Berlin)" for date-times
    std::string originUtc;  // the origin as an ISO 8601 UTC date-time, for date-times
    std::string timeZone;   // the zone of date-times without one, for date-times
};

inline constexpr std::size_t kPreviewRows = 20;

// Why a file was refused: which of the import's messages, where, and what to do.
struct TableRefusal {
    DataFault fault = DataFault::UnknownFormat;
    bool whileReading = true;  // the reading message rather than the validation message
    std::string detail;        // "Line 4, column 2: 'five' is not a number. ..."
    // The column holds date-times that read once TableOptions::timestamps gives an origin: the
    // refusal only asks for it.
    bool wantsOrigin = false;
};

struct TableResult {
    TableSummary summary;
    std::vector<double> values;  // in file order; date-times sorted; empty on refusal
    std::optional<TableRefusal> refusal;
    bool cancelled = false;  // stopped by options.cancel; then no values and no refusal
};

// Supplies the next bytes into buffer (at most size) and returns how many; 0 at the end.
using ByteSource = std::function<std::size_t(char* buffer, std::size_t size)>;

TableResult ReadTable(const ByteSource& source, const TableOptions& options);
TableResult ReadTableText(std::string_view text, const TableOptions& options = {});
// Reads the file in chunks, refusing at the first fault. A missing file, a file that is not
// a regular file (directory, pipe, device) and one the system will not read are refused with
// the path and the reason, before anything is read.
TableResult ReadTableFile(const std::string& fileName, const TableOptions& options = {});

std::string_view DelimiterName(Delimiter delimiter);
std::string_view ColumnTypeName(ColumnType type);
std::string_view TimeUnitName(TimeUnit unit);

}  // namespace tamsel
