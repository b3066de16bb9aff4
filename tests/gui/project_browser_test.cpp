// The project browser, the empty state, applying several models at once and deleting a set,
// driven through the main window as a user would.
#include <QAction>
#include <QCheckBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>

#include "gui_test_support.h"
#include "shell/model_options_dialog.h"
#include "shell/project_browser.h"
#include "tamsel/store/sets.h"
#include "test_support.h"

using namespace tamsel;
using guitest::Click;
using guitest::WhenModal;

namespace {

// The tree as text: one line an item, children indented, the name column only.
QStringList TreeLines(const QTreeWidget* tree) {
    QStringList lines;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it; ++it) {
        QString indent;
        for (const QTreeWidgetItem* up = (*it)->parent(); up; up = up->parent()) indent += "  ";
        lines.append(indent + (*it)->text(0));
    }
    return lines;
}

QTreeWidgetItem* ItemNamed(QTreeWidget* tree, const QString& text) {
    const QList<QTreeWidgetItem*> found =
        tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
}

// A session whose browser shows the sets the fixture stored behind the window's back.
struct Session : guitest::SetsSession {
    Session() {
        window->Browser()->Invalidate();
        window->SelectionChanged();
    }
    QTreeWidget* Tree() const { return window->Browser(); }
};

}  // namespace

class ProjectBrowserTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        // Never the user's settings: the recent databases go to a folder of the test's own.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(m_settings.Path().string()));
    }

    void TheTreeAndTheSelectionFollowEachOther() {
        Session s;
        QCOMPARE(TreeLines(s.Tree()),
                 (QStringList{"SYS1", "  JM  Jelinski-Moranda",
                              "    JM#  recalibrated, Parametric B-Splines Recalibration", "NTDS",
                              "  GO  Goel-Okumoto"}));
        // A menu choice moves the tree.
        s.Controller().SelectSetOf("NTDS", {s.ntdsSet, false});
        QCOMPARE(s.Tree()->currentItem(), ItemNamed(s.Tree(), "GO  Goel-Okumoto"));
        // Choosing an item makes it current, and the status bar follows.
        s.Tree()->setCurrentItem(
            ItemNamed(s.Tree(), "JM#  recalibrated, Parametric B-Splines Recalibration"));
        QCOMPARE(s.Controller().Selection().predictionsSetId, s.sys1Predictions);
        QCOMPARE(s.Panel(2), QStringLiteral("Dataset: SYS1"));
        QCOMPARE(s.Panel(3), QStringLiteral("Estimates: Jelinski-Moranda, recalibrated"));
        s.Tree()->setCurrentItem(ItemNamed(s.Tree(), "NTDS"));
        QCOMPARE(s.Controller().Selection().estimatesSetId, 0);
        QCOMPARE(s.Panel(2), QStringLiteral("Dataset: NTDS"));
        // A double click opens the item's table.
        s.window->show();
        QTreeWidgetItem* jm = ItemNamed(s.Tree(), "JM  Jelinski-Moranda");
        s.Tree()->setCurrentItem(jm);
        emit s.Tree()->itemDoubleClicked(jm, 0);
        QCOMPARE(s.window->MdiArea()->subWindowList().size(), 1);
        QVERIFY(s.window->MdiArea()->subWindowList().front()->windowTitle().contains("Estimates"));
    }

    void TheModelDialogAppliesSeveralModelsOverItsRange() {
        Session s;
        ModelOptionsDialog dialog(s.Db(), "SYS1");
        auto option = [&dialog](int index) {
            return dialog.findChild<QCheckBox*>(QStringLiteral("Option1_%1").arg(index));
        };
        QCOMPARE(option(0)->text(), QStringLiteral("Jelinski-Moranda (applied)"));
        QVERIFY(!option(0)->isEnabled());
        QSignalSpy finished(&dialog, &ModelOptionsDialog::runFinished);
        dialog.show();
        option(1)->setChecked(true);  // Duane
        option(3)->setChecked(true);  // Goel-Okumoto
        Click(&dialog, "cmdApply");
        QVERIFY(finished.wait(60000));
        QCOMPARE(dialog.StoredSets().size(), size_t(2));
        QCOMPARE(dialog.FitSummary().count('\n'), 1);
        for (int index : {1, 3}) QVERIFY(!option(index)->isEnabled());

        // Another range: the applied marks follow it.
        auto* start = dialog.findChild<QSpinBox*>("spnRangeStart");
        auto* end = dialog.findChild<QSpinBox*>("spnRangeEnd");
        QCOMPARE(start->value(), 20);
        QCOMPARE(end->value(), 136);
        start->setValue(30);
        end->setValue(100);
        QVERIFY(option(1)->isEnabled());
        option(1)->setChecked(true);
        Click(&dialog, "cmdApply");
        QVERIFY(finished.wait(60000));
        const int newest = dialog.StoredSets().back();
        const std::optional<EstimatesSetInfo> set = GetEstimatesSet(s.Db(), newest);
        QCOMPARE(set->rangeStart, 30);
        QCOMPARE(set->rangeEnd, 100);
        QVERIFY(!option(1)->isEnabled());
    }

    void AfterApplyingTheNewestSetIsCurrentAndTheStatusBarSaysWhatWasStored() {
        Session s;
        s.Controller().OpenCurrentDataSet("SYS1");
        WhenModal([](QWidget* shown) {
            shown->findChild<QCheckBox*>("Option1_2")->setChecked(true);  // Musa-Okumoto
            Click(shown, "cmdOK");
        });
        s.Item("mnuEstimatesApplyModel")->trigger();
        QCOMPARE(s.Panel(3), QStringLiteral("Estimates: Musa-Okumoto"));
        QVERIFY(s.window->statusBar()->currentMessage().startsWith(
            "Stored 1 estimates set. Musa-Okumoto: 117 fits"));
        QCOMPARE(s.Tree()->currentItem(), ItemNamed(s.Tree(), "MO  Musa-Okumoto"));
    }

  private:
    test::TempDir m_settings;
};

QTEST_MAIN(ProjectBrowserTest)
#include "project_browser_test.moc"
