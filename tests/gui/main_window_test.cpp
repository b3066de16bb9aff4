#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

#include "gui_test_support.h"
#include "shell/child_window.h"
#include "shell/main_window.h"
#include "tamsel/store/queries.h"
#include "test_support.h"

using namespace tamsel;
using guitest::FakeDesktop;
using Session = guitest::SetsSession;

namespace {

// A plot or table window as the main window sees it.
class FakeChild : public ChildWindow {
    Q_OBJECT

  public:
    FakeChild(Kind kind, const QString& dataSetName) : m_kind(kind), m_dataSetName(dataSetName) {
        setWindowTitle(dataSetName);
    }
    Kind WindowKind() const override { return m_kind; }
    QString DataSetName() const override { return m_dataSetName; }

  private:
    Kind m_kind;
    QString m_dataSetName;
};

// The items that can be switched, with those the program never disables.
const QStringList kAlwaysEnabled = {
    "mnuFileNewDatabase",       "mnuFileOpenDatabase", "mnuFileExit",
    "mnuViewCurrentSelections", "mnuWindowTile",       "mnuWindowTileHorizontally",
    "mnuWindowTileVertically",  "mnuWindowCascade",    "mnuWindowArrangeIcons",
    "mnuHelpUserGuide",         "mnuHelpAbout"};
const QStringList kDatabaseItems = {"mnuDataAddNewDataset", "mnuDataSelectDataset"};
const QStringList kDataSetItems = {"mnuDataDeleteDataset",
                                   "mnuEstimatesApplyModel",
                                   "mnuEstimatesSelectSet",
                                   "mnuEstimatesRecalibrate",
                                   "mnuEstimatesSelectPredictions",
                                   "mnuTableShowTableFT",
                                   "mnuPlotShowPlot_0",
                                   "mnuPlotShowPlot_3",
                                   "mnuPlotShowPlot_40",
                                   "mnuPlotShowPlot_43"};
const QStringList kRecalibratedItems = {"mnuTableShowTableEstimates", "mnuPlotShowPlot_13",
                                        "mnuPlotShowPlot_20",         "mnuPlotShowPlot_23",
                                        "mnuPlotShowPlot_30",         "mnuPredictionsNextFailure",
                                        "mnuPredictionsForecast"};
const QStringList kRawItems = kRecalibratedItems + QStringList{"mnuPlotShowPlot_10"};

QStringList Sorted(QStringList names) {
    names.sort();
    return names;
}

QStringList EnabledItems(const MainWindow& window) {
    QStringList names;
    for (const QAction* action : window.findChildren<QAction*>()) {
        if (action->objectName().startsWith(QStringLiteral("mnu")) && action->isEnabled()) {
            names.append(action->objectName());
        }
    }
    return Sorted(names);
}

// Each menu as "Title: caption | caption | - | ...", a separator shown as "-".
QStringList MenuListing(const MainWindow& window) {
    QStringList menus;
    for (const QAction* menu : window.menuBar()->actions()) {
        QStringList items;
        for (const QAction* item : menu->menu()->actions()) {
            items.append(item->isSeparator() ? QStringLiteral("-") : item->text());
        }
        menus.append(menu->text() + QStringLiteral(": ") + items.join(QStringLiteral(" | ")));
    }
    return menus;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void StartsWithItsMenusAndAnEmptyStatusBar() {
        test::RecordingSink sink;
        FakeDesktop desktop;
        MainWindow window(desktop);
        QCOMPARE(window.windowTitle(), QStringLiteral("Tamsel"));
        QCOMPARE(MenuListing(window),
                 (QStringList{
                     "&File: &New Database... | &Open Database... | - | &Copy Graph | &Save "
                     "Graph... | &Print Graph... | - | Save &Table... | - | &Exit",
                     "&Edit: &Copy", "&View: Current &Selections",
                     "&Data: &Add New Dataset... | &Select Dataset... | &Delete Dataset...",
                     "&Estimates: &Apply Model... | &Select Estimates Set... | - | &Recalibrate "
                     "Estimates Set... | Select Recalibrated &Predictions Set...",
                     "&Plot: Show Plot &Failure Times | Show Plot &Cumulative failures | Show "
                     "&Laplace trend test | Show Running &average | Show "
                     "Plots &Quartiles + MTTF | Show &Median plot | Show &Y-Plot | Show &U-Plot "
                     "| Show log(&PLR)-Plot",
                     "&Table: Show Table &Failure Times | Show Table &Estimates",
                     "P&redictions: Next Failure | &Forecast...",
                     "&Window: &Tile | Tile &Horizontally | Tile &Vertically | &Cascade | &Arrange "
                     "Icons | -",
                     "&Help: &User Guide | - | &About Tamsel"}));
        QCOMPARE(EnabledItems(window), Sorted(kAlwaysEnabled));
        QCOMPARE(window.StatusPanelText(1), QStringLiteral("Database: "));
        QCOMPARE(window.StatusPanelText(2), QStringLiteral("Dataset: "));
        QCOMPARE(window.StatusPanelText(3), QStringLiteral("Estimates: "));
    }

    void MenusFollowTheFourNestedStates() {
        Session s;
        SelectionController& c = s.Controller();
        const CurrentSelection& selection = c.Selection();
        // The enabled items and the texts of the dataset and estimates panels.
        auto expect = [&s](const QStringList& enabled, const char* dataSet, const char* estimates) {
            QCOMPARE(EnabledItems(*s.window), Sorted(enabled));
            QCOMPARE(s.Panel(2), QString::fromLatin1(dataSet));
            QCOMPARE(s.Panel(3), QString::fromLatin1(estimates));
        };
        const QStringList databaseState = kAlwaysEnabled + kDatabaseItems;
        const QStringList dataSetState = databaseState + kDataSetItems;
        expect(databaseState, "Dataset:", "Estimates:");
        QCOMPARE(s.Panel(1), QStringLiteral("Database: ") + QString::fromStdString(s.fileName));

        c.OpenCurrentDataSet("SYS1");
        expect(dataSetState, "Dataset: SYS1", "Estimates:");
        c.SelectEstimatesSet(guitest::SetInfo(s.sys1Set, "Jelinski-Moranda", 20, 136, 136, "ML"));
        expect(dataSetState + kRawItems, "Dataset: SYS1", "Estimates: Jelinski-Moranda");

        QVERIFY(c.SelectRecalibratedSet(s.sys1Predictions));
        expect(dataSetState + kRecalibratedItems, "Dataset: SYS1",
               "Estimates: Jelinski-Moranda, recalibrated");
        QCOMPARE(selection.estimatesSetId, s.sys1Set);
        QCOMPARE(selection.predictionsSetId, s.sys1Predictions);
        QVERIFY(selection.recalibrated);
        QCOMPARE(selection.modelName, std::string("Jelinski-Moranda"));
        QCOMPARE(selection.rangeStart, 20);
        QCOMPARE(selection.rangeEnd, 136);
        QCOMPARE(selection.setSize, 136);
        QVERIFY(!selection.inferenceMethodName.empty());
        QVERIFY(!selection.recalibrationMethodName.empty());

        // A raw set after a recalibrated one is raw again.
        c.SelectEstimatesSet(guitest::SetInfo(s.sys1Set, "Jelinski-Moranda", 20, 136, 136, "ML"));
        expect(dataSetState + kRawItems, "Dataset: SYS1", "Estimates: Jelinski-Moranda");
        QVERIFY(!selection.recalibrated);
        QCOMPARE(selection.predictionsSetId, 0);
        QVERIFY(selection.recalibrationMethodName.empty());

        c.CloseCurrentEstimatesSet();
        expect(dataSetState, "Dataset: SYS1", "Estimates:");

        // Choosing another dataset forgets the estimates set.
        QVERIFY(c.SelectRecalibratedSet(s.sys1Predictions));
        c.OpenCurrentDataSet("NTDS");
        expect(dataSetState, "Dataset: NTDS", "Estimates:");
        QCOMPARE(selection.estimatesSetId, 0);
        QCOMPARE(selection.predictionsSetId, 0);
        QVERIFY(!selection.recalibrated);
        QVERIFY(selection.modelName.empty());

        c.SelectEstimatesSet(guitest::SetInfo(s.ntdsSet, "Goel-Okumoto", 20, 26, 26, "ML"));
        c.CloseCurrentDataSet();
        expect(databaseState, "Dataset:", "Estimates:");
        QVERIFY(selection.dataSetName.empty());
        QCOMPARE(selection.estimatesSetId, 0);

        c.OpenCurrentDataSet("NTDS");
        c.SelectEstimatesSet(guitest::SetInfo(s.ntdsSet, "Goel-Okumoto", 20, 26, 26, "ML"));
        c.CloseDatabase();
        expect(kAlwaysEnabled, "Dataset:", "Estimates:");
        QCOMPARE(s.Panel(1), QStringLiteral("Database:"));
        QVERIFY(!c.OpenedDatabase());
        QVERIFY(selection.databaseFileName.empty());
        QVERIFY(selection.dataSetName.empty());
        QVERIFY(s.sink.Texts().empty());
    }

    void FailedRecalibratedLookupChangesNothing() {
        Session s;
        SelectionController& c = s.Controller();
        c.OpenCurrentDataSet("SYS1");
        c.SelectEstimatesSet(
            guitest::SetInfo(s.sys1Set, "Jelinski-Moranda", 20, 136, 136, "Maximum likelihood"));
        const QStringList enabled = EnabledItems(*s.window);
        const QString panel3 = s.window->StatusPanelText(3);

        QVERIFY(!c.SelectRecalibratedSet(s.sys1Predictions + 1000));
        QCOMPARE(s.sink.Texts(),
                 std::vector<std::string>{
                     "An error occurred while retrieving the attributes of a recalibrated set."});
        QCOMPARE(EnabledItems(*s.window), enabled);
        QCOMPARE(s.window->StatusPanelText(3), panel3);
        QCOMPARE(c.Selection().estimatesSetId, s.sys1Set);
        QCOMPARE(c.Selection().modelName, std::string("Jelinski-Moranda"));
        QVERIFY(!c.Selection().recalibrated);
    }

    void FileMenuFollowsTheActiveChildWindow() {
        Session s;
        const QStringList graphs = {"mnuFileCopyGraph", "mnuFileSaveGraph", "mnuFilePrintGraph"};
        auto fileItems = [&] {
            QStringList enabled;
            for (const QString& name : graphs + QStringList{"mnuFileSaveTable"}) {
                if (s.window->findChild<QAction*>(name)->isEnabled()) enabled.append(name);
            }
            return enabled;
        };
        QMdiArea* area = s.window->MdiArea();
        QMdiSubWindow* plot =
            s.window->AddChildWindow(new FakeChild(ChildWindow::Kind::Plot, "SYS1"));
        QCOMPARE(fileItems(), graphs);
        QMdiSubWindow* table =
            s.window->AddChildWindow(new FakeChild(ChildWindow::Kind::Table, "SYS1"));
        QCOMPARE(fileItems(), QStringList{"mnuFileSaveTable"});
        area->setActiveSubWindow(plot);
        QCOMPARE(fileItems(), graphs);

        // Any other child window disables all four.
        QMdiSubWindow* other = area->addSubWindow(new QWidget);
        other->show();
        area->setActiveSubWindow(other);
        QCOMPARE(fileItems(), QStringList());
        area->setActiveSubWindow(table);
        QCOMPARE(fileItems(), QStringList{"mnuFileSaveTable"});
        delete other;

        // A dialog is not a child window.
        QDialog dialog(s.window.get());
        dialog.show();
        s.window->UpdateActions();
        QCOMPARE(fileItems(), QStringList{"mnuFileSaveTable"});
        dialog.close();

        // Closing one of several windows leaves the commands of the one that becomes active.
        QMdiSubWindow* secondPlot =
            s.window->AddChildWindow(new FakeChild(ChildWindow::Kind::Plot, "NTDS"));
        area->setActiveSubWindow(table);
        table->close();
        QTRY_COMPARE(area->subWindowList().size(), 2);
        QVERIFY(area->activeSubWindow() != nullptr);
        QCOMPARE(fileItems(), graphs);
        area->setActiveSubWindow(secondPlot);
        secondPlot->close();
        QTRY_COMPARE(area->subWindowList(), QList<QMdiSubWindow*>{plot});
        QCOMPARE(area->activeSubWindow(), plot);
        QCOMPARE(fileItems(), graphs);
        // The last child window being closed leaves nothing to act on.
        plot->close();
        QTRY_COMPARE(area->subWindowList().size(), 0);
        QCOMPARE(fileItems(), QStringList());
    }

    void OpeningAnotherDatabaseClosesEverything() {
        Session s;
        s.Controller().OpenCurrentDataSet("SYS1");
        s.Controller().SelectEstimatesSet(
            guitest::SetInfo(s.sys1Set, "Jelinski-Moranda", 20, 136, 136, "ML"));
        s.window->AddChildWindow(new FakeChild(ChildWindow::Kind::Plot, "SYS1"));
        s.window->AddChildWindow(new FakeChild(ChildWindow::Kind::Table, "NTDS"));
        test::TempDir other;
        const std::string otherFile = guitest::MakeDatabase(other.Path().string(), {});
        s.desktop.QueueFileName(QString::fromStdString(otherFile));
        s.Item("mnuFileOpenDatabase")->trigger();
        QTRY_COMPARE(s.window->MdiArea()->subWindowList().size(), 0);
        QCOMPARE(s.desktop.questions, std::vector<FileQuestion>{FileQuestion::OpenDatabase});
        QCOMPARE(s.Controller().Selection().databaseFileName, otherFile);
        QVERIFY(s.Controller().Selection().dataSetName.empty());
        QCOMPARE(s.Controller().Selection().estimatesSetId, 0);
        QCOMPARE(EnabledItems(*s.window), Sorted(kAlwaysEnabled + kDatabaseItems));
        QCOMPARE(s.Panel(1), QStringLiteral("Database: ") + QString::fromStdString(otherFile));
    }

    void FailedFileCommandsLeaveNoDatabaseOpen_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("open a text file") << "mnuFileOpenDatabase"
                                          << "notes.txt"
                                          << "An error occurred in selecting a database";
        QTest::newRow("new in a missing folder") << "mnuFileNewDatabase"
                                                 << "missing/new.db"
                                                 << "An error occurred in creating a new database";
    }

