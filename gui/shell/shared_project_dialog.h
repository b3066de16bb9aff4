// File > Open Shared Project...: a project on a PostgreSQL server, named by its URI, and the
// password for it. The password goes into the location in memory only; an empty one leaves it
// to libpq's own means (~/.pgpass, or the file PGPASSFILE names).
#pragma once

#include <QDialog>
#include <QString>
#include <string>

class QLineEdit;

namespace tamsel {

// uri with password added as its "password" parameter, percent-encoded so that no character
// of it can end the parameter; uri itself when password is empty.
std::string WithPassword(const std::string& uri, const QString& password);

class SharedProjectDialog : public QDialog {
    Q_OBJECT

  public:
    // uri fills the URI field (a recent one that asks for a password); the password field
    // then has the focus.
    explicit SharedProjectDialog(const QString& uri = {}, QWidget* parent = nullptr);

    // The location to open: the URI with the password. Never to be shown or kept.
    std::string Location() const;

    // Refuses, with a message, a URI that names no server.
    void accept() override;

  private:
    QLineEdit* m_uri;
    QLineEdit* m_password;
};

}  // namespace tamsel
