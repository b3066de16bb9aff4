#include "shell/shared_project_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "shell/password_store.h"
#include "shell/qt_text.h"
#include "tamsel/workbench/project.h"

namespace tamsel {

std::string WithPassword(const std::string& uri, const QString& password) {
    if (password.isEmpty()) return uri;
    const char separator = uri.find('?') == std::string::npos ? '?' : '&';
    return uri + separator + "password=" + QUrl::toPercentEncoding(password).toStdString();
}

SharedProjectDialog::SharedProjectDialog(PasswordStore& keyring, const QString& uri,
                                         const QString& notice, QWidget* parent)
    : QDialog(parent),
      m_keyring(keyring),
      m_uri(new QLineEdit(uri, this)),
      m_password(new QLineEdit(this)),
      m_remember(
          new QCheckBox(QStringLiteral("&Remember the password in the system keyring"), this)) {
    setObjectName(QStringLiteral("frmOpenSharedProject"));
    setWindowTitle(QStringLiteral("Open Shared Project"));
    m_uri->setObjectName(QStringLiteral("txtProjectUri"));
    m_uri->setPlaceholderText(QStringLiteral("postgresql://user@host/database?schema=project"));
    m_uri->setMinimumWidth(420);
    m_password->setObjectName(QStringLiteral("txtPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_remember->setObjectName(QStringLiteral("chkRememberPassword"));
    auto* hint = new QLabel(
        QStringLiteral("A project your team shares lives on a PostgreSQL server, named by a URI; "
                       "schema names the project there. Leave the password empty to use "
                       "~/.pgpass, the file PGPASSFILE names, or the password the system "
                       "keyring keeps. Tamsel itself keeps the password only while the project "
                       "is open."),
        this);
    hint->setObjectName(QStringLiteral("lblHint"));
    hint->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &SharedProjectDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SharedProjectDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Project &URI:"), m_uri);
    form->addRow(QStringLiteral("&Password:"), m_password);
    form->addRow(QString(), m_remember);
    auto* layout = new QVBoxLayout(this);
    if (!notice.isEmpty()) {
        auto* shown = new QLabel(notice, this);
        shown->setObjectName(QStringLiteral("lblNotice"));
        shown->setWordWrap(true);
        layout->addWidget(shown);
    }
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(buttons);
    (uri.isEmpty() ? m_uri : m_password)->setFocus();

    QString why;
    if (!m_keyring.Available(&why)) {
        m_remember->setEnabled(false);
        m_remember->setToolTip(why);
    } else if (!notice.isEmpty()) {
        m_lookedUp = Key();
        m_kept = QString();
        m_remember->setChecked(true);
    } else {
        LookUpKept();
    }
    connect(m_uri, &QLineEdit::editingFinished, this, &SharedProjectDialog::LookUpKept);
}

QString SharedProjectDialog::Key() const {
    return ToQString(DisplayLocation(ToStdString(m_uri->text().trimmed())));
}

void SharedProjectDialog::LookUpKept() {
    if (!m_remember->isEnabled() || Key() == m_lookedUp) return;
    m_lookedUp = Key();
    m_kept = IsServerLocation(ToStdString(m_lookedUp)) ? m_keyring.Read(m_lookedUp) : std::nullopt;
    m_remember->setChecked(m_kept.has_value());
    m_password->setPlaceholderText(m_kept ? QStringLiteral("kept in the system keyring")
                                          : QString());
}

QString SharedProjectDialog::PasswordToUse() const {
    if (!m_password->text().isEmpty()) return m_password->text();
    return m_remember->isChecked() ? m_kept.value_or(QString()) : QString();
}

std::string SharedProjectDialog::Location() const {
    return WithPassword(ToStdString(m_uri->text().trimmed()), PasswordToUse());
}

void SharedProjectDialog::KeepPassword() {
    const auto tell = [](const std::string& change, const QString& refusal) {
        if (refusal.isEmpty()) return;
        ShowMessage("The project is open, but the system keyring did not " + change + ": " +
                    ToStdString(refusal));
    };
    const QString password = PasswordToUse();
    if (m_remember->isChecked() && !password.isEmpty()) {
        if (password != m_kept) tell("keep its password", m_keyring.Write(Key(), password));
    } else if (m_kept) {
        tell("remove the password it keeps for it", m_keyring.Remove(Key()));
    }
}

void SharedProjectDialog::accept() {
    if (!IsServerLocation(ToStdString(m_uri->text().trimmed()))) {
        ShowMessage(JoinLines(
            {"The project URI must start with postgresql:// or postgres://, for example "
             "postgresql://analyst@dbhost/reliability?schema=project_x.",
             "Enter the server's URI, or open a project file with File > Open Database."}));
        m_uri->setFocus();
        return;
    }
    LookUpKept();
    QDialog::accept();
}

}  // namespace tamsel
