#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QTimer>
#include <QUrlQuery>
#include <QtTest>
#include <functional>
#include <map>
#include <optional>

#include "gui_test_support.h"
#include "shell/project_browser.h"
#include "shell/qt_text.h"
#include "shell/recent_databases.h"
#include "shell/shared_project_dialog.h"
#include "test_support.h"

using namespace tamsel;

namespace {

// What an Open Shared Project dialog came with.
struct Offered {
    QString uri;
    QString notice;
    bool remember = false;
    QString cannotRemember;  // the box's tooltip while it is disabled
};

// Fills the next Open Shared Project dialog as a user does (the URI, leaving the field, then
// the password and, when given, the box) and presses OK, then Cancel should it stay open;
// offered gets what the dialog came with.
void AnswerSharedProject(Offered* offered, const QString& uri, const QString& password,
                         std::optional<bool> remember = {}) {
    guitest::WhenModal([=](QWidget* dialog) {
        QVERIFY(qobject_cast<SharedProjectDialog*>(dialog));
        auto* uriField = dialog->findChild<QLineEdit*>(QStringLiteral("txtProjectUri"));
        auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("chkRememberPassword"));
        if (offered) {
            const auto* notice = dialog->findChild<QLabel*>(QStringLiteral("lblNotice"));
            *offered = {uriField->text(), notice ? notice->text() : QString(), box->isChecked(),
                        box->isEnabled() ? QString() : box->toolTip()};
        }
        uriField->setText(uri);
        emit uriField->editingFinished();
        dialog->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(password);
        if (remember) box->setChecked(*remember);
        guitest::Click(dialog, "cmdOK");
        if (dialog->isVisible()) guitest::Click(dialog, "cmdCancel");
    });
}

// Whether open shows a dialog; one that it shows is cancelled.
bool Prompts(const std::function<void()>& open) {
    bool prompted = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&prompted] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            prompted = true;
            dialog->reject();
        }
    });
    watch.start(5);
    open();
    return prompted;
}

// uri with a role that the tests' server does not know, so that it refuses to connect.
QString UnknownRole(QString uri) {
    return uri.replace(QStringLiteral("//tamsel@"), QStringLiteral("//ghost@"));
}

// Chooses the newest of the recent databases from the File menu.
void OpenNewestRecent(const guitest::Session& s) {
    auto* recent = s.window->findChild<QMenu*>(QStringLiteral("mnuFileRecent"));
    emit recent->aboutToShow();
    recent->actions().front()->trigger();
}

}  // namespace

class SharedProjectTest : public QObject {
    Q_OBJECT

  private slots:
    // Whatever the password holds, it comes back whole from the URI and DisplayLocation takes
    // it away again.
    void PasswordTravelsPercentEncoded() {
        const std::string bare = "postgresql://analyst@dbhost/reliability";
        for (const std::string& uri : {bare, bare + "?schema=flight"}) {
            QCOMPARE(WithPassword(uri, {}), uri);
            for (const QString& password :
                 {QStringLiteral("s3cret"), QStringLiteral("p@ss&w=rd/?#% +;ü'\"")}) {
                const std::string location = WithPassword(uri, password);
                QCOMPARE(DisplayLocation(location), uri);
                const QUrlQuery query(QUrl(ToQString(location)).query(QUrl::FullyEncoded));
                QCOMPARE(query.queryItemValue(QStringLiteral("password"), QUrl::FullyDecoded),
                         password);
                QCOMPARE(query.queryItems().size(), uri == bare ? 1 : 2);
            }
        }
    }

