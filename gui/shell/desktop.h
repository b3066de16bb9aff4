// The shell's access to the desktop: the system's file dialogs, its keyring and the settings
// kept from one session to the next. The windows ask through this interface so that tests can
// answer in place of a person and never read or write the user's settings.
#pragma once

#include <QByteArray>
#include <QString>

#include "shell/password_store.h"

class QWidget;

namespace tamsel {

enum class FileQuestion {
    OpenDatabase,  // an existing database file
    NewDatabase,   // a database file to create; asks before replacing one
    DataFile,      // an existing failure data file
    SaveGraph,     // an image file (PNG, SVG, PDF or JPEG) to write a chart to
    SaveTable,     // a text or CSV file to write a table to
    SaveReport,    // an HTML or PDF file to write a report to
};

class Desktop {
  public:
    virtual ~Desktop() = default;
    // The chosen file's full path, or an empty string when the user cancels. A file to save
    // carries the suffix of the format chosen, and replacing one is asked first.
    virtual QString AskFileName(QWidget* parent, FileQuestion question) = 0;
    // The main window's geometry as last saved (QWidget::saveGeometry); empty when none is
    // kept. By default nothing is kept.
    virtual QByteArray MainWindowGeometry() const { return {}; }
    virtual void SetMainWindowGeometry(const QByteArray& /*geometry*/) {}
    // Where the user may have shared projects' passwords kept.
    virtual PasswordStore& Keyring() = 0;
};

// The real desktop: QFileDialog, the system keyring and QSettings.
class SystemDesktop : public Desktop {
  public:
    QString AskFileName(QWidget* parent, FileQuestion question) override;
    QByteArray MainWindowGeometry() const override;
    void SetMainWindowGeometry(const QByteArray& geometry) override;
    PasswordStore& Keyring() override { return m_keyring; }

  private:
    SystemPasswordStore m_keyring;
};

}  // namespace tamsel
