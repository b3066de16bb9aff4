#include "shell/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <algorithm>
#include <optional>
#include <string>

#include "plots/plot_window.h"
#include "plots/show_plot.h"
#include "predictions/evaluation_dialog.h"
#include "predictions/forecast_dialog.h"
#include "predictions/report_dialog.h"
#include "recalibration/recalibration_dialog.h"
#include "shell/about_dialog.h"
#include "shell/add_data_dialog.h"
#include "shell/append_failures_dialog.h"
#include "shell/child_window.h"
#include "shell/current_selections_dialog.h"
#include "shell/desktop.h"
#include "shell/empty_state.h"
#include "shell/guide_viewer.h"
#include "shell/model_options_dialog.h"
#include "shell/password_store.h"
#include "shell/project_browser.h"
#include "shell/qt_text.h"
#include "shell/recent_databases.h"
#include "shell/select_data_set_dialog.h"
#include "shell/select_estimates_dialog.h"
#include "shell/select_predictions_dialog.h"
#include "shell/shared_project_dialog.h"
#include "shell/tile_grid.h"
#include "tables/next_failure_dialog.h"
#include "tables/table_window.h"
#include "tamsel/workbench/delete_set.h"
#include "tamsel/workbench/plots.h"
#include "tamsel/workbench/project.h"

namespace tamsel {
namespace {

// A new child window takes at most this share of the work area in each direction.
constexpr int kLargestNewWindowPercent = 70;

constexpr const char* kPanelCaptions[] = {"Database: ", "Dataset: ", "Estimates: "};
// A shown value keeps some room before the next panel.
constexpr const char* kPanelBlanks = "  ";

// The active child window of area when it is a Window, else null.
template <typename Window>
Window* ActiveWidget(const QMdiArea* area) {
    const QMdiSubWindow* active = area->activeSubWindow();
    return active ? qobject_cast<Window*>(active->widget()) : nullptr;
}

void SetEnabled(std::initializer_list<QAction*> actions, bool enabled) {
    for (QAction* action : actions) action->setEnabled(enabled);
}

}  // namespace

MainWindow::MainWindow(Desktop& desktop, QWidget* parent)
    : QMainWindow(parent), m_desktop(desktop), m_controller(*this) {
    setObjectName(QStringLiteral("MDITamsel"));
    setWindowTitle(QStringLiteral("Tamsel"));
    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("MdiArea"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &MainWindow::UpdateActions);

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    const int stretch[] = {3, 2, 2};
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(bar);
        m_panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        m_panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_panels[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_panels[i]->setMinimumWidth(120);
        bar->addWidget(m_panels[i], stretch[i]);
    }
    CreateProjectViews();
    CreateMenus();
    m_fileWatcher = new QFileSystemWatcher(this);
    connect(m_fileWatcher, &QFileSystemWatcher::fileChanged, this, &MainWindow::CheckProjectFile);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive) CheckProjectFile();
            });
    SelectionChanged();
    if (!restoreGeometry(m_desktop.MainWindowGeometry())) resize(1000, 700);
}

MainWindow::~MainWindow() {
    // Child windows outlive this part of the object; they must not call back into it.
    m_mdiArea->disconnect(this);
    // Closed windows awaiting deletion are no longer listed by the area but still connected.
    for (QMdiSubWindow* sub : m_mdiArea->findChildren<QMdiSubWindow*>()) sub->disconnect(this);
}

template <typename Command>
QAction* MainWindow::AddItem(QMenu* menu, const char* name, const QString& caption,
                             Command command) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, command);
    return action;
}

