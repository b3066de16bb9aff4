// Data > Append Failures driven through the menu: the run goes to the worker thread and back,
// and the current set follows the dataset's new last failure.
#include <QStatusBar>
#include <QtTest>

#include "gui_test_support.h"
#include "tamsel/store/sets.h"
#include "tamsel/workbench/apply_model.h"

namespace tamsel {

using guitest::Click;
using guitest::Session;
using guitest::WhenModal;

class AppendFailuresDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void AppendsExtendsAndKeepsTheCurrentSet() {
        Session s;
        const int go = ApplyModel(s.Db(), 1, 4, 1, 1, RunControl()).estimatesSetId;
        s.Controller().OpenCurrentDataSet("SYS1");
        s.Controller().SelectEstimatesSet(*GetEstimatesSet(s.Db(), go));
        s.desktop.QueueFileName(
            QString::fromStdString(s.dir.WriteFile("rest.txt", "120\n3000\n45\n")));
        WhenModal([](QWidget* shown) {
            Click(shown, "cmdBrowse");
            QVERIFY(guitest::PreviewSettled(shown));
            Click(shown, "cmdOK");
        });
        s.Item("mnuDataAppendFailures")->trigger();

        QCOMPARE(guitest::ModalTimeouts(), 0);
        QCOMPARE(s.sink.Texts(), std::vector<std::string>{});
        const CurrentSelection& selection = s.Controller().Selection();
        QCOMPARE(selection.estimatesSetId, go);
        QCOMPARE(selection.setSize, 139);
        QCOMPARE(selection.rangeEnd, 139);
        QCOMPARE(guitest::CountRows(s.Db(), "Estimates"), 120);
        QCOMPARE(s.window->statusBar()->currentMessage(),
                 QStringLiteral("Appended 3 failures: the dataset holds 139. Extended 1 sets and "
                                "refitted 0 recalibrations."));
    }
};

}  // namespace tamsel

QTEST_MAIN(tamsel::AppendFailuresDialogTest)
#include "append_failures_dialog_test.moc"
