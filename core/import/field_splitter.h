// Splitting text into rows of fields, line numbers kept, for the table reader.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tamsel/import/table_reader.h"

struct csv_parser;

namespace tamsel {

// The no-break spaces that spreadsheets and web pages leave around and inside numbers: U+00A0,
// and U+202F that French spreadsheets group digits with. Blanks to the reader.
inline constexpr std::string_view kNoBreakSpaces[] = {"\xC2\xA0", "\xE2\x80\xAF"};

// UTF-16 text turned into UTF-8 as it arrives, a code unit cut by a chunk's end kept for the
// next chunk.
class Utf16Decoder {
  public:
    explicit Utf16Decoder(bool bigEndian);
    ~Utf16Decoder();
    Utf16Decoder(const Utf16Decoder&) = delete;
    Utf16Decoder& operator=(const Utf16Decoder&) = delete;

    // Appends the characters of chunk to out; false at a code unit that is no character (a
    // lone surrogate), and at the end (an empty chunk) when the text stops inside one.
    bool Feed(std::string_view chunk, std::string& out);

  private:
    void* m_convert;  // iconv_t
    std::string m_pending;
};

// Turns CR LF and CR into LF, reads UTF-8 (a leading byte order mark dropped) or UTF-16 (told
// by its byte order mark, or by the zero bytes of its first two characters), leaves out
// comments (a line whose first character after any spaces is '#', as R and gnuplot write
// them, outside a quoted field and other than a spreadsheet's error value such as "#N/A";
// its line end stays), drops a DOS end-of-file mark (Ctrl-Z) at the very end and finds control
// characters, chunk by chunk; an empty chunk ends the text.
class LineEndNormaliser {
  public:
    // quotesSpanLines: a double quote opens a field that may hold line ends (and '#' lines), as
    // in comma, semicolon and tab files; in blank- and pipe-separated files it never does.
    explicit LineEndNormaliser(bool quotesSpanLines = true) : m_quotesSpanLines(quotesSpanLines) {}

    // Appends the normalised chunk to out. False when chunk holds a control character or
    // broken UTF-16; FaultLine(), and FaultByte() or BrokenCharacter(), then say where and which.
    bool Feed(std::string_view chunk, std::string& out);
    std::size_t FaultLine() const { return m_line; }
    unsigned char FaultByte() const { return m_faultByte; }
    bool BrokenCharacter() const { return m_brokenCharacter; }
    bool ReadsUtf16() const { return m_utf16 != nullptr; }
    std::size_t CommentLines() const { return m_commentLines; }

  private:
    bool Normalise(std::string_view text, std::string& out);
    // Decides what the held '#' opened: an error value goes to out, anything else a comment.
    void EndHeld(std::string& out);

    bool m_quotesSpanLines;
    std::string m_start;  // the first bytes, until the encoding can be told
    bool m_started = false;
    std::unique_ptr<Utf16Decoder> m_utf16;
    bool m_afterCr = false;
    bool m_lineStart = true;  // nothing but spaces on this line yet
    bool m_inComment = false;
    bool m_endMarked = false;  // after a Ctrl-Z, nothing may follow
    bool m_quoted = false;     // inside a double-quoted field, where '#' opens no comment
    bool m_holding = false;    // m_held is a '#' that opened a line and what follows it
    std::string m_held;
    std::size_t m_commentLines = 0;
    std::size_t m_line = 1;
    unsigned char m_faultByte = 0;
    bool m_brokenCharacter = false;
};

// The fields of a line separated by runs of blanks. A date followed by a time, and by a zone
// ("+0100", "+01", "UTC") or by AM or PM, stays one field, and quotes around a field are dropped.
void SplitAtBlanks(std::string_view line, std::vector<std::string_view>& fields);

// The cells of a line of a pipe table ("| 1 | 3.5 |", as Markdown, Org and psql write them),
// without the pipes at its ends.
void SplitAtPipes(std::string_view line, std::vector<std::string_view>& fields);

// Whether line only draws the table ("|---|:--:|", "-----+-----", "=====  ====="): dashes,
// equals signs, colons, pluses and pipes between blanks, at least three of them.
bool IsRuleLine(std::string_view line);

// The delimiter a first line such as "sep=;" names, as spreadsheets write it for themselves.
std::optional<Delimiter> NamedDelimiter(std::string_view text);

// The delimiter that splits each of the first maxLines lines of sample (blank lines and rule
// lines not counted; for commas, semicolons and tabs, records whose quotes hold line ends)
// into the same number of fields, in the order tab, semicolon, comma, pipe, blanks; failing
// that, the first that occurs at all (pipes on most lines).
Delimiter DetectDelimiter(std::string_view sample, std::size_t maxLines);

// Receives each row that holds a field, with the line it starts on; false stops the split.
using RowHandler = std::function<bool(std::size_t line, std::span<const std::string> fields)>;

// Splits LF-ended text into rows: RFC 4180 fields for a delimiter character, runs of blanks,
// or the cells of a pipe table. Fields come without the blanks around them. In blank- and
// pipe-separated text, rule lines and psql's "(3 rows)" below a table are left out.
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
    // The blank- or pipe-separated line whose row the handler receives, as written.
    std::string_view LineText() const { return m_pendingLine; }
    // The lines left out as drawing of the table.
    std::size_t RuleLines() const { return m_ruleLines; }

  private:
    static void OnField(void* data, std::size_t size, void* self);
    static void OnRowEnd(int terminator, void* self);
    void AddField(std::string_view text);
    void EndRow(bool lineEnd);
    Status FeedLines(std::string_view text);

    RowHandler m_handler;
    csv_parser* m_parser = nullptr;
    std::vector<std::string> m_fields;  // reused, so that their storage is too
    std::size_t m_count = 0;
    std::size_t m_line = 1;
    std::size_t m_rowLine = 1;
    Delimiter m_delimiter;
    std::size_t m_ruleLines = 0;
    std::string m_pendingLine;  // a blank- or pipe-separated line not yet ended
    std::vector<std::string_view> m_lineFields;
    bool m_stopped = false;
};

}  // namespace tamsel