void MainWindow::CreateMenus() {
    QMenuBar* bar = menuBar();
    Actions& a = m_actions;

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    AddItem(file, "mnuFileNewDatabase", QStringLiteral("&New Database..."),
            &MainWindow::NewDatabase);
    AddItem(file, "mnuFileOpenDatabase", QStringLiteral("&Open Database..."),
            &MainWindow::OpenDatabase);
    AddItem(file, "mnuFileOpenSharedProject", QStringLiteral("Open S&hared Project..."),
            [this] { OpenSharedProject(); });
    m_recentMenu = file->addMenu(QStringLiteral("&Recent Databases"));
    m_recentMenu->setObjectName(QStringLiteral("mnuFileRecent"));
    connect(m_recentMenu, &QMenu::aboutToShow, this, &MainWindow::FillRecentMenu);
    file->addSeparator();
    a.copyGraph = AddItem(file, "mnuFileCopyGraph", QStringLiteral("&Copy Graph"), [this] {
        if (PlotWindow* plot = ActivePlotWindow()) plot->CopyGraph();
    });
    a.saveGraph = AddItem(file, "mnuFileSaveGraph", QStringLiteral("&Save Graph..."), [this] {
        if (PlotWindow* plot = ActivePlotWindow()) plot->SaveGraph(m_desktop);
    });
    a.printGraph = AddItem(file, "mnuFilePrintGraph", QStringLiteral("&Print Graph..."), [this] {
        if (PlotWindow* plot = ActivePlotWindow()) plot->PrintGraph();
    });
    file->addSeparator();
    a.saveTable = AddItem(file, "mnuFileSaveTable", QStringLiteral("Save &Table..."), [this] {
        if (TableWindow* table = ActiveTableWindow()) table->SaveTable(m_desktop);
    });
    a.exportReport =
        AddItem(file, "mnuFileExportReport", QStringLiteral("Export &Report..."), [this] {
            auto* dialog = new ReportDialog(m_desktop, m_controller.Location(),
                                            m_controller.Selection().dataSetName, this);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->show();
        });
    file->addSeparator();
    AddItem(file, "mnuFileExit", QStringLiteral("&Exit"), &QWidget::close);

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    a.copy = AddItem(edit, "mnuEditCopy", QStringLiteral("&Copy"), &MainWindow::CopyActiveWindow);
    a.copy->setShortcut(QKeySequence::Copy);

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnuView"));
    AddItem(view, "mnuViewCurrentSelections", QStringLiteral("Current &Selections"),
            &MainWindow::ShowCurrentSelections);

    QMenu* data = bar->addMenu(QStringLiteral("&Data"));
    data->setObjectName(QStringLiteral("mnuData"));
    a.addNewDataset = AddItem(data, "mnuDataAddNewDataset", QStringLiteral("&Add New Dataset..."),
                              &MainWindow::AddNewDataset);
    a.selectDataset = AddItem(data, "mnuDataSelectDataset", QStringLiteral("&Select Dataset..."),
                              &MainWindow::SelectDataset);
    a.deleteDataset = AddItem(data, "mnuDataDeleteDataset", QStringLiteral("&Delete Dataset..."),
                              &MainWindow::DeleteDataset);
    a.appendFailures = AddItem(data, "mnuDataAppendFailures", QStringLiteral("Append &Failures..."),
                               &MainWindow::AppendFailures);
    a.deleteSet =
        AddItem(data, "mnuDataDeleteSet", QStringLiteral("Delete S&et..."), &MainWindow::DeleteSet);

    QMenu* estimates = bar->addMenu(QStringLiteral("&Estimates"));
    estimates->setObjectName(QStringLiteral("mnuEstimates"));
    a.applyModel = AddItem(estimates, "mnuEstimatesApplyModel", QStringLiteral("&Apply Model..."),
                           &MainWindow::ApplyModel);
    a.selectEstimatesSet =
        AddItem(estimates, "mnuEstimatesSelectSet", QStringLiteral("&Select Estimates Set..."),
                &MainWindow::SelectEstimatesSet);
    estimates->addSeparator();
    a.recalibrate =
        AddItem(estimates, "mnuEstimatesRecalibrate",
                QStringLiteral("&Recalibrate Estimates Set..."), &MainWindow::Recalibrate);
    a.selectPredictions = AddItem(estimates, "mnuEstimatesSelectPredictions",
                                  QStringLiteral("Select Recalibrated &Predictions Set..."),
                                  &MainWindow::SelectRecalibratedPredictionsSet);

    QMenu* plot = bar->addMenu(QStringLiteral("&Plot"));
    plot->setObjectName(QStringLiteral("mnuPlot"));
    for (const PlotKind& kind : PlotKinds()) {
        const QByteArray name =
            "mnuPlotShowPlot_" + QByteArray::number(static_cast<int>(kind.type));
        a.plots[kind.type] =
            AddItem(plot, name.constData(), ToQString(std::string(kind.menuCaption)),
                    [this, type = kind.type] { ShowPlot(*this, type); });
    }

    QMenu* table = bar->addMenu(QStringLiteral("&Table"));
    table->setObjectName(QStringLiteral("mnuTable"));
    a.failureTimesTable =
        AddItem(table, "mnuTableShowTableFT", QStringLiteral("Show Table &Failure Times"),
                [this] { ShowTable(false); });
    a.estimatesTable =
        AddItem(table, "mnuTableShowTableEstimates", QStringLiteral("Show Table &Estimates"),
                [this] { ShowTable(true); });

    QMenu* predictions = bar->addMenu(QStringLiteral("P&redictions"));
    predictions->setObjectName(QStringLiteral("mnuPredictions"));
    a.nextFailure = AddItem(predictions, "mnuPredictionsNextFailure",
                            QStringLiteral("Next Failure"), &MainWindow::NextFailure);
    a.forecast =
        AddItem(predictions, "mnuPredictionsForecast", QStringLiteral("&Forecast..."), [this] {
            ForecastDialog::ShowFor(*m_controller.OpenedDatabase(), m_controller.Selection(), this);
        });
    a.evaluate =
        AddItem(predictions, "mnuPredictionsEvaluate", QStringLiteral("&Evaluate Sets..."), [this] {
            EvaluationDialog::ShowFor(*m_controller.OpenedDatabase(), m_controller.Selection(),
                                      this);
        });

    m_windowMenu = bar->addMenu(QStringLiteral("&Window"));
    m_windowMenu->setObjectName(QStringLiteral("mnuWindow"));
    AddItem(m_windowMenu, "mnuWindowTile", QStringLiteral("&Tile"), &MainWindow::TileWindowsInGrid);
    AddItem(m_windowMenu, "mnuWindowTileHorizontally", QStringLiteral("Tile &Horizontally"),
            [this] { TileWindows(true); });
    AddItem(m_windowMenu, "mnuWindowTileVertically", QStringLiteral("Tile &Vertically"),
            [this] { TileWindows(false); });
    AddItem(m_windowMenu, "mnuWindowCascade", QStringLiteral("&Cascade"),
            &MainWindow::CascadeWindows);
    AddItem(m_windowMenu, "mnuWindowArrangeIcons", QStringLiteral("&Arrange Icons"),
            &MainWindow::ArrangeIcons);
    m_windowListSeparator = m_windowMenu->addSeparator();
    connect(m_windowMenu, &QMenu::aboutToShow, this, &MainWindow::FillWindowMenu);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    AddItem(help, "mnuHelpUserGuide", QStringLiteral("&User Guide"), &MainWindow::ShowUserGuide)
        ->setShortcut(QKeySequence::HelpContents);
    help->addSeparator();
    AddItem(help, "mnuHelpAbout", QStringLiteral("&About Tamsel"), &MainWindow::ShowAbout);
}

