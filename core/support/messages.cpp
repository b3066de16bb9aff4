#include "tamsel/support/messages.h"

#include <mutex>

namespace tamsel {
namespace {

std::mutex& SinkMutex() {
    static std::mutex mutex;
    return mutex;
}

MessageSink*& CurrentSink() {
    static MessageSink* sink = nullptr;
    return sink;
}

}  // namespace

std::string JoinLines(std::initializer_list<std::string_view> lines) {
    std::string text;
    bool first = true;
    for (std::string_view line : lines) {
        if (!first) text += kLineBreak;
        text += line;
        first = false;
    }
    return text;
}

void ShowMessage(const std::string& text, MessageIcon icon) { Ask(text, MessageButtons::Ok, icon); }

MessageAnswer Ask(const std::string& text, MessageButtons buttons, MessageIcon icon) {
    MessageSink* sink = nullptr;
    {
        std::lock_guard lock(SinkMutex());
        sink = CurrentSink();
    }
    // The sink is called without the lock held: a GUI sink may hand the question to the
    // interface thread, which may itself be showing a message.
    if (sink) return sink->Show(text, buttons, icon);
    switch (buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::OkCancel:
            return MessageAnswer::Cancel;
        case MessageButtons::YesNo:
            return MessageAnswer::No;
    }
    return MessageAnswer::Cancel;
}

MessageSink* InstallMessageSink(MessageSink* sink) {
    std::lock_guard lock(SinkMutex());
    MessageSink* previous = CurrentSink();
    CurrentSink() = sink;
    return previous;
}

}  // namespace tamsel
