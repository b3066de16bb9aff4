#include "field_splitter.h"

#include <csv.h>
#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <functional>
#include <new>
#include <optional>
#include <stdexcept>

#include "words.h"

namespace tamsel {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";
// Ctrl-Z, which DOS programs wrote after the end of a text file.
constexpr unsigned char kEndOfFileMark = 0x1A;
// Enough of a file's start to tell its encoding.
constexpr std::size_t kStartBytes = 4;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Trims no-break spaces too, for the rare field with a byte beyond ASCII at an end.
std::string_view TrimAllBlanks(std::string_view text) {
    bool trimmed = true;
    while (trimmed && !text.empty()) {
        trimmed = false;
        for (std::string_view space : kNoBreakSpaces) {
            if (text.starts_with(space)) {
                text.remove_prefix(space.size());
                trimmed = true;
            }
            if (text.ends_with(space)) {
                text.remove_suffix(space.size());
                trimmed = true;
            }
        }
        while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
        while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    }
    return text;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    const auto ascii = [](char c) { return static_cast<unsigned char>(c) < 0x80; };
    if (text.empty() || (ascii(text.front()) && ascii(text.back()))) return text;
    return TrimAllBlanks(text);
}

// Tab-separated fields keep their tabs as delimiters, not as blanks to drop.
int IsSpaceOnly(unsigned char c) { return c == ' '; }
int IsSpaceOrTab(unsigned char c) { return c == ' ' || c == '\t'; }

bool IsForeignControl(unsigned char byte) {
    return (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7F;
}

// Whether start is two characters of UTF-16 without a byte order mark: printable ASCII (or a
// blank or line end after the first) beside a zero byte, the zero first when big-endian. A
// file of failure times holds no zero bytes otherwise.
bool LooksLikeUtf16(std::string_view start, bool bigEndian) {
    if (start.size() < kStartBytes) return false;
    for (std::size_t k = 0; k < kStartBytes; k += 2) {
        const auto high = static_cast<unsigned char>(start[k + (bigEndian ? 0 : 1)]);
        const auto low = static_cast<unsigned char>(start[k + (bigEndian ? 1 : 0)]);
        const bool printable =
            (low >= 0x20 && low < 0x7F) || (k > 0 && (low == '\t' || low == '\r' || low == '\n'));
        if (high != 0 || !printable) return false;
    }
    return true;
}

// The error values a spreadsheet writes into a cell it cannot compute ("#N/A", "#DIV/0!"):
// a value to refuse where it stands, not a comment.
constexpr std::string_view kSpreadsheetErrors[] = {"#N/A",    "#NA",    "#VALUE!",      "#DIV/0!",
                                                   "#REF!",   "#NAME?", "#NUM!",        "#NULL!",
                                                   "#SPILL!", "#CALC!", "#GETTING_DATA"};
constexpr std::size_t kLongestSpreadsheetError = 13;

// Whether c ends what follows a '#' at the start of a line, as far as telling a spreadsheet's
// error value from a comment goes.
bool EndsHeldField(char c) {
    return c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\n' || c == '\r' ||
           IsForeignControl(static_cast<unsigned char>(c));
}

// "2024-03-01" and "08:00" are one date-time, not two fields.
bool IsDateThenTime(std::string_view date, std::string_view time) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return date.size() == 10 && date[4] == '-' && date[7] == '-' && digit(date[0]) &&
           !time.empty() && digit(time.front()) && time.find(':') != std::string_view::npos;
}

// "+0100", "-05:00", "+01", "Z" or "UTC" after a date-time belong to it: a signed number of
// two digits there is an offset (read apart, it would leave the date-time in the wrong zone).
bool IsZone(std::string_view field) {
    if (field == "Z" || field == "UTC" || field == "GMT") return true;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const bool isSigned = !field.empty() && (field.front() == '+' || field.front() == '-');
    const bool digitsOnly = std::all_of(field.begin() + (isSigned ? 1 : 0), field.end(), digit);
    return isSigned && ((digitsOnly && (field.size() == 3 || field.size() == 5)) ||
                        (field.size() == 6 && field[3] == ':' && digit(field[1]) &&
                         digit(field[2]) && digit(field[4]) && digit(field[5])));
}

// "PM" after a date-time belongs to it: read apart, it would leave 9:15 PM at 9:15.
bool IsMeridiem(std::string_view field) {
    static constexpr std::string_view kMarks[] = {"am", "pm", "a.m.", "p.m."};
    return IsOneOf(field, kMarks);
}

// psql's count below its tables: "(1 row)", "(3 rows)".
bool IsRowCount(std::string_view line) {
    line = TrimBlanks(line);
    if (!line.starts_with('(') || !(line.ends_with(" rows)") || line.ends_with(" row)"))) {
        return false;
    }
    const std::string_view count = line.substr(1, line.find(' ') - 1);
    return !count.empty() && std::all_of(count.begin(), count.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

}  // namespace

void SplitAtBlanks(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    const char* dateStart = nullptr;
    const char* dateTimeStart = nullptr;  // of the date-time just joined, which a zone may follow
    while (true) {
        line = TrimBlanks(line);
        if (line.empty()) break;
        std::size_t stop = 0;
        while (stop < line.size() && !IsBlank(line[stop])) ++stop;
        std::string_view field = line.substr(0, stop);
        if (!fields.empty() && dateStart && IsDateThenTime(fields.back(), field)) {
            fields.back() = std::string_view(dateStart, field.data() + field.size() - dateStart);
            dateTimeStart = dateStart;
            dateStart = nullptr;
        } else if (dateTimeStart && (IsZone(field) || IsMeridiem(field))) {
            fields.back() =
                std::string_view(dateTimeStart, field.data() + field.size() - dateTimeStart);
            // A zone may follow "PM".
            if (!IsMeridiem(field)) dateTimeStart = nullptr;
        } else {
            dateTimeStart = nullptr;
            // Quotes around a blank-separated field are a courtesy of the writer.
            if (field.size() >= 2 && field.front() == '"' && field.back() == '"') {
                field = field.substr(1, field.size() - 2);
            }
            fields.push_back(field);
            dateStart = field.data();
            // "2024-03-01T09:15" is a date-time already, which "PM" or a zone may follow.
            if (field.size() > 11 && (field[10] == 'T' || field[10] == 't') &&
                IsDateThenTime(field.substr(0, 10), field.substr(11))) {
                dateTimeStart = field.data();
            }
        }
        line.remove_prefix(stop);
    }
}

void SplitAtPipes(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    line = TrimBlanks(line);
    if (line.starts_with('|')) line.remove_prefix(1);
    if (line.ends_with('|')) line.remove_suffix(1);
    while (true) {
        const std::size_t pipe = line.find('|');
        fields.push_back(TrimBlanks(line.substr(0, pipe)));
        if (pipe == std::string_view::npos) break;
        line.remove_prefix(pipe + 1);
    }
}

bool IsRuleLine(std::string_view line) {
    std::size_t marks = 0;
    for (char c : line) {
        if (c == '-' || c == '=' || c == ':' || c == '+' || c == '|') {
            ++marks;
        } else if (!IsBlank(c)) {
            return false;
        }
    }
    return marks >= 3;
}

Utf16Decoder::Utf16Decoder(bool bigEndian)
    : m_convert(iconv_open("UTF-8", bigEndian ? "UTF-16BE" : "UTF-16LE")) {
    if (m_convert == reinterpret_cast<void*>(-1)) throw std::runtime_error("no UTF-16 decoder");
}

Utf16Decoder::~Utf16Decoder() { iconv_close(static_cast<iconv_t>(m_convert)); }

bool Utf16Decoder::Feed(std::string_view chunk, std::string& out) {
    if (chunk.empty()) return m_pending.empty();
    m_pending.append(chunk);
    // Two bytes of UTF-16 are at most three of UTF-8, and four at most four.
    const std::size_t start = out.size();
    out.resize(start + m_pending.size() * 3 / 2 + 4);
    char* in = m_pending.data();
    std::size_t inLeft = m_pending.size();
    char* to = out.data() + start;
    std::size_t toLeft = out.size() - start;
    const std::size_t done = iconv(static_cast<iconv_t>(m_convert), &in, &inLeft, &to, &toLeft);
    out.resize(static_cast<std::size_t>(to - out.data()));
    // EINVAL: the chunk ends inside a character, whose bytes wait for the next.
    if (done == static_cast<std::size_t>(-1) && errno != EINVAL) return false;
    m_pending.erase(0, m_pending.size() - inLeft);
    return true;
}

bool LineEndNormaliser::Feed(std::string_view chunk, std::string& out) {
    if (!m_started) {
        // Hold the first bytes back until they show the encoding.
        m_start.append(chunk);
        if (m_start.size() < kStartBytes && !chunk.empty()) return true;
        m_started = true;
        std::string start = std::move(m_start);
        std::string_view text = start;
        if (text.starts_with(kByteOrderMark)) {
            text.remove_prefix(kByteOrderMark.size());
        } else if (text.starts_with(kUtf16LittleEndianMark) ||
                   text.starts_with(kUtf16BigEndianMark)) {
            m_utf16 = std::make_unique<Utf16Decoder>(text.starts_with(kUtf16BigEndianMark));
            text.remove_prefix(kUtf16LittleEndianMark.size());
        } else if (LooksLikeUtf16(text, false) || LooksLikeUtf16(text, true)) {
            m_utf16 = std::make_unique<Utf16Decoder>(LooksLikeUtf16(text, true));
        }
        const bool clean = Feed(text, out);
        return clean && (!chunk.empty() || text.empty() || Feed({}, out));
    }
    if (!m_utf16) {
        const bool clean = Normalise(chunk, out);
        if (chunk.empty()) EndHeld(out);
        return clean;
    }
    // The characters before a broken one are read first, so that its line is known.
    std::string text;
    const bool whole = m_utf16->Feed(chunk, text);
    if (!Normalise(text, out)) return false;
    if (chunk.empty()) EndHeld(out);
    m_brokenCharacter = !whole;
    return whole;
}

void LineEndNormaliser::EndHeld(std::string& out) {
    if (!m_holding) return;
    m_holding = false;
    const bool errorValue = std::find(std::begin(kSpreadsheetErrors), std::end(kSpreadsheetErrors),
                                      m_held) != std::end(kSpreadsheetErrors);
    if (errorValue) {
        out.append(m_held);
    } else {
        m_inComment = true;
        ++m_commentLines;
    }
    m_held.clear();
}

bool LineEndNormaliser::Normalise(std::string_view chunk, std::string& out) {
    out.reserve(out.size() + chunk.size());
    while (!chunk.empty()) {
        if (m_endMarked) {
            // Text after the end-of-file mark: the mark was no end.
            m_faultByte = kEndOfFileMark;
            return false;
        }
        if (m_holding) {
            // A '#' opened the line: a comment, or a spreadsheet's error value in the first cell.
            if (!EndsHeldField(chunk.front()) && m_held.size() < kLongestSpreadsheetError) {
                m_held.push_back(chunk.front());
                chunk.remove_prefix(1);
            } else {
                EndHeld(out);
            }
            continue;
        }
        // Ordinary text is copied in runs; only line ends, control bytes and a '#' that opens
        // a line outside a quoted field need a look.
        std::size_t run = 0;
        while (run < chunk.size() && static_cast<unsigned char>(chunk[run]) >= 0x20 &&
               chunk[run] != 0x7F) {
            if (m_lineStart && chunk[run] != ' ') {
                if (chunk[run] == '#' && !m_quoted) break;
                m_lineStart = false;
            }
            if (chunk[run] == '"' && !m_inComment && m_quotesSpanLines) m_quoted = !m_quoted;
            ++run;
        }
        if (run > 0) {
            if (!m_inComment) out.append(chunk.substr(0, run));
            m_afterCr = false;
            chunk.remove_prefix(run);
            continue;
        }
        const char c = chunk.front();
        chunk.remove_prefix(1);
        auto byte = static_cast<unsigned char>(c);
        if (c == '#') {
            // Unless it is an error value, the rest of the line is a comment: its line end
            // stays, so line numbers do.
            m_holding = true;
            m_held = "#";
            m_lineStart = false;
            m_afterCr = false;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' || !m_afterCr) {
                out.push_back('\n');
                ++m_line;
            }
            m_afterCr = c == '\r';
            m_lineStart = true;
            m_inComment = false;
        } else if (byte == kEndOfFileMark) {
            m_endMarked = true;
        } else if (IsForeignControl(byte)) {
            m_faultByte = byte;
            return false;
        } else {
            if (!m_inComment) out.push_back(c);
            m_afterCr = false;
        }
    }
    return true;
}

FieldSplitter::FieldSplitter(Delimiter delimiter, RowHandler handler)
    : m_handler(std::move(handler)), m_delimiter(delimiter) {
    if (delimiter == Delimiter::Blanks || delimiter == Delimiter::Pipe) return;
    m_parser = new csv_parser;
    if (csv_init(m_parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0) {
        delete m_parser;
        throw std::bad_alloc();
    }
    csv_set_delim(m_parser, delimiter == Delimiter::Semicolon ? ';'
                            : delimiter == Delimiter::Tab     ? '\t'
                                                              : ',');
    csv_set_space_func(m_parser, delimiter == Delimiter::Tab ? IsSpaceOnly : IsSpaceOrTab);
}

FieldSplitter::~FieldSplitter() {
    if (m_parser) {
        csv_free(m_parser);
        delete m_parser;
    }
}

void FieldSplitter::AddField(std::string_view text) {
    if (m_count == 0) m_rowLine = m_line;
    // A quoted field may span lines; the next row starts below it.
    m_line += static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    text = TrimBlanks(text);
    if (m_count < m_fields.size()) {
        m_fields[m_count].assign(text);
    } else {
        m_fields.emplace_back(text);
    }
    ++m_count;
}

void FieldSplitter::EndRow(bool lineEnd) {
    if (m_count > 0 && !m_stopped) {
        std::span<const std::string> fields(m_fields.data(), m_count);
        bool blank = std::all_of(fields.begin(), fields.end(),
                                 [](const std::string& field) { return field.empty(); });
        if (!blank && !m_handler(m_rowLine, fields)) m_stopped = true;
    }
    m_count = 0;
    if (lineEnd) ++m_line;
    m_rowLine = m_line;
}

void FieldSplitter::OnField(void* data, std::size_t size, void* self) {
    static_cast<FieldSplitter*>(self)->AddField(
        std::string_view(static_cast<const char*>(data), size));
}

void FieldSplitter::OnRowEnd(int terminator, void* self) {
    static_cast<FieldSplitter*>(self)->EndRow(terminator == '\n');
}

FieldSplitter::Status FieldSplitter::FeedLines(std::string_view text) {
    while (!text.empty() && !m_stopped) {
        std::size_t end = text.find('\n');
        m_pendingLine.append(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
        if (IsRuleLine(m_pendingLine) || IsRowCount(m_pendingLine)) {
            ++m_ruleLines;
        } else if (m_delimiter == Delimiter::Pipe) {
            SplitAtPipes(m_pendingLine, m_lineFields);
        } else {
            SplitAtBlanks(m_pendingLine, m_lineFields);
        }
        for (std::string_view field : m_lineFields) AddField(field);
        m_lineFields.clear();
        EndRow(true);
        m_pendingLine.clear();
    }
    return m_stopped ? Status::Stopped : Status::Ok;
}

FieldSplitter::Status FieldSplitter::Feed(std::string_view text) {
    if (m_stopped) return Status::Stopped;
    if (!m_parser) return FeedLines(text);
    if (csv_parse(m_parser, text.data(), text.size(), OnField, OnRowEnd, this) != text.size()) {
        if (csv_error(m_parser) == CSV_ENOMEM) throw std::bad_alloc();
        return Status::MisplacedQuote;
    }
    return m_stopped ? Status::Stopped : Status::Ok;
}

FieldSplitter::Status FieldSplitter::Finish() {
    if (m_stopped) return Status::Stopped;
    if (!m_parser) return FeedLines("\n");
    if (csv_fini(m_parser, OnField, OnRowEnd, this) != 0) return Status::UnclosedQuote;
    return m_stopped ? Status::Stopped : Status::Ok;
}

namespace {

// The delimiter counted outside quotes on each line of the sample.
std::size_t CountOutsideQuotes(std::string_view line, char delimiter) {
    std::size_t count = 0;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') quoted = !quoted;
        if (c == delimiter && !quoted) ++count;
    }
    return count;
}

std::size_t CountBlankFields(std::string_view line) {
    std::vector<std::string_view> fields;
    SplitAtBlanks(line, fields);
    return fields.size();
}

}  // namespace

std::optional<Delimiter> NamedDelimiter(std::string_view text) {
    const std::string_view line = text.substr(0, text.find('\n'));
    if (line.size() != 5 || !(line.starts_with("sep=") || line.starts_with("SEP="))) {
        return std::nullopt;
    }
    switch (line.back()) {
        case ',':
            return Delimiter::Comma;
        case ';':
            return Delimiter::Semicolon;
        case '\t':
            return Delimiter::Tab;
        default:
            return std::nullopt;
    }
}

Delimiter DetectDelimiter(std::string_view sample, std::size_t maxLines) {
    // Lines for blanks and pipes; records for the delimiters of RFC 4180, whose quoted fields
    // may hold line ends.
    std::vector<std::string_view> lines;
    std::vector<std::string_view> records;
    const char* recordStart = nullptr;
    bool quoted = false;
    // Blanks at the ends of a line say nothing about the delimiter, nor do rule lines.
    auto keep = [](std::vector<std::string_view>& kept, std::string_view line) {
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || IsRuleLine(line)) return;
        kept.push_back(line.substr(first, line.find_last_not_of(" \t") - first + 1));
    };
    while (!sample.empty() && lines.size() < maxLines) {
        std::size_t end = sample.find('\n');
        std::string_view line = sample.substr(0, end);
        keep(lines, line);
        if (!quoted) recordStart = line.data();
        quoted = quoted != (std::count(line.begin(), line.end(), '"') % 2 == 1);
        if (!quoted) {
            keep(records, std::string_view(recordStart, line.data() + line.size() - recordStart));
        }
        if (end == std::string_view::npos) break;
        sample.remove_prefix(end + 1);
    }
    struct Candidate {
        Delimiter delimiter;
        std::function<std::size_t(std::string_view)> count;
        std::size_t least;  // the count that shows the delimiter in use
        const std::vector<std::string_view>& rows;
    };
    const std::vector<Candidate> candidates{
        {Delimiter::Tab, [](std::string_view l) { return CountOutsideQuotes(l, '\t'); }, 1,
         records},
        {Delimiter::Semicolon, [](std::string_view l) { return CountOutsideQuotes(l, ';'); }, 1,
         records},
        {Delimiter::Comma, [](std::string_view l) { return CountOutsideQuotes(l, ','); }, 1,
         records},
        {Delimiter::Pipe,
         [](std::string_view l) { return std::size_t(std::count(l.begin(), l.end(), '|')); }, 1,
         lines},
        {Delimiter::Blanks, CountBlankFields, 2, lines}};
    for (const Candidate& candidate : candidates) {
        const auto& rows = candidate.rows;
        std::size_t first = rows.empty() ? 0 : candidate.count(rows.front());
        bool same = first >= candidate.least &&
                    std::all_of(rows.begin(), rows.end(),
                                [&](std::string_view l) { return candidate.count(l) == first; });
        if (same) return candidate.delimiter;
    }
    for (const Candidate& candidate : candidates) {
        const auto inUse = std::count_if(
            candidate.rows.begin(), candidate.rows.end(),
            [&](std::string_view l) { return candidate.count(l) >= candidate.least; });
        // A pipe in a title makes no pipe table.
        const bool enough = candidate.delimiter == Delimiter::Pipe
                                ? 2 * std::size_t(inUse) > candidate.rows.size()
                                : inUse > 0;
        if (enough) return candidate.delimiter;
    }
    return Delimiter::Comma;
}

}  // namespace tamsel