    void FailedFileCommandsLeaveNoDatabaseOpen() {
        QFETCH(QString, item);
        QFETCH(QString, file);
        QFETCH(QString, message);
        Session s;
        s.dir.WriteFile("notes.txt", "not a database\n");
        s.desktop.QueueFileName(QString::fromStdString(s.dir.File(file.toStdString())));
        s.Item(item.toLatin1().constData())->trigger();
        QCOMPARE(s.sink.Texts(), std::vector<std::string>{message.toStdString()});
        QVERIFY(!s.Controller().OpenedDatabase());
        QCOMPARE(EnabledItems(*s.window), Sorted(kAlwaysEnabled));
    }

    void CancellingAFileDialogEndsTheCommandSilently() {
        Session s;
        s.Controller().OpenCurrentDataSet("SYS1");
        s.Item("mnuFileOpenDatabase")->trigger();
        s.Item("mnuFileNewDatabase")->trigger();
        QCOMPARE(s.desktop.questions, (std::vector<FileQuestion>{FileQuestion::OpenDatabase,
                                                                 FileQuestion::NewDatabase}));
        QVERIFY(s.sink.Texts().empty());
        QCOMPARE(s.Controller().Selection().dataSetName, std::string("SYS1"));
    }

    void NewDatabaseCreatesAndOpensAnEmptyProject() {
        Session s;
        const std::string created = s.dir.File("new.db");
        s.desktop.QueueFileName(QString::fromStdString(created));
        s.Item("mnuFileNewDatabase")->trigger();
        QVERIFY(s.sink.Texts().empty());
        QCOMPARE(s.Controller().Selection().databaseFileName, created);
        QCOMPARE(guitest::CountRows(*s.Controller().OpenedDatabase(), "DataSets"), 0);
        QCOMPARE(guitest::CountRows(*s.Controller().OpenedDatabase(), "Models"), 8);
        QCOMPARE(EnabledItems(*s.window), Sorted(kAlwaysEnabled + kDatabaseItems));
    }

