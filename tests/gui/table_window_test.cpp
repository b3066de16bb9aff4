#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QtTest>
#include <fstream>
#include <memory>
#include <sstream>

#include "gui_test_support.h"
#include "shell/mdi_tamsel.h"
#include "shell/row_set_model.h"
#include "tables/form_table1.h"
#include "tamsel/tables/text_table.h"
#include "test_support.h"

using namespace tamsel;
using guitest::FakeDesktop;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Session {
    Session() {
        fileName = guitest::MakeDatabase(dir.Path().string(), {{"SYS1", "sys1.txt"}});
        window = std::make_unique<MDITamsel>(desktop);
        window->OpenDatabaseFile(QString::fromStdString(fileName));
        Database& db = *window->Controller().OpenedDatabase();
        estimatesSet = guitest::StoreMadeUpEstimatesSet(db, "SYS1", 1);
        window->Controller().OpenCurrentDataSet("SYS1");
    }
    FormTable1* Show(const char* item) {
        window->findChild<QAction*>(QString::fromLatin1(item))->trigger();
        const QMdiSubWindow* active = window->MdiArea()->activeSubWindow();
        return active ? qobject_cast<FormTable1*>(active->widget()) : nullptr;
    }

    test::TempDir dir;
    test::RecordingSink sink;
    FakeDesktop desktop;
    std::string fileName;
    std::unique_ptr<MDITamsel> window;
    int estimatesSet = 0;
};

}  // namespace

class TableWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void FailureTimesTableShowsEveryRowWithoutKeys() {
        Session s;
        FormTable1* table = s.Show("mnuTableShowTableFT");
        QVERIFY(table);
        QCOMPARE(table->windowTitle(), QStringLiteral("TABLE: SYS1 - Failure times"));
        QAbstractItemModel* model = table->Grid()->model();
        QCOMPARE(model->rowCount(), 136);
        for (int column = 0; column < model->columnCount(); ++column) {
            QVERIFY(!model->headerData(column, Qt::Horizontal).toString().endsWith("ID"));
        }
        QVERIFY(s.window->findChild<QAction*>("mnuFileSaveTable")->isEnabled());
        QVERIFY(!s.window->findChild<QAction*>("mnuFileSaveGraph")->isEnabled());
    }

    void SeveralTablesStayOpenAndSaveTheActiveOne() {
        Session s;
        s.window->Controller().LetEstimatesSet(s.estimatesSet, "Jelinski-Moranda", 20, 136, 136,
                                               "Maximum likelihood");
        FormTable1* failures = s.Show("mnuTableShowTableFT");
        FormTable1* estimates = s.Show("mnuTableShowTableEstimates");
        QVERIFY(failures && estimates && failures != estimates);
        QCOMPARE(s.window->MdiArea()->subWindowList().size(), 2);
        QCOMPARE(
            estimates->windowTitle(),
            QStringLiteral("TABLE: SYS1 (Jelinski-Moranda - Maximum likelihood) - Estimates "));

        const std::string saved = s.dir.File("estimates.txt");
        const std::string expected = s.dir.File("expected.txt");
        s.desktop.QueueFileName(QString::fromStdString(saved));
        s.window->findChild<QAction*>("mnuFileSaveTable")->trigger();
        QVERIFY(SaveTextTable(expected, estimates->Rows()));
        QCOMPARE(ReadAll(saved), ReadAll(expected));
        QVERIFY(!ReadAll(saved).empty());

        // Cancel writes nothing.
        s.window->findChild<QAction*>("mnuFileSaveTable")->trigger();
        QCOMPARE(s.desktop.questions.size(), size_t(2));
        QCOMPARE(s.sink.Count(), size_t(0));
    }
};

QTEST_MAIN(TableWindowTest)
#include "table_window_test.moc"
