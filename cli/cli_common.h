// What every command of tamsel-cli shares: exit codes, the message sink that prints to
// stderr and answers questions, the table printer with its one number format, opening a
// project file, a progress bar on stderr and Ctrl-C as a cancel request.
#pragma once

#include <CLI/CLI.hpp>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tamsel/workbench/project.h"
#include "tamsel/workbench/table_views.h"

namespace tamsel::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // refused or failed: the message is on stderr
inline constexpr int kExitUsage = 2;

// How questions are answered: from --yes or --no, or asked on the terminal. When input is
// not a terminal, Ask gives the cautious answer (No, Cancel).
enum class AnswerPolicy { Yes, No, Ask };

// Prints every message to err, its CR LF line breaks as newlines. A question is printed
// followed by the answer it got, so that a log shows what was decided.
class CliMessageSink : public MessageSink {
  public:
    CliMessageSink(std::ostream& err, std::istream& in, bool inputIsTerminal);
    MessageAnswer Show(const std::string& text, MessageButtons buttons, MessageIcon icon) override;
    void SetPolicy(AnswerPolicy policy) { m_policy = policy; }

  private:
    bool AnswerIsYes(MessageButtons buttons);

    std::ostream& m_err;
    std::istream& m_in;
    bool m_inputIsTerminal;
    AnswerPolicy m_policy = AnswerPolicy::Ask;
};

// Adds --yes and --no (mutually exclusive) to a command that may ask questions.
void AddAnswerOptions(CLI::App& command, AnswerPolicy& policy);

// Adds an option whose value is one of the words of choices (in any case) and stores the
// value that goes with the word in target.
template <typename T>
void AddChoiceOption(CLI::App& command, const std::string& name, const std::string& description,
                     T& target, std::vector<std::pair<std::string, T>> choices) {
    std::vector<std::string> words;
    for (const auto& choice : choices) words.push_back(choice.first);
    command
        .add_option_function<std::string>(
            name,
            [&target, choices](const std::string& word) {
                for (const auto& choice : choices) {
                    if (choice.first == word) target = choice.second;
                }
            },
            description)
        ->transform(CLI::IsMember(words, CLI::ignore_case));
}

enum class TableFormat { Text, Csv, Json, Zones };

// Adds the required DB positional: a project file, or a project on a server by its URI.
void AddProjectOption(CLI::App& command, std::string& db);

// Adds --format text|csv|json|zones to a table-printing command.
void AddFormatOption(CLI::App& command, TableFormat& format);

// Ends the help of a command that prints a table of kind with what each of its columns
// holds.
void AddColumnsFooter(CLI::App& command, TableKind kind,
                      std::initializer_list<std::string_view> headings);

// The one way numbers are written in tables: the shortest decimal form that reads back as
// the same double when significantDigits is 0, else that many significant digits. Written
// the same in every locale.
std::string FormatNumber(double value, int significantDigits = 0);

// Writes rows to out. Text: aligned columns under a heading line, numbers to the right.
// Csv: a heading line with the field names, then one line a row, numbers with 17
// significant digits. Json: an array of objects keyed by the headings. Zones: the text file
// of Save Table, rows in print zones ended by CR LF, without a heading.
void PrintTable(std::ostream& out, const RowSet& rows, TableFormat format);

// Opens the existing project file fileName and returns what work returns for it, or
// kExitFailure after the open failure message.
int WithProjectDatabase(const std::string& fileName, const std::function<int(Database&)>& work);

// A progress bar drawn on one line of a terminal, "MO (3/8) [=====>    ] 83/136": the task,
// the bar, the value reached and the last value. Draws nothing when out is no terminal.
class TerminalProgress : public ProgressSink {
  public:
    TerminalProgress(std::ostream& out, bool isTerminal, int width = 30);
    // What the next bars are for, such as "MO (3/8)"; empty for none.
    void SetTask(std::string task) { m_task = std::move(task); }
    void OnStart(int minimum, int maximum) override;
    void OnStep(int value) override;
    void OnEnd() override;

  private:
    void Draw(int value);

    std::ostream& m_out;
    bool m_isTerminal;
    int m_width;
    int m_minimum = 0;
    int m_maximum = 0;
    int m_drawn = -1;  // value last drawn
    std::string m_task;
};

// The flag that Ctrl-C sets once InstallInterruptHandler has run; a second Ctrl-C ends the
// program at once.
std::atomic<bool>& CancelFlag();
void InstallInterruptHandler();

}  // namespace tamsel::cli