    void DeleteDatasetAsksThenClosesItAndItsWindows() {
        Session s;
        s.Controller().OpenCurrentDataSet("SYS1");
        s.Controller().SelectEstimatesSet(
            guitest::SetInfo(s.sys1Set, "Jelinski-Moranda", 20, 136, 136, "ML"));
        s.window->AddChildWindow(new FakeChild(ChildWindow::Kind::Plot, "SYS1"));
        QMdiSubWindow* ntds =
            s.window->AddChildWindow(new FakeChild(ChildWindow::Kind::Table, "NTDS"));
        s.window->AddChildWindow(new FakeChild(ChildWindow::Kind::Table, "SYS1"));
        Database& db = *s.Controller().OpenedDatabase();
        s.sink.QueueAnswer(MessageAnswer::Cancel);
        s.Item("mnuDataDeleteDataset")->trigger();
        const std::vector<test::RecordingSink::Entry> asked = s.sink.Entries();
        QCOMPARE(asked.size(), std::size_t{1});
        QCOMPARE(asked[0].text, std::string("The current dataset is SYS1\r\n"
                                            "Are you sure you want to delete it?\r\n"
                                            "This will also delete all the related failure "
                                            "times and estimates sets"));
        QCOMPARE(asked[0].buttons, MessageButtons::OkCancel);
        QCOMPARE(guitest::CountRows(db, "DataSets"), 2);
        QCOMPARE(s.window->MdiArea()->subWindowList().size(), 3);

        s.sink.QueueAnswer(MessageAnswer::Ok);
        s.Item("mnuDataDeleteDataset")->trigger();
        QCOMPARE(FindDataSetId(db, "SYS1"), std::optional<int>(0));
        QCOMPARE(guitest::CountRows(db, "EstimatesSets"), 1);
        QCOMPARE(guitest::CountRows(db, "PredictionsSets"), 0);
        QVERIFY(s.Controller().Selection().dataSetName.empty());
        QCOMPARE(s.Controller().Selection().estimatesSetId, 0);
        QStringList enabled = EnabledItems(*s.window);
        // NTDS's table may be active.
        enabled.removeOne(QStringLiteral("mnuFileSaveTable"));
        enabled.removeOne(QStringLiteral("mnuEditCopy"));
        QCOMPARE(enabled, Sorted(kAlwaysEnabled + kDatabaseItems));
        QCOMPARE(s.Panel(2), QStringLiteral("Dataset:"));
        QCOMPARE(s.Panel(3), QStringLiteral("Estimates:"));
        QTRY_COMPARE(s.window->MdiArea()->subWindowList(), QList<QMdiSubWindow*>{ntds});
    }

