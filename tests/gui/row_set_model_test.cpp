#include <QAbstractItemModelTester>
#include <QColor>
#include <QSignalSpy>
#include <QtTest>

#include "shell/row_set_model.h"

using namespace tamsel;

class RowSetModelTest : public QObject {
    Q_OBJECT

  private slots:
    void ShowsRowsUnderTheBindersHeadings() {
        RowSetModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.SetRows({{"Set ID", "Model", "Range end"},
                       {{std::int64_t{7}, std::string("Jelinski-Moranda"), DbValue{}},
                        {std::int64_t{9}, std::string("Duane"), std::int64_t{136}}}});
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.columnCount(), 3);
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Model"));
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("7"));
        QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("Duane"));
        QCOMPARE(model.data(model.index(0, 2)).toString(), QString());
        QCOMPARE(model.data(model.index(1, 2)).toString(), QStringLiteral("136"));
    }

    void ResettingAnnouncesTheNewRows() {
        RowSetModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        model.SetRows({{"DataName", "DataSetID"}, {{std::string("SYS1"), std::int64_t{1}}}});
        model.SetRows({});
        QCOMPARE(reset.count(), 2);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 0);
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

    void DisplayText_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("null") << 0 << QString();
        QTest::newRow("integer") << 1 << QStringLiteral("-42");
        QTest::newRow("shortest exact double") << 2 << QStringLiteral("0.1");
        QTest::newRow("text") << 3 << QStringLiteral("Raw predictions");
    }

    void DisplayText() {
        QFETCH(int, kind);
        QFETCH(QString, expected);
        const DbValue values[] = {DbValue{}, std::int64_t{-42}, 0.1,
                                  std::string("Raw predictions")};
        QCOMPARE(tamsel::DisplayText(values[kind]), expected);
    }
};

QTEST_MAIN(RowSetModelTest)
#include "row_set_model_test.moc"
