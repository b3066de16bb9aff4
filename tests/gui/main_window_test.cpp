#include <QAction>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QtTest>
#include <filesystem>

#include "gui_test_support.h"
#include "shell/child_window.h"
#include "shell/main_window.h"
#include "tamsel/store/queries.h"
#include "tamsel/workbench/project.h"
#include "test_support.h"

using namespace tamsel;
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

QMdiSubWindow* AddChild(Session& s, ChildWindow::Kind kind, const char* dataSetName) {
    return s.window->AddChildWindow(new FakeChild(kind, QString::fromLatin1(dataSetName)));
}

QStringList Names(const char* names) { return QString::fromLatin1(names).split(' '); }

// The items that can be switched, with those the program never disables.
const QStringList kAlwaysEnabled = Names(
    "mnuFileNewDatabase mnuFileOpenDatabase mnuFileOpenSharedProject mnuFileExit "
    "mnuViewCurrentSelections mnuWindowTile mnuWindowTileHorizontally mnuWindowTileVertically "
    "mnuWindowCascade mnuWindowArrangeIcons mnuHelpUserGuide mnuHelpAbout");
const QStringList kDatabaseItems =
    kAlwaysEnabled + Names("mnuDataAddNewDataset mnuDataSelectDataset");
const QStringList kDataSetItems =
    kDatabaseItems +
    Names(
        "mnuDataDeleteDataset mnuDataAppendFailures mnuEstimatesApplyModel mnuEstimatesSelectSet "
        "mnuEstimatesRecalibrate mnuEstimatesSelectPredictions mnuTableShowTableFT "
        "mnuPredictionsEvaluate mnuFileExportReport "
        "mnuPlotShowPlot_0 mnuPlotShowPlot_3 mnuPlotShowPlot_40 mnuPlotShowPlot_43");
const QStringList kRecalibratedItems =
    kDataSetItems +
    Names(
        "mnuDataDeleteSet mnuTableShowTableEstimates mnuPlotShowPlot_13 mnuPlotShowPlot_20 "
        "mnuPlotShowPlot_23 mnuPlotShowPlot_30 mnuPredictionsNextFailure "
        "mnuPredictionsForecast");