QString MainWindow::StatusPanelText(int panel) const { return m_panels.at(panel - 1)->text(); }

void MainWindow::SelectionChanged() {
    UpdateActions();
    ShowSelection(m_controller.Selection());
    m_browser->Follow(m_controller.OpenedDatabase(), m_controller.Selection());
    UpdateWorkArea();
}

void MainWindow::ShowSelection(const CurrentSelection& selection) {
    QString estimates;
    if (selection.estimatesSetId != 0) {
        estimates = ToQString(selection.modelName);
        if (selection.recalibrated) estimates += QStringLiteral(", recalibrated");
    }
    const QString location = ToQString(selection.databaseFileName);
    // A project nothing can be stored in (a reviewer's role, a write-protected file) says so
    // where its name is shown, and why on the panel's tooltip.
    const Database* db = m_controller.OpenedDatabase();
    const std::optional<std::string> refusal = db ? db->WriteRefusal() : std::nullopt;
    const QString mark = refusal ? QStringLiteral(" (read-only)") : QString();
    setWindowTitle(location.isEmpty() ? QStringLiteral("Tamsel")
                                      : location + mark + QStringLiteral(" - Tamsel"));
    m_panels[0]->setToolTip(refusal ? ToQString(*refusal) : QString());
    const QString values[] = {location, ToQString(selection.dataSetName), estimates};
    for (int i = 0; i < 3; ++i) {
        m_panels[i]->setText(QString::fromLatin1(kPanelCaptions[i]) + values[i] +
                             (values[i].isEmpty() ? QString() : QString::fromLatin1(kPanelBlanks)));
    }
}

