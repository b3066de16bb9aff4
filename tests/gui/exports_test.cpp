#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QTableView>
#include <QtTest>
#include <sstream>

#include "gui_test_support.h"
#include "plots/plot_window.h"
#include "tables/table_window.h"
#include "tamsel/tables/text_table.h"

using namespace tamsel;

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Session : guitest::Session {
    Session() { Controller().OpenCurrentDataSet("SYS1"); }
    QString File(const char* name) const { return QString::fromStdString(dir.File(name)); }
};

}  // namespace

class ExportsTest : public QObject {
    Q_OBJECT

  private slots:
    void TablesSaveAsCsvAndCopyWithHeadings() {
        Session s;
        s.Item("mnuTableShowTableFT")->trigger();
        TableWindow* table = s.window->ActiveTableWindow();
        QVERIFY(table);
        const RowSet& rows = table->Rows();

        s.desktop.QueueFileName(s.File("failures.CSV"));
        s.Item("mnuFileSaveTable")->trigger();
        std::ostringstream csv;
        WriteCsvTable(csv, rows);
        QCOMPARE(ReadFile(s.File("failures.CSV")).toStdString(), csv.str());

        QAction* copy = s.Item("mnuEditCopy");
        QCOMPARE(copy->shortcut(), QKeySequence(QKeySequence::Copy));
        QVERIFY(copy->isEnabled());
        copy->trigger();
        const QStringList lines = QGuiApplication::clipboard()->text().split('\n');
        QCOMPARE(lines.size(), static_cast<qsizetype>(rows.rows.size() + 2));  // last is empty
        QCOMPARE(lines.front().split('\t').size(), static_cast<qsizetype>(rows.headings.size()));
        QCOMPARE(lines.front().split('\t').front(), QString::fromStdString(rows.headings.front()));
        // The second row as the grid shows it.
        const QStringList second = lines[2].split('\t');
        for (int column = 0; column < second.size(); ++column) {
            QCOMPARE(second[column], table->Grid()->model()->index(1, column).data().toString());
        }

        // A file that cannot be written is reported, not lost silently.
        s.desktop.QueueFileName(s.File("missing/failures.txt"));
        s.Item("mnuFileSaveTable")->trigger();
        QCOMPARE(s.sink.Count(), size_t(1));
        QVERIFY(QString::fromStdString(s.sink.Texts().at(0)).contains("could not be saved"));
    }

    // Edit > Copy puts the active chart on the clipboard; an unknown suffix is refused.
    void GraphsCopyAndRefuseAnUnknownFormat() {
        Session s;
        s.Item("mnuPlotShowPlot_0")->trigger();
        QVERIFY(s.window->ActivePlotWindow());
        QGuiApplication::clipboard()->clear();
        s.Item("mnuEditCopy")->trigger();
        QVERIFY(!QGuiApplication::clipboard()->image().isNull());

        s.desktop.QueueFileName(s.File("failures.bmp2"));
        s.Item("mnuFileSaveGraph")->trigger();
        QCOMPARE(s.sink.Count(), size_t(1));
        QVERIFY(QString::fromStdString(s.sink.Texts().at(0)).contains(".png, .svg, .pdf or .jpg"));
    }
};

QTEST_MAIN(ExportsTest)
#include "exports_test.moc"
