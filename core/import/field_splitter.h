// Splitting text into rows of fields, line numbers kept, for the table reader.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tamsel/import/table_reader.h"

struct csv_parser;

namespace tamsel {

// Turns CR LF and CR into LF, drops a leading UTF-8 byte order mark and finds control
// characters, chunk by chunk.
class LineEndNormaliser {
  public:
    // Appends the normalised chunk to out. False when chunk holds a control character;
    // FaultLine() and FaultByte() then say where and which.
    bool Feed(std::string_view chunk, std::string& out);
    std::size_t FaultLine() const { return m_line; }
    unsigned char FaultByte() const { return m_faultByte; }

  private:
    std::string m_start;  // the first bytes, until a byte order mark can be told
    bool m_started = false;
    bool m_afterCr = false;
    std::size_t m_line = 1;
    unsigned char m_faultByte = 0;
};

// The fields of a line separated by runs of blanks. A date followed by a time stays one
// field, and quotes around a field are dropped.
void SplitAtBlanks(std::string_view line, std::vector<std::string_view>& fields);

// Receives each row that holds a field, with the line it starts on; false stops the split.
using RowHandler = std::function<bool(std::size_t line, std::span<const std::string> fields)>;

// Splits LF-ended text into rows: RFC 4180 fields for a delimiter character, or runs of
// blanks. Fields come without the blanks around them.
class FieldSplitter {
  public:
    enum class Status { Ok, Stopped, UnclosedQuote, MisplacedQuote };

    FieldSplitter(Delimiter delimiter, RowHandler handler);
    ~FieldSplitter();
    FieldSplitter(const FieldSplitter&) = delete;
    FieldSplitter& operator=(const FieldSplitter&) = delete;

    Status Feed(std::string_view text);
    Status Finish();
    // The line where a quote went wrong.
    std::size_t Line() const { return m_rowLine; }

  private:
    static void OnField(void* data, std::size_t size, void* self);
    static void OnRowEnd(int terminator, void* self);
    void AddField(std::string_view text);
    void EndRow(bool lineEnd);
    Status FeedBlanks(std::string_view text);

    Delimiter m_delimiter;
    RowHandler m_handler;
    csv_parser* m_parser = nullptr;
    std::vector<std::string> m_fields;  // reused, so that their storage is too
    std::size_t m_count = 0;
    std::size_t m_line = 1;
    std::size_t m_rowLine = 1;
    std::string m_pendingLine;  // a blank-separated line not yet ended
    std::vector<std::string_view> m_blankFields;
    bool m_stopped = false;
};

}  // namespace tamsel