void MainWindow::UpdateActions() {
    const CurrentSelection& selection = m_controller.Selection();
    const bool database = m_controller.OpenedDatabase() != nullptr;
    const bool dataSet = database && !selection.dataSetName.empty();
    const bool set = dataSet && selection.estimatesSetId != 0;
    const bool rawSet = set && !selection.recalibrated;
    const Actions& a = m_actions;
    SetEnabled({a.addNewDataset, a.selectDataset}, database);
    SetEnabled(
        {a.deleteDataset, a.appendFailures, a.applyModel, a.selectEstimatesSet, a.recalibrate,
         a.selectPredictions, a.failureTimesTable, a.evaluate, a.exportReport},
        dataSet);
    SetEnabled({a.estimatesTable, a.nextFailure, a.forecast, a.deleteSet}, set);
    for (const PlotKind& kind : PlotKinds()) {
        a.plots.at(kind.type)->setEnabled(kind.needs == PlotNeeds::DataSet        ? dataSet
                                          : kind.needs == PlotNeeds::EstimatesSet ? set
                                                                                  : rawSet);
    }
    // Dialogs are not child windows: only the MDI area's windows count.
    const ChildWindow* child = ActiveWidget<ChildWindow>(m_mdiArea);
    const bool plot = child && child->WindowKind() == ChildWindow::Kind::Plot;
    const bool table = child && child->WindowKind() == ChildWindow::Kind::Table;
    SetEnabled({a.copyGraph, a.saveGraph, a.printGraph}, plot);
    a.saveTable->setEnabled(table);
    a.copy->setEnabled(plot || table);
}

void MainWindow::CloseChildWindows(const QString& dataSetName) {
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList()) {
        const auto* child = qobject_cast<const ChildWindow*>(sub->widget());
        if (dataSetName.isEmpty() || (child && child->DataSetName() == dataSetName)) {
            sub->close();
        }
    }
    UpdateActions();
}

QMdiSubWindow* MainWindow::AddChildWindow(ChildWindow* window) {
    // The area gives a new window the size of its contents' hint; it gets the size it asked for.
    const QSize asked = window->size();
    QMdiSubWindow* sub = m_mdiArea->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    connect(sub, &QObject::destroyed, this, &MainWindow::UpdateActions);
    // Queued: the area still lists a window while it is being destroyed.
    connect(sub, &QObject::destroyed, this, &MainWindow::UpdateWorkArea, Qt::QueuedConnection);
    m_workArea->setCurrentWidget(m_mdiArea);
    sub->show();
    QSize size = asked + sub->size() - window->size();
    // A main window that is not shown yet has no work area to fit into.
    if (m_mdiArea->isVisible()) {
        const QSize area = m_mdiArea->viewport()->size();
        size = size.boundedTo(QSize(area.width() * kLargestNewWindowPercent / 100,
                                    area.height() * kLargestNewWindowPercent / 100));
        // The area puts a new window beside the others even where it then sticks out.
        sub->move(std::clamp(sub->x(), 0, area.width() - size.width()),
                  std::clamp(sub->y(), 0, area.height() - size.height()));
    }
    sub->resize(size);
    m_mdiArea->setActiveSubWindow(sub);
    return sub;
}