const QStringList kRawItems = kRecalibratedItems + Names("mnuPlotShowPlot_10");

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

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
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
        expect(kDatabaseItems, "Dataset:", "Estimates:");
        QCOMPARE(s.Panel(1), QStringLiteral("Database: ") + QString::fromStdString(s.fileName));
        c.OpenCurrentDataSet("SYS1");
        expect(kDataSetItems, "Dataset: SYS1", "Estimates:");
        c.SelectEstimatesSet(guitest::SetInfo(s.sys1Set, "Jelinski-Moranda"));
        expect(kRawItems, "Dataset: SYS1", "Estimates: Jelinski-Moranda");

        QVERIFY(c.SelectRecalibratedSet(s.sys1Predictions));
        expect(kRecalibratedItems, "Dataset: SYS1", "Estimates: Jelinski-Moranda, recalibrated");
        QCOMPARE(selection.estimatesSetId, s.sys1Set);
        QCOMPARE(selection.predictionsSetId, s.sys1Predictions);
        QVERIFY(selection.recalibrated);
        QCOMPARE(selection.modelName, std::string("Jelinski-Moranda"));
        QCOMPARE(std::tuple(selection.rangeStart, selection.rangeEnd, selection.setSize),
                 std::tuple(20, 136, 136));
        QVERIFY(!selection.inferenceMethodName.empty());
        QVERIFY(!selection.recalibrationMethodName.empty());

        // A raw set after a recalibrated one is raw again.
        c.SelectEstimatesSet(guitest::SetInfo(s.sys1Set, "Jelinski-Moranda"));
        expect(kRawItems, "Dataset: SYS1", "Estimates: Jelinski-Moranda");
        QVERIFY(!selection.recalibrated);
        QCOMPARE(selection.predictionsSetId, 0);
        QVERIFY(selection.recalibrationMethodName.empty());
        c.CloseCurrentEstimatesSet();
        expect(kDataSetItems, "Dataset: SYS1", "Estimates:");

        // Choosing another dataset forgets the estimates set.
        QVERIFY(c.SelectRecalibratedSet(s.sys1Predictions));
        c.OpenCurrentDataSet("NTDS");
        expect(kDataSetItems, "Dataset: NTDS", "Estimates:");
        QCOMPARE(selection.estimatesSetId + selection.predictionsSetId, 0);
        QVERIFY(!selection.recalibrated && selection.modelName.empty());

        c.SelectEstimatesSet(guitest::SetInfo(s.ntdsSet, "Goel-Okumoto", 20, 26, 26));
        c.CloseCurrentDataSet();
        expect(kDatabaseItems, "Dataset:", "Estimates:");
        QVERIFY(selection.dataSetName.empty());
        QCOMPARE(selection.estimatesSetId, 0);

        c.OpenCurrentDataSet("NTDS");
        c.SelectEstimatesSet(guitest::SetInfo(s.ntdsSet, "Goel-Okumoto", 20, 26, 26));
        c.CloseDatabase();
        expect(kAlwaysEnabled, "Dataset:", "Estimates:");
        QCOMPARE(s.Panel(1), QStringLiteral("Database:"));
        QVERIFY(!c.OpenedDatabase());
        QVERIFY(selection.databaseFileName.empty() && selection.dataSetName.empty());
        QVERIFY(s.sink.Texts().empty());
    }

    void FailedRecalibratedLookupChangesNothing() {
        Session s;
        s.SelectSet(s.sys1Set, "Jelinski-Moranda");
        const QStringList enabled = EnabledItems(*s.window);
        const QString panel3 = s.window->StatusPanelText(3);
        QVERIFY(!s.Controller().SelectRecalibratedSet(s.sys1Predictions + 1000));
        QCOMPARE(s.sink.Texts(),
                 std::vector<std::string>{
                     "An error occurred while retrieving the attributes of a recalibrated set."});
        QCOMPARE(EnabledItems(*s.window), enabled);
        QCOMPARE(s.window->StatusPanelText(3), panel3);
        QCOMPARE(s.Controller().Selection().estimatesSetId, s.sys1Set);
        QCOMPARE(s.Controller().Selection().modelName, std::string("Jelinski-Moranda"));
        QVERIFY(!s.Controller().Selection().recalibrated);
    }

    void FileMenuFollowsTheActiveChildWindow() {
        Session s;
        const QRegularExpression fileItem(QStringLiteral("Graph|SaveTable"));
        auto fileItems = [&] { return EnabledItems(*s.window).filter(fileItem); };
        const QStringList graphs = {"mnuFileCopyGraph", "mnuFilePrintGraph", "mnuFileSaveGraph"};
        const QStringList table = {"mnuFileSaveTable"};
        QMdiArea* area = s.window->MdiArea();
        QMdiSubWindow* plot = AddChild(s, ChildWindow::Kind::Plot, "SYS1");
        QCOMPARE(fileItems(), graphs);
        QMdiSubWindow* tableWindow = AddChild(s, ChildWindow::Kind::Table, "SYS1");
        QCOMPARE(fileItems(), table);
        area->setActiveSubWindow(plot);
        QCOMPARE(fileItems(), graphs);

        // Any other child window disables all four.
        QMdiSubWindow* other = area->addSubWindow(new QWidget);
        other->show();
        area->setActiveSubWindow(other);
        QCOMPARE(fileItems(), QStringList());
        area->setActiveSubWindow(tableWindow);
        QCOMPARE(fileItems(), table);
        delete other;

        // A dialog is not a child window.
        QDialog dialog(s.window.get());
        dialog.show();
        s.window->UpdateActions();
        QCOMPARE(fileItems(), table);
        dialog.close();

        // Closing one of several windows leaves the commands of the one that becomes active.
        QMdiSubWindow* secondPlot = AddChild(s, ChildWindow::Kind::Plot, "NTDS");
        area->setActiveSubWindow(tableWindow);
        tableWindow->close();
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

    void FileCommandsThatFailLeaveNoDatabaseOpen() {
        const struct {
            const char *item, *file, *message;
        } cases[] = {
            {"mnuFileOpenDatabase", "notes.txt", "An error occurred in selecting a database"},
            {"mnuFileNewDatabase", "missing/new.db",
             "An error occurred in creating a new database"},
        };
        for (const auto& c : cases) {
            Session s;
            s.dir.WriteFile("notes.txt", "not a database\n");
            s.desktop.QueueFileName(QString::fromStdString(s.dir.File(c.file)));
            s.Item(c.item)->trigger();
            // The reason follows on a line of its own.
            QCOMPARE(s.sink.Texts().size(), size_t(1));
            QCOMPARE(s.sink.Texts()[0].substr(0, s.sink.Texts()[0].find('\r')),
                     std::string(c.message));
            QVERIFY(!s.Controller().OpenedDatabase());
            QCOMPARE(EnabledItems(*s.window), Sorted(kAlwaysEnabled));
        }
    }

    // Cancelled file dialogs change nothing; another project replaces the open one and closes
    // its windows; a new project opens empty but for the reference rows.
    void FileCommandsOpenAnotherOrANewProject() {
        Session s;
        s.SelectSet(s.sys1Set, "Jelinski-Moranda");
        AddChild(s, ChildWindow::Kind::Plot, "SYS1");
        AddChild(s, ChildWindow::Kind::Table, "NTDS");
        s.Item("mnuFileOpenDatabase")->trigger();
        s.Item("mnuFileNewDatabase")->trigger();
        QCOMPARE(s.Controller().Selection().estimatesSetId, s.sys1Set);
        QCOMPARE(s.window->MdiArea()->subWindowList().size(), 2);

        test::TempDir other;
        const std::string otherFile = guitest::MakeDatabase(other, {});
        s.desktop.QueueFileName(QString::fromStdString(otherFile));
        s.Item("mnuFileOpenDatabase")->trigger();
        QTRY_COMPARE(s.window->MdiArea()->subWindowList().size(), 0);
        QCOMPARE(s.Controller().Selection().databaseFileName, otherFile);
        QVERIFY(s.Controller().Selection().dataSetName.empty());
        QCOMPARE(s.Controller().Selection().estimatesSetId, 0);
        QCOMPARE(EnabledItems(*s.window), Sorted(kDatabaseItems));
        QCOMPARE(s.Panel(1), QStringLiteral("Database: ") + QString::fromStdString(otherFile));

        const std::string created = s.dir.File("new.db");
        s.desktop.QueueFileName(QString::fromStdString(created));
        s.Item("mnuFileNewDatabase")->trigger();
        QCOMPARE(s.desktop.questions, (std::vector<FileQuestion>{
                                          FileQuestion::OpenDatabase, FileQuestion::NewDatabase,
                                          FileQuestion::OpenDatabase, FileQuestion::NewDatabase}));
        QVERIFY(s.sink.Texts().empty());
        QCOMPARE(s.Controller().Selection().databaseFileName, created);
        QCOMPARE(guitest::CountRows(s.Db(), "DataSets"), 0);
        QCOMPARE(EnabledItems(*s.window), Sorted(kDatabaseItems));
    }

    // Watching the file notices a delete at once, regaining the focus a replacement; each
    // opened file is told about once (the core words the message).
    void TellsWhenAnotherProgramDeletesOrReplacesTheFile() {
        Session s;
        std::filesystem::remove(s.fileName);
        QTRY_COMPARE(s.sink.Count(), std::size_t{1});
        QVERIFY(CreateProject(s.fileName));
        s.window->OpenDatabaseFile(QString::fromStdString(s.fileName));
        QVERIFY(CreateProject(s.fileName));
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        QCOMPARE(s.sink.Count(), std::size_t{2});
        QVERIFY(s.sink.Texts().back().find("was replaced") != std::string::npos);
    }

    void DeleteDatasetAsksThenClosesItAndItsWindows() {
        Session s;
        s.SelectSet(s.sys1Set, "Jelinski-Moranda");
        AddChild(s, ChildWindow::Kind::Plot, "SYS1");
        QMdiSubWindow* ntds = AddChild(s, ChildWindow::Kind::Table, "NTDS");
        AddChild(s, ChildWindow::Kind::Table, "SYS1");
        s.sink.QueueAnswer(MessageAnswer::Cancel);
        s.Item("mnuDataDeleteDataset")->trigger();
        const std::vector<test::RecordingSink::Entry> asked = s.sink.Entries();
        QCOMPARE(asked.size(), std::size_t{1});
        QCOMPARE(asked[0].text, std::string("The current dataset is SYS1\r\n"
                                            "Are you sure you want to delete it?\r\n"
                                            "This will also delete all the related failure "
                                            "times and estimates sets"));
        QCOMPARE(asked[0].buttons, MessageButtons::OkCancel);
        QCOMPARE(guitest::CountRows(s.Db(), "DataSets"), 2);
        QCOMPARE(s.window->MdiArea()->subWindowList().size(), 3);

        s.sink.QueueAnswer(MessageAnswer::Ok);
        s.Item("mnuDataDeleteDataset")->trigger();
        QCOMPARE(FindDataSetId(s.Db(), "SYS1"), std::optional<int>(0));
        QCOMPARE(guitest::CountRows(s.Db(), "EstimatesSets"), 1);
        QCOMPARE(guitest::CountRows(s.Db(), "PredictionsSets"), 0);
        QVERIFY(s.Controller().Selection().dataSetName.empty());
        QCOMPARE(s.Controller().Selection().estimatesSetId, 0);
        QStringList enabled = EnabledItems(*s.window);
        enabled.removeOne(QStringLiteral("mnuFileSaveTable"));  // NTDS's table may be active
        enabled.removeOne(QStringLiteral("mnuEditCopy"));
        QCOMPARE(enabled, Sorted(kDatabaseItems));
        QCOMPARE(s.Panel(2), QStringLiteral("Dataset:"));
        QCOMPARE(s.Panel(3), QStringLiteral("Estimates:"));
        QTRY_COMPARE(s.window->MdiArea()->subWindowList(), QList<QMdiSubWindow*>{ntds});
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
