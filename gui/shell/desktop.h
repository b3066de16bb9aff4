// The shell's access to the desktop: the system's file dialogs and document viewer. The
// windows ask through this interface so that tests can answer in place of a person.
#pragma once

#include <QString>

class QWidget;

namespace tamsel {

enum class FileQuestion {
    OpenDatabase,  // an existing database file
    NewDatabase,   // a database file to create; asks before replacing one
    DataFile,      // an existing failure data file
    SaveGraph,     // an image file to write a chart to; asks before replacing one
    SaveTable,     // a text file to write a table to; asks before replacing one
};

class Desktop {
  public:
    virtual ~Desktop() = default;
    // The chosen file's full path, or an empty string when the user cancels.
    virtual QString AskFileName(QWidget* parent, FileQuestion question) = 0;
    // Opens a local document in the system's viewer; false when none could be started.
    virtual bool OpenDocument(const QString& path) = 0;
};

// The real desktop: QFileDialog and QDesktopServices.
class SystemDesktop : public Desktop {
  public:
    QString AskFileName(QWidget* parent, FileQuestion question) override;
    bool OpenDocument(const QString& path) override;
};

}  // namespace tamsel