void MainWindow::ShowTable(bool estimates) {
    Database* db = m_controller.OpenedDatabase();
    if (!db) return;
    const CurrentSelection& selection = m_controller.Selection();
    std::optional<TableView> table =
        estimates ? ShowEstimatesTable(*db, selection) : ShowFailureTimesTable(*db, selection);
    if (!table) return;
    AddChildWindow(new TableWindow(std::move(*table), selection.dataSetName));
}

PlotWindow* MainWindow::ActivePlotWindow() const { return ActiveWidget<PlotWindow>(m_mdiArea); }

TableWindow* MainWindow::ActiveTableWindow() const { return ActiveWidget<TableWindow>(m_mdiArea); }

void MainWindow::FillWindowMenu() {
    const QList<QAction*> actions = m_windowMenu->actions();
    for (qsizetype i = actions.indexOf(m_windowListSeparator) + 1; i < actions.size(); ++i) {
        m_windowMenu->removeAction(actions[i]);
        actions[i]->deleteLater();
    }
    const QList<QMdiSubWindow*> windows = m_mdiArea->subWindowList();
    m_windowListSeparator->setVisible(!windows.isEmpty());
    int number = 1;
    for (QMdiSubWindow* sub : windows) {
        QAction* action =
            m_windowMenu->addAction(QStringLiteral("&%1 %2").arg(number++).arg(sub->windowTitle()));
        action->setCheckable(true);
        action->setChecked(sub == m_mdiArea->activeSubWindow());
        connect(action, &QAction::triggered, m_mdiArea,
                [this, sub] { m_mdiArea->setActiveSubWindow(sub); });
    }
}

QList<QMdiSubWindow*> MainWindow::ArrangedWindows() const {
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList()) {
        if (!sub->isMinimized() && sub->isVisible()) windows.append(sub);
    }
    return windows;
}

void MainWindow::TileWindowsInGrid() {
    const QList<QMdiSubWindow*> windows = ArrangedWindows();
    const std::vector<QRect> cells =
        TileGrid(m_mdiArea->viewport()->size(), static_cast<int>(windows.size()), kSmallestTile);
    for (qsizetype i = 0; i < windows.size(); ++i) {
        windows[i]->showNormal();
        windows[i]->setGeometry(cells[static_cast<std::size_t>(i)]);
    }
}

void MainWindow::TileWindows(bool horizontally) {
    const QList<QMdiSubWindow*> windows = ArrangedWindows();
    if (windows.isEmpty()) return;
    const QRect area = m_mdiArea->viewport()->rect();
    const int count = static_cast<int>(windows.size());
    for (int i = 0; i < count; ++i) {
        windows[i]->showNormal();
        if (horizontally) {
            const int top = area.height() * i / count;
            const int bottom = area.height() * (i + 1) / count;
            windows[i]->setGeometry(0, top, area.width(), bottom - top);
        } else {
            const int left = area.width() * i / count;
            const int right = area.width() * (i + 1) / count;
            windows[i]->setGeometry(left, 0, right - left, area.height());
        }
    }
}

void MainWindow::CascadeWindows() {
    // QMdiArea's own cascade shrinks each window to its contents' hint; this one keeps sizes.
    const QRect area = m_mdiArea->viewport()->rect();
    QMdiSubWindow* active = m_mdiArea->activeSubWindow();
    QPoint corner;
    for (QMdiSubWindow* sub : ArrangedWindows()) {
        sub->showNormal();
        if (corner.x() + sub->width() > area.width() ||
            corner.y() + sub->height() > area.height()) {
            corner = QPoint();
        }
        sub->move(corner);
        sub->raise();
        const int step = sub->height() - sub->widget()->height();
        corner += QPoint(step, step);
    }
    if (active) m_mdiArea->setActiveSubWindow(active);
}

