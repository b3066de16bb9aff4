// The one channel through which the core talks to the user.
//
// Wherever the workbench shows a message box, the core calls ShowMessage or Ask with the
// exact text (lines joined by CR LF) and then carries on as its caller defines. The GUI
// installs a sink that shows a message box, the command-line tool one that prints to stderr
// and answers questions from its flags, tests one that records. Nothing in the core prints.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

namespace tamsel {

enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageIcon { None, Information, Question, Exclamation, Critical };
enum class MessageAnswer { Ok, Cancel, Yes, No };

class MessageSink {
  public:
    virtual ~MessageSink() = default;
    // Shows text and returns the user's answer. For MessageButtons::Ok the answer is Ok.
    // May be called from worker threads: a sink guards its own state.
    virtual MessageAnswer Show(const std::string& text, MessageButtons buttons,
                               MessageIcon icon) = 0;
};

// The line break inside a message: carriage return and line feed.
inline constexpr std::string_view kLineBreak = "\r\n";

// Joins lines with kLineBreak.
std::string JoinLines(std::initializer_list<std::string_view> lines);

// Shows a message with an OK button. Safe to call from any thread.
void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::None);

// Asks a question and returns the answer. With no sink installed, questions get the
// cautious answer (No or Cancel) and messages go nowhere.
MessageAnswer Ask(const std::string& text, MessageButtons buttons, MessageIcon icon);

// Installs sink as the process-wide sink and returns the previous one (may be null).
// The sink must outlive its installation.
MessageSink* InstallMessageSink(MessageSink* sink);

// Installs a sink for the lifetime of the object and restores the previous one after.
class ScopedMessageSink {
  public:
    explicit ScopedMessageSink(MessageSink* sink) : m_previous(InstallMessageSink(sink)) {}
    ~ScopedMessageSink() { InstallMessageSink(m_previous); }
    ScopedMessageSink(const ScopedMessageSink&) = delete;
    ScopedMessageSink& operator=(const ScopedMessageSink&) = delete;

  private:
    MessageSink* m_previous;
};

}  // namespace tamsel