    void WindowMenuArrangesAndListsTheChildWindows() {
        Session s;
        s.window->show();
        QMdiArea* area = s.window->MdiArea();
        QMdiSubWindow* first =
            s.window->AddChildWindow(new FakeChild(ChildWindow::Kind::Plot, "SYS1"));
        QMdiSubWindow* second =
            s.window->AddChildWindow(new FakeChild(ChildWindow::Kind::Table, "NTDS"));
        const QRect viewport = area->viewport()->rect();

        s.Item("mnuWindowTileHorizontally")->trigger();
        QCOMPARE(first->geometry().width(), viewport.width());
        QCOMPARE(second->geometry().width(), viewport.width());
        QCOMPARE(first->geometry().top(), 0);
        QCOMPARE(second->geometry().top(), viewport.height() / 2);

        s.Item("mnuWindowTileVertically")->trigger();
        QCOMPARE(first->geometry().height(), viewport.height());
        QCOMPARE(first->geometry().left(), 0);
        QCOMPARE(second->geometry().left(), viewport.width() / 2);

        QMenu* menu = s.window->findChild<QMenu*>(QStringLiteral("mnuWindow"));
        QMetaObject::invokeMethod(menu, "aboutToShow");
        QStringList listed;
        QList<bool> checked;
        const QList<QAction*> items = menu->actions();
        for (qsizetype i = 6; i < items.size(); ++i) {
            listed.append(items[i]->text());
            checked.append(items[i]->isChecked());
        }
        QCOMPARE(listed, (QStringList{"&1 SYS1", "&2 NTDS"}));
        QCOMPARE(checked, (QList<bool>{false, true}));
        items[6]->trigger();
        QCOMPARE(area->activeSubWindow(), first);
    }