void MainWindow::ArrangeIcons() {
    // Minimised windows line up along the bottom edge, left to right, row above row.
    const QRect area = m_mdiArea->viewport()->rect();
    int x = 0;
    int y = area.bottom();
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList()) {
        if (!sub->isMinimized()) continue;
        const QSize size = sub->size();
        if (x > 0 && x + size.width() > area.width()) {
            x = 0;
            y -= size.height();
        }
        sub->move(x, y - size.height() + 1);
        x += size.width();
    }
}

bool MainWindow::OpenDatabaseFile(const QString& location) {
    m_controller.CloseDatabase();
    if (const QStringList watched = m_fileWatcher->files(); !watched.isEmpty()) {
        m_fileWatcher->removePaths(watched);
    }
    const std::string opened = ToStdString(location);
    if (!m_controller.OpenDatabase(opened)) return false;
    RememberDatabase(opened);
    m_fileChangeTold = false;
    if (!IsServerLocation(opened)) m_fileWatcher->addPath(location);
    return true;
}

void MainWindow::OpenSharedProject(const QString& uri, const QString& notice) {
    SharedProjectDialog dialog(m_desktop.Keyring(), uri, notice, this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (OpenDatabaseFile(ToQString(dialog.Location()))) dialog.KeepPassword();
}

void MainWindow::OpenRecent(const QString& entry) {
    if (!RecentAsksPassword(entry)) {
        OpenDatabaseFile(entry);
        return;
    }
    const std::optional<QString> kept = m_desktop.Keyring().Read(entry);
    if (!kept) {
        OpenSharedProject(entry);
    } else if (!OpenDatabaseFile(ToQString(WithPassword(ToStdString(entry), *kept)))) {
        OpenSharedProject(entry, QStringLiteral("The password the system keyring keeps for this "
                                                "project did not open it. Enter the password "
                                                "again; once the project opens, the keyring "
                                                "keeps the new one, or forgets the old one if "
                                                "you uncheck the box."));
    }
}

void MainWindow::CheckProjectFile() {
    const Database* db = m_controller.OpenedDatabase();
    if (!db || m_fileChangeTold || IsServerLocation(m_controller.Location())) return;
    if (const std::optional<std::string> change = db->FileChange()) {
        m_fileChangeTold = true;
        ShowMessage(*change, MessageIcon::Exclamation);
    }
}

void MainWindow::NewDatabase() {
    const QString fileName = m_desktop.AskFileName(this, FileQuestion::NewDatabase);
    if (fileName.isEmpty()) return;
    m_controller.CloseDatabase();
    if (!CreateProject(ToStdString(fileName))) return;
    OpenDatabaseFile(fileName);
}

void MainWindow::OpenDatabase() {
    const QString fileName = m_desktop.AskFileName(this, FileQuestion::OpenDatabase);
    if (fileName.isEmpty()) return;
    OpenDatabaseFile(fileName);
}

void MainWindow::ShowCurrentSelections() {
    CurrentSelectionsDialog dialog(m_controller.Selection(), m_controller.OpenedDatabase(), this);
    dialog.exec();
}

void MainWindow::AddNewDataset() {
    AddDataDialog dialog(*m_controller.OpenedDatabase(), m_controller, m_desktop, this);
    dialog.exec();
    ProjectChanged();
}

void MainWindow::SelectDataset() {
    SelectDataSetDialog dialog(*m_controller.OpenedDatabase(), m_controller, this);
    dialog.PossiblyShow();
}

void MainWindow::DeleteDataset() {
    const std::string& name = m_controller.Selection().dataSetName;
    const std::string question =
        JoinLines({"The current dataset is " + name, "Are you sure you want to delete it?",
                   "This will also delete all the related failure times and estimates sets"});
    if (Ask(question, MessageButtons::OkCancel, MessageIcon::Question) != MessageAnswer::Ok) {
        return;
    }
    m_browser->Invalidate();
    m_controller.DeleteCurrentDataSet();
}

void MainWindow::AppendFailures() {
    const CurrentSelection& selection = m_controller.Selection();
    const std::string name = selection.dataSetName;
    const PredictionSetRef current{
        selection.recalibrated ? selection.predictionsSetId : selection.estimatesSetId,
        selection.recalibrated};
    AppendFailuresDialog dialog(*m_controller.OpenedDatabase(), name, m_desktop, this);
    dialog.exec();
    if (!dialog.Stored()) return;
    // The selection's set size and range end follow the dataset's new last failure.
    m_controller.SelectSetOf(name, current);
    ProjectChanged();
    statusBar()->showMessage(dialog.Summary(), 20000);
}

void MainWindow::ApplyModel() {
    ModelOptionsDialog dialog(*m_controller.OpenedDatabase(), m_controller.Selection().dataSetName,
                              this);
    dialog.exec();
    if (dialog.StoredSets().empty()) return;
    // The newest set becomes current; what was stored stays a while below.
    m_browser->Invalidate();
    const int count = static_cast<int>(dialog.StoredSets().size());
    m_controller.SelectSetOf(m_controller.Selection().dataSetName,
                             {dialog.StoredSets().back(), false});
    statusBar()->showMessage(
        QStringLiteral("Stored %1. %2")
            .arg(count == 1 ? QStringLiteral("1 estimates set")
                            : QStringLiteral("%1 estimates sets").arg(count),
                 dialog.FitSummary().replace(QLatin1Char('\n'), QStringLiteral("; "))),
        20000);
}

void MainWindow::SelectEstimatesSet() {
    SelectEstimatesDialog dialog(*m_controller.OpenedDatabase(), m_controller, this);
    dialog.ShowIfAnySets();
}

void MainWindow::Recalibrate() {
    RecalibrationDialog dialog(*m_controller.OpenedDatabase(), m_controller.Selection().dataSetName,
                               this);
    dialog.ShowRecalibration();
    ProjectChanged();
}

void MainWindow::SelectRecalibratedPredictionsSet() {
    SelectPredictionsDialog dialog(*m_controller.OpenedDatabase(), this);
    if (const std::optional<int> key = dialog.ChooseSet(m_controller.Selection().dataSetName)) {
        m_controller.SelectRecalibratedSet(*key);
    }
}

void MainWindow::NextFailure() {
    NextFailureDialog dialog(m_controller, this);
    dialog.exec();
}

void MainWindow::CopyActiveWindow() {
    if (const TableWindow* table = ActiveTableWindow()) {
        table->CopyTable();
    } else if (PlotWindow* plot = ActivePlotWindow()) {
        plot->CopyGraph();
    }
}

void MainWindow::ShowUserGuide() {
    if (!m_guide) m_guide = new GuideViewer(this);
    m_guide->ShowGuide();
}

void MainWindow::ShowAbout() {
    AboutDialog dialog(this);
    dialog.exec();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    m_desktop.SetMainWindowGeometry(saveGeometry());
    m_controller.CloseDatabase();
    event->accept();
}

void MainWindow::CreateProjectViews() {
    m_emptyState = new EmptyState(this);
    m_workArea = new QStackedWidget(this);
    m_workArea->addWidget(m_emptyState);
    m_workArea->addWidget(m_mdiArea);
    setCentralWidget(m_workArea);
    connect(m_emptyState, &EmptyState::newDatabaseRequested, this, &MainWindow::NewDatabase);
    connect(m_emptyState, &EmptyState::openDatabaseRequested, this, &MainWindow::OpenDatabase);
    connect(m_emptyState, &EmptyState::addDataSetRequested, this, &MainWindow::AddNewDataset);
    connect(m_emptyState, &EmptyState::selectDataSetRequested, this, &MainWindow::SelectDataset);
    connect(m_emptyState, &EmptyState::openSharedProjectRequested, this,
            [this] { OpenSharedProject(); });
    connect(m_emptyState, &EmptyState::recentDatabaseChosen, this, &MainWindow::OpenRecent);

    m_browser = new ProjectBrowser(this);
    auto* dock = new QDockWidget(QStringLiteral("Project"), this);
    dock->setObjectName(QStringLiteral("dockProject"));
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    dock->setWidget(m_browser);
    addDockWidget(Qt::LeftDockWidgetArea, dock);
    resizeDocks({dock}, {400}, Qt::Horizontal);
    connect(m_browser, &ProjectBrowser::itemChosen, this, &MainWindow::ChooseBrowserItem);
    connect(m_browser, &ProjectBrowser::tableRequested, this,
            [this] { ShowTable(m_controller.Selection().estimatesSetId != 0); });
    connect(m_browser, &ProjectBrowser::menuRequested, this, &MainWindow::ShowBrowserMenu);
}

void MainWindow::FillRecentMenu() {
    m_recentMenu->clear();
    const QStringList recent = RecentDatabases();
    for (int i = 0; i < recent.size(); ++i) {
        QAction* action = m_recentMenu->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(ShownLocation(recent[i])));
        connect(action, &QAction::triggered, this,
                [this, entry = recent[i]] { OpenRecent(entry); });
    }
    if (recent.isEmpty()) m_recentMenu->addAction(QStringLiteral("(none)"))->setEnabled(false);
}

