// Data > Delete Set closes every window that shows a deleted set, and no other.
#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>

#include "gui_test_support.h"
#include "plots/plot_window.h"

using namespace tamsel;

namespace {

struct Session : guitest::SetsSession {
    Session() {
        sys1Go = guitest::StoreMadeUpEstimatesSet(Db(), "SYS1", 4);
        window->show();
    }

    void Select(const PredictionSetRef& set) const {
        QVERIFY(Controller().SelectSetOf("SYS1", set));
    }

    // A medians plot of set with the further sets added, titled name.
    void Medians(const PredictionSetRef& set, const std::vector<PredictionSetRef>& added,
                 const QString& name) const {
        Select(set);
        std::optional<Plot> plot = PlotMedians(Db(), Controller().Selection());
        QVERIFY(plot);
        for (const PredictionSetRef& more : added) QVERIFY(AddSetToPlot(Db(), *plot, more));
        auto* plotWindow = new PlotWindow(Db());
        plotWindow->ShowPlot(std::move(*plot));
        window->AddChildWindow(plotWindow)->setWindowTitle(name);
    }

    // The table of set (the failure times when set.id is 0), titled name.
    void Table(const PredictionSetRef& set, const QString& name) const {
        Controller().OpenCurrentDataSet("SYS1");
        if (set.id != 0) Select(set);
        Item(set.id != 0 ? "mnuTableShowTableEstimates" : "mnuTableShowTableFT")->trigger();
        window->MdiArea()->activeSubWindow()->setWindowTitle(name);
    }

    QStringList OpenWindows() const {
        QStringList titles;
        for (const QMdiSubWindow* sub : window->MdiArea()->subWindowList()) {
            titles.append(sub->windowTitle());
        }
        titles.sort();
        return titles;
    }

    int sys1Go = 0;
};

}  // namespace

class DeleteSetTest : public QObject {
    Q_OBJECT

  private slots:
    void DeletingASetClosesTheWindowsThatShowIt_data() {
        QTest::addColumn<bool>("recalibrated");
        QTest::addColumn<QStringList>("kept");
        // The estimates set takes its recalibrated set with it.
        QTest::newRow("estimates set") << false << QStringList{"GO table", "failures"};
        QTest::newRow("recalibrated set")
            << true << QStringList{"GO table", "JM and GO medians", "failures"};
    }

    void DeletingASetClosesTheWindowsThatShowIt() {
        QFETCH(bool, recalibrated);
        QFETCH(QStringList, kept);
        Session s;
        const PredictionSetRef jm{s.sys1Set, false};
        const PredictionSetRef go{s.sys1Go, false};
        const PredictionSetRef p1{s.sys1Predictions, true};
        s.Medians(jm, {go}, "JM and GO medians");
        s.Medians(go, {p1}, "GO medians with p1");
        s.Table(p1, "p1 table");
        s.Table(go, "GO table");
        s.Table({}, "failures");
        QCOMPARE(s.OpenWindows().size(), 5);

        s.Select(recalibrated ? p1 : jm);
        s.sink.QueueAnswer(MessageAnswer::Ok);
        s.Item("mnuDataDeleteSet")->trigger();
        QTRY_COMPARE(s.OpenWindows(), kept);
    }
};

QTEST_MAIN(DeleteSetTest)
#include "delete_set_test.moc"
