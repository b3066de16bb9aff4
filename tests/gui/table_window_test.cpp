#include <QMdiArea>
#include <QTableView>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "gui_test_support.h"
#include "tables/table_window.h"
#include "tamsel/tables/text_table.h"
#include "test_support.h"

using namespace tamsel;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Session : guitest::Session {
    Session() : estimatesSet(guitest::StoreMadeUpEstimatesSet(Db(), "SYS1", 1)) {
        Controller().OpenCurrentDataSet("SYS1");
    }
    TableWindow* Show(const char* item) {
        Item(item)->trigger();
        return window->ActiveTableWindow();
    }

    int estimatesSet;
};

}  // namespace

class TableWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void TablesStayOpenSideBySideAndSaveTheActiveOne() {
        Session s;
        s.Controller().SelectEstimatesSet(guitest::SetInfo(s.estimatesSet, "Jelinski-Moranda", 20,
                                                           136, 136, "Maximum likelihood"));
        TableWindow* failures = s.Show("mnuTableShowTableFT");
        QVERIFY(failures);
        QCOMPARE(failures->windowTitle(), QStringLiteral("TABLE: SYS1 - Failure times"));
        QAbstractItemModel* model = failures->Grid()->model();
        QCOMPARE(model->rowCount(), 136);
        for (int column = 0; column < model->columnCount(); ++column) {
            QVERIFY(!model->headerData(column, Qt::Horizontal).toString().endsWith("ID"));
        }
        QVERIFY(s.Item("mnuFileSaveTable")->isEnabled());
        QVERIFY(!s.Item("mnuFileSaveGraph")->isEnabled());

        TableWindow* estimates = s.Show("mnuTableShowTableEstimates");
        QVERIFY(estimates && failures != estimates);
        QCOMPARE(s.window->MdiArea()->subWindowList().size(), 2);
        QCOMPARE(
            estimates->windowTitle(),
            QStringLiteral("TABLE: SYS1 (Jelinski-Moranda - Maximum likelihood) - Estimates "));

        const std::string saved = s.dir.File("estimates.txt");
        const std::string expected = s.dir.File("expected.txt");
        s.desktop.QueueFileName(QString::fromStdString(saved));
        s.Item("mnuFileSaveTable")->trigger();
        QVERIFY(SaveTextTable(expected, estimates->Rows()));
        QCOMPARE(ReadAll(saved), ReadAll(expected));
        QVERIFY(!ReadAll(saved).empty());

        // Cancel writes nothing.
        s.Item("mnuFileSaveTable")->trigger();
        QCOMPARE(s.desktop.questions.size(), size_t(2));
        QCOMPARE(s.sink.Count(), size_t(0));
    }
};

QTEST_MAIN(TableWindowTest)
#include "table_window_test.moc"