void MainWindow::UpdateWorkArea() {
    const bool nothingToShow =
        m_controller.Selection().dataSetName.empty() && m_mdiArea->subWindowList().isEmpty();
    if (nothingToShow) m_emptyState->ShowNextStep(m_controller.OpenedDatabase() != nullptr);
    m_workArea->setCurrentWidget(nothingToShow ? static_cast<QWidget*>(m_emptyState) : m_mdiArea);
}

void MainWindow::ChooseBrowserItem(const QString& dataSetName, int setId, bool recalibrated) {
    // A refused choice leaves the selection as it was; the tree goes back to it.
    if (!m_controller.SelectSetOf(ToStdString(dataSetName), {setId, recalibrated})) {
        SelectionChanged();
    }
}

void MainWindow::ShowBrowserMenu(const QPoint& globalPosition) {
    const bool set = m_controller.Selection().estimatesSetId != 0;
    const Actions& a = m_actions;
    QMenu menu(this);
    for (const PlotKind& kind : PlotKinds()) {
        if (a.plots.at(kind.type)->isEnabled()) menu.addAction(a.plots.at(kind.type));
    }
    menu.addSeparator();
    menu.addAction(set ? a.estimatesTable : a.failureTimesTable);
    if (set) {
        for (QAction* action : {a.recalibrate, a.nextFailure, a.forecast}) menu.addAction(action);
    }
    menu.addSeparator();
    menu.addAction(set ? a.deleteSet : a.deleteDataset);
    menu.exec(globalPosition);
}

