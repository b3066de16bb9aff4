#include "shell/shared_project_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "shell/qt_text.h"
#include "tamsel/workbench/project.h"

namespace tamsel {

std::string WithPassword(const std::string& uri, const QString& password) {
    if (password.isEmpty()) return uri;
    const char separator = uri.find('?') == std::string::npos ? '?' : '&';
    return uri + separator + "password=" + QUrl::toPercentEncoding(password).toStdString();
}

SharedProjectDialog::SharedProjectDialog(const QString& uri, QWidget* parent)
    : QDialog(parent), m_uri(new QLineEdit(uri, this)), m_password(new QLineEdit(this)) {
    setObjectName(QStringLiteral("frmOpenSharedProject"));
    setWindowTitle(QStringLiteral("Open Shared Project"));
    m_uri->setObjectName(QStringLiteral("txtProjectUri"));
    m_uri->setPlaceholderText(QStringLiteral("postgresql://user@host/database?schema=project"));
    m_uri->setMinimumWidth(420);
    m_password->setObjectName(QStringLiteral("txtPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    auto* hint = new QLabel(
        QStringLiteral("A project your team shares lives on a PostgreSQL server, named by a URI; "
                       "schema names the project there. Leave the password empty to use "
                       "~/.pgpass or the file PGPASSFILE names. Tamsel keeps the password only "
                       "while the project is open and never stores it."),
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
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(buttons);
    (uri.isEmpty() ? m_uri : m_password)->setFocus();
}

std::string SharedProjectDialog::Location() const {
    return WithPassword(ToStdString(m_uri->text().trimmed()), m_password->text());
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
    QDialog::accept();
}

}  // namespace tamsel
