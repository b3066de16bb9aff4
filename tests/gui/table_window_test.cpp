#include <QAbstractItemModelTester>
#include <QColor>
#include <QMdiArea>
#include <QTableView>
#include <QtTest>

#include "gui_test_support.h"
#include "shell/row_set_model.h"
#include "tables/table_window.h"
#include "tamsel/tables/text_table.h"
#include "test_support.h"

using namespace tamsel;

class TableWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void ModelShowsRowsUnderTheBindersHeadingsAndAnnouncesNewOnes() {
        RowSetModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        model.SetRows({{"Set ID", "Model", "Range end"},
                       {{std::int64_t{-42}, std::string("Raw predictions"), DbValue{}},
                        {std::int64_t{9}, std::string("Duane"), 0.1}}});
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.columnCount(), 3);
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Model"));
        QStringList texts;
        for (int row = 0; row < 2; ++row) {
            for (int column = 0; column < 3; ++column) {
                texts.append(model.data(model.index(row, column)).toString());
            }
        }
        // Integers, text, null and the shortest exact double.
        QCOMPARE(texts, (QStringList{"-42", "Raw predictions", "", "9", "Duane", "0.1"}));
        model.SetRows({});
        QCOMPARE(reset.count(), 2);
        QCOMPARE(model.rowCount() + model.columnCount(), 0);
    }

    // Rows of fits that ended irregularly stand out, and say why on hovering.
    void NotedRowsAreMarkedAndANewTableForgetsTheNotes() {
        RowSetModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.SetRows({{"FailureIndex", "Outcome"},
                       {{std::int64_t{32}, std::string("converged")},
                        {std::int64_t{33}, std::string("singular")}}});
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.SetRowNotes({"", "The fit at failure 33 is singular."});
        QCOMPARE(changed.count(), 1);
        for (int column = 0; column < 2; ++column) {
            QCOMPARE(model.data(model.index(0, column), Qt::BackgroundRole), QVariant());
            QVERIFY(model.data(model.index(1, column), Qt::BackgroundRole).canConvert<QColor>());
            QCOMPARE(model.data(model.index(1, column), Qt::ToolTipRole).toString(),
                     QStringLiteral("The fit at failure 33 is singular."));
        }
        QCOMPARE(model.data(model.index(0, 1), Qt::ToolTipRole).toString(),
                 QStringLiteral("converged"));
        model.SetRows(model.Rows());
        QCOMPARE(model.data(model.index(1, 0), Qt::BackgroundRole), QVariant());
    }

    void TablesStayOpenSideBySideAndSaveTheActiveOne() {
        guitest::Session s;
        s.SelectSet(guitest::StoreMadeUpEstimatesSet(s.Db(), "SYS1", 1), "Jelinski-Moranda");
        auto show = [&s](const char* item) {
            s.Item(item)->trigger();
            return s.window->ActiveTableWindow();
        };
        TableWindow* failures = show("mnuTableShowTableFT");
        QVERIFY(failures);
        QAbstractItemModel* model = failures->Grid()->model();
        QCOMPARE(model->rowCount(), 136);
        QVERIFY(s.Item("mnuFileSaveTable")->isEnabled());
        QVERIFY(!s.Item("mnuFileSaveGraph")->isEnabled());

        TableWindow* estimates = show("mnuTableShowTableEstimates");
        QVERIFY(estimates && failures != estimates);
        // Each heading says what its column holds, the parameters by the model's names.
        QCOMPARE(estimates->Grid()
                     ->model()
                     ->headerData(1, Qt::Horizontal, Qt::ToolTipRole)
                     .toString()
                     .left(33),
                 QStringLiteral("Jelinski-Moranda's parameter N as"));
        QCOMPARE(s.window->MdiArea()->subWindowList().size(), 2);
        const std::string saved = s.dir.File("estimates.txt");
        const std::string expected = s.dir.File("expected.txt");
        s.desktop.QueueFileName(QString::fromStdString(saved));
        s.Item("mnuFileSaveTable")->trigger();
        QVERIFY(SaveTextTable(expected, estimates->Rows()));
        QCOMPARE(test::ReadBytes(saved), test::ReadBytes(expected));
        // Cancel writes nothing.
        s.Item("mnuFileSaveTable")->trigger();
        QCOMPARE(s.desktop.questions.size(), size_t(2));
        QCOMPARE(s.sink.Count(), size_t(0));
    }
};

QTEST_MAIN(TableWindowTest)
#include "table_window_test.moc"
