#include "cli_common.h"

#include <signal.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <istream>
#include <ostream>
#include <variant>

#include "tamsel/tables/text_table.h"

namespace tamsel::cli {
namespace {

std::string WithNewlines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trimmed(const std::string& text) {
    auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool IsNumber(const DbValue& value) {
    return std::holds_alternative<std::int64_t>(value) || std::holds_alternative<double>(value);
}

// A cell as text; Null is empty.
std::string CellText(const DbValue& value, int significantDigits) {
    if (const auto* i = std::get_if<std::int64_t>(&value)) return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&value)) return FormatNumber(*d, significantDigits);
    if (const auto* s = std::get_if<std::string>(&value)) return *s;
    return {};
}

// Terminal columns taken by UTF-8 text, counting one a code point.
std::size_t DisplayWidth(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// text with its control characters (C0, DEL and, in UTF-8, C1) as \xNN, so that a name from a
// shared file cannot move the cursor, clear the screen or retitle the terminal. Line feeds
// stay where keepLineFeeds says so.
std::string Printable(const std::string& text, bool keepLineFeeds) {
    std::string out;
    out.reserve(text.size());
    auto escape = [&out](unsigned char c) {
        constexpr char kHex[] = "0123456789abcdef";
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c == '\n' && keepLineFeeds) {
            out += '\n';
        } else if (c < 0x20 || c == 0x7f) {
            escape(c);
        } else if (c == 0xc2 && next >= 0x80 && next <= 0x9f) {
            escape(next);
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Line breaks and tabs inside a text cell would break the columns.
std::string OneLine(const std::string& text) {
    std::string out = WithNewlines(text);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    return Printable(out, false);
}

void PrintText(std::ostream& out, const RowSet& rows) {
    const std::size_t columns = rows.headings.size();
    std::vector<std::vector<std::string>> cells;
    std::vector<bool> rightAligned(columns, true);
    std::vector<std::size_t> widths(columns, 0);
    for (std::size_t c = 0; c < columns; ++c) widths[c] = DisplayWidth(rows.headings[c]);
    for (const auto& row : rows.rows) {
        std::vector<std::string>& line = cells.emplace_back();
        for (std::size_t c = 0; c < columns; ++c) {
            const DbValue& value = c < row.size() ? row[c] : DbValue{};
            if (!IsNull(value) && !IsNumber(value)) rightAligned[c] = false;
            line.push_back(OneLine(CellText(value, 0)));
            widths[c] = std::max(widths[c], DisplayWidth(line.back()));
        }
    }
    auto printLine = [&](const std::vector<std::string>& line) {
        std::string text;
        for (std::size_t c = 0; c < columns; ++c) {
            std::string padding(widths[c] - DisplayWidth(line[c]), ' ');
            if (c > 0) text += "  ";
            text += rightAligned[c] ? padding + line[c] : line[c] + padding;
        }
        text.erase(text.find_last_not_of(' ') + 1);
        out << text << '\n';
    };
    printLine(rows.headings);
    for (const auto& line : cells) printLine(line);
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + '"';
}

std::string JsonValue(const DbValue& value) {
    if (const auto* s = std::get_if<std::string>(&value)) return JsonString(*s);
    if (const auto* d = std::get_if<double>(&value); d && !std::isfinite(*d)) return "null";
    if (IsNull(value)) return "null";
    return CellText(value, 0);
}

void PrintJson(std::ostream& out, const RowSet& rows) {
    if (rows.rows.empty()) {
        out << "[]\n";
        return;
    }
    out << "[\n";
    for (std::size_t r = 0; r < rows.rows.size(); ++r) {
        out << "  {";
        for (std::size_t c = 0; c < rows.headings.size(); ++c) {
            if (c > 0) out << ", ";
            const DbValue& value = c < rows.rows[r].size() ? rows.rows[r][c] : DbValue{};
            out << JsonString(rows.headings[c]) << ": " << JsonValue(value);
        }
        out << (r + 1 < rows.rows.size() ? "},\n" : "}\n");
    }
    out << "]\n";
}

std::atomic<bool> g_cancel{false};

void OnInterrupt(int) { g_cancel.store(true); }

}  // namespace

CliMessageSink::CliMessageSink(std::ostream& err, std::istream& in, bool inputIsTerminal)
    : m_err(err), m_in(in), m_inputIsTerminal(inputIsTerminal) {}

MessageAnswer CliMessageSink::Show(const std::string& text, MessageButtons buttons, MessageIcon) {
    m_err << Printable(WithNewlines(text), true) << '\n';
    if (buttons == MessageButtons::Ok) {
        m_err.flush();
        return MessageAnswer::Ok;
    }
    bool yes = AnswerIsYes(buttons);
    if (buttons == MessageButtons::YesNo) return yes ? MessageAnswer::Yes : MessageAnswer::No;
    return yes ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

bool CliMessageSink::AnswerIsYes(MessageButtons buttons) {
    const bool yesNo = buttons == MessageButtons::YesNo;
    const std::string yesWord = yesNo ? "yes" : "ok";
    const std::string noWord = yesNo ? "no" : "cancel";
    switch (m_policy) {
        case AnswerPolicy::Yes:
            m_err << "> " << yesWord << " (--yes)\n";
            return true;
        case AnswerPolicy::No:
            m_err << "> " << noWord << " (--no)\n";
            return false;
        case AnswerPolicy::Ask:
            break;
    }
    if (!m_inputIsTerminal) {
        m_err << "> " << noWord << " (no terminal to ask: use --yes or --no)\n";
        return false;
    }
    m_err << (yesNo ? "[y/N] " : "[o/C] ") << std::flush;
    std::string line;
    if (!std::getline(m_in, line)) return false;
    std::string answer = Lowered(Trimmed(line));
    return answer == yesWord || answer == yesWord.substr(0, 1);
}

void AddAnswerOptions(CLI::App& command, AnswerPolicy& policy) {
    CLI::Option* yes = command.add_flag_callback(
        "--yes", [&policy] { policy = AnswerPolicy::Yes; }, "answer Yes to every question");
    CLI::Option* no = command.add_flag_callback(
        "--no", [&policy] { policy = AnswerPolicy::No; }, "answer No to every question");
    yes->excludes(no);
    no->excludes(yes);
}

void AddProjectOption(CLI::App& command, std::string& db) {
    command.add_option("DB", db, "project file or server URI")->required();
}

void AddFormatOption(CLI::App& command, TableFormat& format) {
    AddChoiceOption(command, "--format",
                    "table layout (default text; zones: the saved table's print zones)", format,
                    {{"text", TableFormat::Text},
                     {"csv", TableFormat::Csv},
                     {"json", TableFormat::Json},
                     {"zones", TableFormat::Zones}});
}

void AddColumnsFooter(CLI::App& command, TableKind kind,
                      std::initializer_list<std::string_view> headings) {
    std::string footer = "Columns:";
    for (std::string_view heading : headings) {
        footer += "\n  " + std::string(heading) + ": " + ColumnNote(kind, heading, nullptr);
    }
    command.footer(footer);
}

std::string FormatNumber(double value, int significantDigits) {
    return FormatTableNumber(value, significantDigits);
}

void PrintTable(std::ostream& out, const RowSet& rows, TableFormat format) {
    switch (format) {
        case TableFormat::Text:
            PrintText(out, rows);
            break;
        case TableFormat::Csv:
            WriteCsvTable(out, rows);
            break;
        case TableFormat::Json:
            PrintJson(out, rows);
            break;
        case TableFormat::Zones:
            WriteTextTable(out, rows);
            break;
    }
    out.flush();
}

int WithProjectDatabase(const std::string& fileName, const std::function<int(Database&)>& work) {
    std::unique_ptr<Database> db = OpenProject(fileName);
    if (!db) return kExitFailure;
    return work(*db);
}

TerminalProgress::TerminalProgress(std::ostream& out, bool isTerminal, int width)
    : m_out(out), m_isTerminal(isTerminal), m_width(width) {}

void TerminalProgress::OnStart(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = maximum;
    m_drawn = -1;
    Draw(minimum);
}

void TerminalProgress::OnStep(int value) { Draw(value); }

void TerminalProgress::OnEnd() {
    if (m_isTerminal && m_drawn >= 0) m_out << '\n' << std::flush;
    m_drawn = -1;
}

void TerminalProgress::Draw(int value) {
    if (!m_isTerminal) return;
    const int reached = std::clamp(value, m_minimum, std::max(m_minimum, m_maximum));
    if (reached == m_drawn) return;
    m_drawn = reached;
    const long long span = static_cast<long long>(m_maximum) - m_minimum;
    const int filled =
        span > 0 ? static_cast<int>((reached - m_minimum) * static_cast<long long>(m_width) / span)
                 : m_width;
    std::string bar(static_cast<std::size_t>(filled), '=');
    if (filled < m_width)
        bar += '>' + std::string(static_cast<std::size_t>(m_width - filled - 1), ' ');
    m_out << '\r' << m_task << (m_task.empty() ? "" : " ") << '[' << bar << "] " << reached << '/'
          << m_maximum << std::flush;
}

std::atomic<bool>& CancelFlag() { return g_cancel; }

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // The first Ctrl-C asks the work to stop; the handler is then reset, so a second one
    // ends the program.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace tamsel::cli
