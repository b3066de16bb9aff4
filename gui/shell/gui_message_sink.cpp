#include "shell/gui_message_sink.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "shell/qt_text.h"

namespace tamsel {
namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::None:
            return QMessageBox::NoIcon;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Critical:
            return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return QMessageBox::Ok;
        case MessageButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MessageButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
    }
    return QMessageBox::Ok;
}

MessageAnswer Answer(int button, MessageButtons buttons) {
    switch (button) {
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        default:
            // Escape or the close box: the cautious answer.
            return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
    }
}

}  // namespace

GuiMessageSink::GuiMessageSink() : m_previous(InstallMessageSink(this)) {}

GuiMessageSink::~GuiMessageSink() { InstallMessageSink(m_previous); }

MessageAnswer GuiMessageSink::Show(const std::string& text, MessageButtons buttons,
                                   MessageIcon icon) {
    if (QThread::currentThread() == thread()) return ShowOnThisThread(text, buttons, icon);
    MessageAnswer answer = MessageAnswer::Cancel;
    QMetaObject::invokeMethod(
        this, [&] { answer = ShowOnThisThread(text, buttons, icon); },
        Qt::BlockingQueuedConnection);
    return answer;
}

MessageAnswer GuiMessageSink::ShowOnThisThread(const std::string& text, MessageButtons buttons,
                                               MessageIcon icon) {
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) parent = QApplication::activeWindow();
    QMessageBox box(BoxIcon(icon), QString(), ToDisplayText(text), BoxButtons(buttons), parent);
    box.setTextFormat(Qt::PlainText);
    const int button = box.exec();
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return Answer(button, buttons);
}

}  // namespace tamsel
