// The message sink of the desktop application: every message and question of the core and
// of the windows appears as a message box with no title.
#pragma once

#include <QObject>

#include "tamsel/workbench/project.h"

class QWidget;

namespace tamsel {

class GuiMessageSink : public QObject, public MessageSink {
    Q_OBJECT

  public:
    // Must be created on the user-interface thread. Installs itself as the process-wide sink
    // for its lifetime.
    GuiMessageSink();
    ~GuiMessageSink() override;

    // Shows a modal message box. From a worker thread the call waits for the
    // user-interface thread to show the box and for the user's answer.
    MessageAnswer Show(const std::string& text, MessageButtons buttons, MessageIcon icon) override;

  private:
    MessageAnswer ShowOnThisThread(const std::string& text, MessageButtons buttons,
                                   MessageIcon icon);

    MessageSink* m_previous;
};

}  // namespace tamsel
