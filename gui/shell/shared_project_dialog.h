// File > Open Shared Project...: a project on a PostgreSQL server, named by its URI, and the
// password for it. The password goes into the location in memory only; an empty one leaves it
// to libpq's own means (~/.pgpass, or the file PGPASSFILE names) or, when the user chose so,
// to the system keyring, which keeps it under the URI without the password.
#pragma once

#include <QDialog>
#include <QString>
#include <optional>
#include <string>

class QCheckBox;
class QLineEdit;

namespace tamsel {

class PasswordStore;

// uri with password added as its "password" parameter, percent-encoded so that no character
// of it can end the parameter; uri itself when password is empty.
std::string WithPassword(const std::string& uri, const QString& password);

class SharedProjectDialog : public QDialog {
    Q_OBJECT

  public:
    // uri fills the URI field (a recent one that asks for a password); the password field
    // then has the focus. notice, when given, says that the password the keyring keeps for
    // uri did not open the project: the box starts checked and that password is not used
    // again. keyring must outlive the dialog.
    SharedProjectDialog(PasswordStore& keyring, const QString& uri = {}, const QString& notice = {},
                        QWidget* parent = nullptr);

    // The location to open: the URI with the password typed, or else the one the keyring
    // keeps while the box is checked. Never to be shown or kept.
    std::string Location() const;

    // Once the project has opened: keeps the password it opened with in the keyring while the
    // box is checked, and otherwise removes the one kept for the URI. Tells the user when the
    // keyring refuses.
    void KeepPassword();

    // Refuses, with a message, a URI that names no server.
    void accept() override;

  private:
    // The keyring's key: the URI in the field without any password.
    QString Key() const;
    // Asks the keyring for the URI in the field, once per URI; checks the box when it keeps
    // a password.
    void LookUpKept();
    // The password the project opens with: the one typed, else the one kept when so chosen.
    QString PasswordToUse() const;

    PasswordStore& m_keyring;
    QLineEdit* m_uri;
    QLineEdit* m_password;
    QCheckBox* m_remember;
    QString m_lookedUp;
    // What the keyring keeps for m_lookedUp; an empty password when what it keeps was refused.
    std::optional<QString> m_kept;
};

}  // namespace tamsel