    void ChildWindowsOpenAtTheirAskedSizeAndCascadeKeepsIt() {
        Session s;
        s.window->resize(1600, 1200);
        s.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(s.window.get()));
        auto* asked = new FakeChild(ChildWindow::Kind::Plot, "SYS1");
        asked->resize(900, 560);
        QMdiSubWindow* first = s.window->AddChildWindow(asked);
        QCOMPARE(asked->size(), QSize(900, 560));

        // In a smaller work area a window takes 70 % of it.
        s.window->resize(800, 600);
        QTRY_VERIFY(s.window->MdiArea()->viewport()->width() < 800);
        const QSize area = s.window->MdiArea()->viewport()->size();
        auto* large = new FakeChild(ChildWindow::Kind::Table, "SYS1");
        large->resize(2000, 2000);
        QMdiSubWindow* second = s.window->AddChildWindow(large);
        QCOMPARE(second->size(), QSize(area.width() * 7 / 10, area.height() * 7 / 10));

        const QSize firstSize = first->size();
        const QSize secondSize = second->size();
        s.Item("mnuWindowCascade")->trigger();
        QCOMPARE(first->size(), firstSize);
        QCOMPARE(second->size(), secondSize);
        QCOMPARE(first->pos(), QPoint(0, 0));
        QVERIFY(second->x() > 0 && second->y() > 0);
    }

    void ExitReleasesTheDatabase() {
        Session s;
        s.Controller().OpenCurrentDataSet("SYS1");
        s.window->AddChildWindow(new FakeChild(ChildWindow::Kind::Plot, "SYS1"));
        s.window->show();
        s.Item("mnuFileExit")->trigger();
        QVERIFY(!s.window->isVisible());
        QVERIFY(!s.Controller().OpenedDatabase());
        QTRY_COMPARE(s.window->MdiArea()->subWindowList().size(), 0);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
