#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QUrlQuery>
#include <QtTest>

#include "gui_test_support.h"
#include "shell/project_browser.h"
#include "shell/qt_text.h"
#include "shell/recent_databases.h"
#include "shell/shared_project_dialog.h"
#include "test_support.h"

using namespace tamsel;

namespace {

// Fills the next Open Shared Project dialog and presses OK, then Cancel should it stay open;
// offered gets the URI the dialog came with.
void AnswerSharedProject(QString* offered, const QString& uri, const QString& password) {
    guitest::WhenModal([=](QWidget* dialog) {
        QVERIFY(qobject_cast<SharedProjectDialog*>(dialog));
        auto* uriField = dialog->findChild<QLineEdit*>(QStringLiteral("txtProjectUri"));
        if (offered) *offered = uriField->text();
        uriField->setText(uri);
        dialog->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(password);
        guitest::Click(dialog, "cmdOK");
        if (dialog->isVisible()) guitest::Click(dialog, "cmdCancel");
    });
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

        auto* recent = s.window->findChild<QMenu*>(QStringLiteral("mnuFileRecent"));
        emit recent->aboutToShow();
        QString offered;
        AnswerSharedProject(&offered, ToQString(uri), password);
        recent->actions().front()->trigger();
        QCOMPARE(offered, ToQString(uri));
        QCOMPARE(s.Controller().Location(), WithPassword(uri, password));
        QCOMPARE(guitest::ModalTimeouts(), 0);
    }
};

QTEST_MAIN(SharedProjectTest)
#include "shared_project_test.moc"