    // Through the menu: the dialog refuses a file path; the project on the tests' server opens
    // with a password that no title, panel, message or recent entry holds; choosing it from
    // the recent databases asks for the password again, with the URI filled in.
    void OpensASharedProjectKeepingNoPassword() {
        QVERIFY2(test::OnTestServer(), "run by ctest, which starts the server");
        test::TempDir dir;
        const std::string uri = guitest::MakeDatabase(dir, {{"SYS1", "sys1.txt"}});
        guitest::Session s;
        const QString password = QStringLiteral("Pw&s3cret#");
        AnswerSharedProject(nullptr, QStringLiteral("/tmp/project.db"), password);
        s.Item("mnuFileOpenSharedProject")->trigger();
        QCOMPARE(s.sink.Count(), std::size_t{1});
        QVERIFY(s.sink.Texts()[0].find("must start with postgresql://") != std::string::npos);
        AnswerSharedProject(nullptr, ToQString(uri), password);
        s.Item("mnuFileOpenSharedProject")->trigger();
        QCOMPARE(s.sink.Count(), std::size_t{1});
        QCOMPARE(s.window->windowTitle(), ToQString(uri) + QStringLiteral(" - Tamsel"));
        QCOMPARE(s.Panel(1), QStringLiteral("Database: ") + ToQString(uri));
        QCOMPARE(s.window->Browser()->topLevelItem(0)->text(0), QStringLiteral("SYS1"));
        QCOMPARE(RecentDatabases().front(), ToQString(uri));

        Offered offered;
        AnswerSharedProject(&offered, ToQString(uri), password);
        OpenNewestRecent(s);
        QCOMPARE(offered.uri, ToQString(uri));
        QCOMPARE(s.Controller().Location(), WithPassword(uri, password));
        QCOMPARE(guitest::ModalTimeouts(), 0);
    }

    // A reviewer's role opens the project to read: the title marks it read-only, and the
    // project's panel tells why on its tooltip.
    void AProjectThatMayOnlyBeReadSaysSoInTheTitle() {
        QVERIFY2(test::OnTestServer(), "run by ctest, which starts the server");
        test::TempDir dir;
        const std::string uri = guitest::MakeDatabase(dir, {{"SYS1", "sys1.txt"}});
        const std::string role =
            "tamsel_reviewer_" + std::to_string(QCoreApplication::applicationPid());
        {
            Database owner(uri, Database::OpenMode::ExistingFile);
            owner.Execute("CREATE ROLE " + role + " LOGIN; GRANT USAGE ON SCHEMA \"" +
                          owner.Schema() + "\" TO " + role +
                          "; GRANT SELECT ON ALL TABLES IN SCHEMA \"" + owner.Schema() + "\" TO " +
                          role + ";");
        }
        const QString asReviewer =
            ToQString(uri).replace(QStringLiteral("//tamsel@"), ToQString("//" + role + "@"));
        guitest::Session s;
        AnswerSharedProject(nullptr, asReviewer, {});
        s.Item("mnuFileOpenSharedProject")->trigger();
        QCOMPARE(s.window->windowTitle(), asReviewer + QStringLiteral(" (read-only) - Tamsel"));
        const auto* panel = s.window->findChild<QLabel*>(QStringLiteral("Panel1"));
        QVERIFY2(
            panel->toolTip().startsWith(ToQString("The role " + role + " may read this project")),
            qPrintable(panel->toolTip()));
        s.Controller().CloseDatabase();
        AnswerSharedProject(nullptr, ToQString(uri), {});
        s.Item("mnuFileOpenSharedProject")->trigger();
        QCOMPARE(s.window->windowTitle(), ToQString(uri) + QStringLiteral(" - Tamsel"));
        QCOMPARE(s.sink.Count(), std::size_t{0});
        Database(uri, Database::OpenMode::ExistingFile)
            .Execute("DROP OWNED BY " + role + "; DROP ROLE " + role + ";");
        QCOMPARE(guitest::ModalTimeouts(), 0);
    }