void MainWindow::DeleteSet() {
    Database* db = m_controller.OpenedDatabase();
    const CurrentSelection& selection = m_controller.Selection();
    if (!db || selection.estimatesSetId == 0) return;
    const PredictionSetRef set = selection.recalibrated
                                     ? PredictionSetRef{selection.predictionsSetId, true}
                                     : PredictionSetRef{selection.estimatesSetId, false};
    const std::optional<SetDeletion> deleted = DeleteSetAfterAsking(*db, set);
    if (!deleted) return;
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList()) {
        const auto* child = qobject_cast<const ChildWindow*>(sub->widget());
        if (!child) continue;
        const std::vector<PredictionSetRef> shown = child->ShownSets();
        if (std::ranges::find_first_of(shown, deleted->removed) != shown.end()) sub->close();
    }
    m_browser->Invalidate();
    m_controller.CloseCurrentEstimatesSet();
    const auto count = deleted->removed.size();
    statusBar()->showMessage(
        QStringLiteral("Deleted %1 of dataset %2.")
            .arg(count == 1 ? QStringLiteral("1 set") : QStringLiteral("%1 sets").arg(count))
            .arg(ToQString(deleted->dataSetName)),
        20000);
}

void MainWindow::ProjectChanged() {
    m_browser->Invalidate();
    SelectionChanged();
}

}  // namespace tamsel