    // The keyring keeps a password only once it has opened the project, under the URI without
    // it; then the recent databases open the project without asking, the dialog uses it for
    // that URI, and unchecking the box makes the keyring forget it. The settings never hold it.
    void KeyringKeepsAPasswordThatOpenedTheProject() {
        QVERIFY2(test::OnTestServer(), "run by ctest, which starts the server");
        test::TempDir dir;
        const std::string uri = guitest::MakeDatabase(dir, {{"SYS1", "sys1.txt"}});
        const QString key = ToQString(uri);
        guitest::Session s;
        const std::map<QString, QString>& kept = s.desktop.keyring.passwords;
        const QString password = QStringLiteral("Pw&s3cret#");
        AnswerSharedProject(nullptr, UnknownRole(key), password, true);
        s.Item("mnuFileOpenSharedProject")->trigger();
        QCOMPARE(s.sink.Count(), std::size_t{1});
        QVERIFY(kept.empty());
        AnswerSharedProject(nullptr, key, password, true);
        s.Item("mnuFileOpenSharedProject")->trigger();
        QCOMPARE(kept, (std::map<QString, QString>{{key, password}}));

        s.Controller().CloseDatabase();
        QVERIFY(!Prompts([&s] { OpenNewestRecent(s); }));
        QCOMPARE(s.Controller().Location(), WithPassword(uri, password));
        for (const bool remember : {true, false}) {
            s.Controller().CloseDatabase();
            AnswerSharedProject(nullptr, key, {}, remember);
            s.Item("mnuFileOpenSharedProject")->trigger();
            QCOMPARE(s.Controller().Location(), remember ? WithPassword(uri, password) : uri);
            QCOMPARE(kept.size(), remember ? std::size_t{1} : std::size_t{0});
        }
        QCOMPARE(s.sink.Count(), std::size_t{1});

        QSettings settings(QStringLiteral("Tamsel"), QStringLiteral("Tamsel"));
        settings.sync();
        const std::string bytes = test::ReadBytes(ToStdString(settings.fileName()));
        QVERIFY(bytes.find("recentDatabases") != std::string::npos);
        QVERIFY(bytes.find("s3cret") == std::string::npos);
        QCOMPARE(guitest::ModalTimeouts(), 0);
    }

    // A kept password that does not open the project leads back to the dialog with the URI,
    // a notice and the box checked; the keyring keeps it until a project opens. The tests'
    // server trusts every password, so a role it does not know stands for a refusal.
    void KeptPasswordThatFailsLeadsBackToTheDialog() {
        QVERIFY2(test::OnTestServer(), "run by ctest, which starts the server");
        guitest::Session s;
        const QString refused = UnknownRole(ToQString(s.fileName));
        RememberDatabase(WithPassword(ToStdString(refused), QStringLiteral("old")));
        s.desktop.keyring.passwords[refused] = QStringLiteral("old");
        Offered offered;
        AnswerSharedProject(&offered, refused, {});
        OpenNewestRecent(s);
        QCOMPARE(offered.uri, refused);
        QVERIFY(offered.notice.contains(QStringLiteral("did not open it")));
        QVERIFY(offered.remember);
        QCOMPARE(s.sink.Count(), std::size_t{2});
        QCOMPARE(s.desktop.keyring.passwords.size(), std::size_t{1});
        QCOMPARE(guitest::ModalTimeouts(), 0);
    }

    // Without a keyring the box is disabled and says why; the project opens as before and
    // the recent databases ask for the password again.
    void WithoutAKeyringTheBoxIsDisabled() {
        QVERIFY2(test::OnTestServer(), "run by ctest, which starts the server");
        guitest::Session s;
        s.desktop.keyring.unavailable = QStringLiteral("No keyring answers on this desktop.");
        const QString password = QStringLiteral("s3cret");
        Offered offered;
        AnswerSharedProject(&offered, ToQString(s.fileName), password);
        s.Item("mnuFileOpenSharedProject")->trigger();
        QCOMPARE(offered.cannotRemember, s.desktop.keyring.unavailable);
        QCOMPARE(s.Controller().Location(), WithPassword(s.fileName, password));
        QVERIFY(Prompts([&s] { OpenNewestRecent(s); }));
        QCOMPARE(s.sink.Count(), std::size_t{0});
        QCOMPARE(guitest::ModalTimeouts(), 0);
    }
};

QTEST_MAIN(SharedProjectTest)
#include "shared_project_test.moc"
