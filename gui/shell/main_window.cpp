#include "shell/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QUrl>

#include "plots/plot_window.h"
#include "plots/show_plot.h"
#include "recalibration/recalibration_dialog.h"
#include "shell/about_dialog.h"
#include "shell/add_data_dialog.h"
#include "shell/child_window.h"
#include "shell/current_selections_dialog.h"
#include "shell/desktop.h"
#include "shell/model_options_dialog.h"
#include "shell/qt_text.h"
#include "shell/select_data_set_dialog.h"
#include "shell/select_estimates_dialog.h"
#include "shell/select_predictions_dialog.h"
#include "tables/next_failure_dialog.h"
#include "tables/table_window.h"
#include "tamsel/store/schema.h"
#include "tamsel/support/messages.h"

namespace tamsel {
namespace {

// The plot kinds of the Plot menu, in menu order, with their captions.
struct PlotItem {
    int kind;
    const char* caption;
};
constexpr PlotItem kPlotItems[] = {
    {0, "Show Plot &Failure Times"},
    {3, "Show Plot &Cumulative failures"},
    {10, "Show Plots &Quartiles + MTTF"},
    {13, "Show &Median plot"},
    {20, "Show &Y-Plot"},
    {23, "Show &U-Plot"},
    {30, "Show log(&PLR)-Plot"},
};

constexpr const char* kPanelCaptions[] = {"Database: ", "Dataset: ", "Estimates: "};
constexpr const char* kPanelBlanks = "  ";

QString PlotItemName(int kind) { return QStringLiteral("mnuPlotShowPlot_%1").arg(kind); }

}  // namespace

MainWindow::MainWindow(Desktop& desktop, QWidget* parent)
    : QMainWindow(parent), m_desktop(desktop), m_controller(*this) {
    setObjectName(QStringLiteral("MDITamsel"));
    setWindowTitle(QStringLiteral("Tamsel"));
    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("MdiArea"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [this] { ResetFileMenu(false); });

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    const int stretch[] = {3, 2, 2};
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(QString::fromLatin1(kPanelCaptions[i]), bar);
        m_panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        m_panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_panels[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_panels[i]->setMinimumWidth(120);
        bar->addWidget(m_panels[i], stretch[i]);
    }
    CreateMenus();
    resize(1000, 700);
}

MainWindow::~MainWindow() {
    // Child windows outlive this part of the object; they must not call back into it.
    m_mdiArea->disconnect(this);
    // Closed windows awaiting deletion are no longer listed by the area but still connected.
    for (QMdiSubWindow* sub : m_mdiArea->findChildren<QMdiSubWindow*>()) sub->disconnect(this);
}

QAction* MainWindow::AddItem(QMenu* menu, const char* name, const QString& caption, bool enabled) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setEnabled(enabled);
    return action;
}

void MainWindow::CreateMenus() {
    QMenuBar* bar = menuBar();

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    connect(AddItem(file, "mnuFileNewDatabase", QStringLiteral("&New Database..."), true),
            &QAction::triggered, this, &MainWindow::NewDatabase);
    connect(AddItem(file, "mnuFileOpenDatabase", QStringLiteral("&Open Database..."), true),
            &QAction::triggered, this, &MainWindow::OpenDatabase);
    file->addSeparator();
    connect(AddItem(file, "mnuFileCopyGraph", QStringLiteral("&Copy Graph"), false),
            &QAction::triggered, this, [this] {
                if (PlotWindow* plot = ActivePlotWindow()) plot->CopyGraph();
            });
    connect(AddItem(file, "mnuFileSaveGraph", QStringLiteral("&Save Graph..."), false),
            &QAction::triggered, this, [this] {
                if (PlotWindow* plot = ActivePlotWindow()) plot->SaveGraph(m_desktop);
            });
    connect(AddItem(file, "mnuFilePrintGraph", QStringLiteral("&Print Graph..."), false),
            &QAction::triggered, this, [this] {
                if (PlotWindow* plot = ActivePlotWindow()) plot->PrintGraph();
            });
    file->addSeparator();
    connect(AddItem(file, "mnuFileSaveTable", QStringLiteral("Save &Table as Text File..."), false),
            &QAction::triggered, this, [this] {
                const QMdiSubWindow* active = m_mdiArea->activeSubWindow();
                if (auto* table = active ? qobject_cast<TableWindow*>(active->widget()) : nullptr) {
                    table->SaveTable(m_desktop);
                }
            });
    file->addSeparator();
    connect(AddItem(file, "mnuFileExit", QStringLiteral("&Exit"), true), &QAction::triggered, this,
            &QWidget::close);

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnuView"));
    connect(AddItem(view, "mnuViewCurrentSelections", QStringLiteral("Current &Selections"), true),
            &QAction::triggered, this, &MainWindow::ShowCurrentSelections);

    QMenu* data = bar->addMenu(QStringLiteral("&Data"));
    data->setObjectName(QStringLiteral("mnuData"));
    connect(AddItem(data, "mnuDataAddNewDataset", QStringLiteral("&Add New Dataset..."), false),
            &QAction::triggered, this, &MainWindow::AddNewDataset);
    connect(AddItem(data, "mnuDataSelectDataset", QStringLiteral("&Select Dataset..."), false),
            &QAction::triggered, this, &MainWindow::SelectDataset);
    connect(AddItem(data, "mnuDataDeleteDataset", QStringLiteral("&Delete Dataset..."), false),
            &QAction::triggered, this, &MainWindow::DeleteDataset);

    QMenu* estimates = bar->addMenu(QStringLiteral("&Estimates"));
    estimates->setObjectName(QStringLiteral("mnuEstimates"));
    connect(AddItem(estimates, "mnuEstimatesApplyModel", QStringLiteral("&Apply Model..."), false),
            &QAction::triggered, this, &MainWindow::ApplyModel);
    connect(AddItem(estimates, "mnuEstimatesSelectSet", QStringLiteral("&Select Estimates Set..."),
                    false),
            &QAction::triggered, this, &MainWindow::SelectEstimatesSet);
    estimates->addSeparator();
    connect(AddItem(estimates, "mnuEstimatesRecalibrate",
                    QStringLiteral("&Recalibrate Estimates Set..."), false),
            &QAction::triggered, this, [this] {
                RecalibrationDialog dialog(*m_controller.OpenedDatabase(),
                                           m_controller.Selection().dataSetName, this);
                dialog.ShowRecalibration();
            });
    connect(AddItem(estimates, "mnuEstimatesSelectPredictions",
                    QStringLiteral("Select Recalibrated &Predictions Set..."), false),
            &QAction::triggered, this, &MainWindow::SelectRecalibratedPredictionsSet);

    QMenu* plot = bar->addMenu(QStringLiteral("&Plot"));
    plot->setObjectName(QStringLiteral("mnuPlot"));
    for (const PlotItem& item : kPlotItems) {
        QAction* action = plot->addAction(QString::fromLatin1(item.caption));
        action->setObjectName(PlotItemName(item.kind));
        action->setData(item.kind);
        action->setEnabled(false);
        connect(action, &QAction::triggered, this,
                [this, kind = item.kind] { ShowPlot(*this, kind); });
    }

    QMenu* table = bar->addMenu(QStringLiteral("&Table"));
    table->setObjectName(QStringLiteral("mnuTable"));
    connect(
        AddItem(table, "mnuTableShowTableFT", QStringLiteral("Show Table &Failure Times"), false),
        &QAction::triggered, this, [this] { ShowTable(false); });
    connect(AddItem(table, "mnuTableShowTableEstimates", QStringLiteral("Show Table &Estimates"),
                    false),
            &QAction::triggered, this, [this] { ShowTable(true); });

    QMenu* predictions = bar->addMenu(QStringLiteral("P&redictions"));
    predictions->setObjectName(QStringLiteral("mnuPredictions"));
    connect(
        AddItem(predictions, "mnuPredictionsNextFailure", QStringLiteral("Next Failure"), false),
        &QAction::triggered, this, &MainWindow::NextFailure);

    m_windowMenu = bar->addMenu(QStringLiteral("&Window"));
    m_windowMenu->setObjectName(QStringLiteral("mnuWindow"));
    connect(AddItem(m_windowMenu, "mnuWindowTileHorizontally", QStringLiteral("Tile &Horizontally"),
                    true),
            &QAction::triggered, this, [this] { TileWindows(true); });
    connect(
        AddItem(m_windowMenu, "mnuWindowTileVertically", QStringLiteral("Tile &Vertically"), true),
        &QAction::triggered, this, [this] { TileWindows(false); });
    connect(AddItem(m_windowMenu, "mnuWindowCascade", QStringLiteral("&Cascade"), true),
            &QAction::triggered, m_mdiArea, &QMdiArea::cascadeSubWindows);
    connect(AddItem(m_windowMenu, "mnuWindowArrangeIcons", QStringLiteral("&Arrange Icons"), true),
            &QAction::triggered, this, &MainWindow::ArrangeIcons);
    m_windowListSeparator = m_windowMenu->addSeparator();
    connect(m_windowMenu, &QMenu::aboutToShow, this, &MainWindow::FillWindowMenu);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    connect(AddItem(help, "mnuHelpUserGuide", QStringLiteral("&User Guide"), true),
            &QAction::triggered, this, &MainWindow::ShowUserGuide);
    help->addSeparator();
    connect(AddItem(help, "mnuHelpAbout", QStringLiteral("&About Tamsel"), true),
            &QAction::triggered, this, &MainWindow::ShowAbout);
}

QString MainWindow::StatusPanelText(int panel) const { return m_panels.at(panel - 1)->text(); }

void MainWindow::ResetStatusBar(const std::string& databaseText, const std::string& dataSetText,
                                const std::string& estimatesText, bool recalibrated) {
    const QString blanks = QString::fromLatin1(kPanelBlanks);
    if (!databaseText.empty()) {
        m_panels[0]->setText(QString::fromLatin1(kPanelCaptions[0]) + ToQString(databaseText) +
                             blanks);
    }
    if (estimatesText.empty()) {
        m_panels[1]->setText(QString::fromLatin1(kPanelCaptions[1]) + ToQString(dataSetText) +
                             blanks);
    }
    m_panels[2]->setText(QString::fromLatin1(kPanelCaptions[2]) + ToQString(estimatesText) +
                         (recalibrated ? QStringLiteral(", recalibrated") : QString()) + blanks);
}

void MainWindow::EnableItems(std::initializer_list<const char*> names, bool enabled) {
    for (const char* name : names) {
        QAction* action = findChild<QAction*>(QString::fromLatin1(name));
        Q_ASSERT(action);
        action->setEnabled(enabled);
    }
}

void MainWindow::EnableDatabaseCommands(bool enabled) {
    EnableItems({"mnuDataAddNewDataset", "mnuDataSelectDataset"}, enabled);
}

void MainWindow::EnableDataSetCommands(bool enabled) {
    EnableItems({"mnuDataDeleteDataset", "mnuEstimatesApplyModel", "mnuEstimatesSelectSet",
                 "mnuEstimatesRecalibrate", "mnuEstimatesSelectPredictions", "mnuTableShowTableFT"},
                enabled);
    for (int kind : {0, 3}) findChild<QAction*>(PlotItemName(kind))->setEnabled(enabled);
}

void MainWindow::EnableEstimatesCommands(EstimatesCommands commands) {
    const bool enabled = commands != EstimatesCommands::None;
    EnableItems({"mnuTableShowTableEstimates", "mnuPredictionsNextFailure"}, enabled);
    for (int kind : {13, 20, 23, 30}) findChild<QAction*>(PlotItemName(kind))->setEnabled(enabled);
    // Quartiles of recalibrated predictions are not plotted.
    findChild<QAction*>(PlotItemName(10))->setEnabled(commands == EstimatesCommands::Raw);
}

void MainWindow::CloseChildWindows(const QString& dataSetName) {
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList()) {
        const auto* child = qobject_cast<const ChildWindow*>(sub->widget());
        if (dataSetName.isEmpty() || (child && child->DataSetName() == dataSetName)) {
            sub->close();
        }
    }
    ResetFileMenu(false);
}

QMdiSubWindow* MainWindow::AddChildWindow(ChildWindow* window) {
    QMdiSubWindow* sub = m_mdiArea->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    connect(sub, &QObject::destroyed, this, [this] { ResetFileMenu(true); });
    sub->show();
    m_mdiArea->setActiveSubWindow(sub);
    return sub;
}

void MainWindow::ShowTable(bool estimates) {
    Database* db = m_controller.OpenedDatabase();
    if (!db) return;
    const CurrentSelection& selection = m_controller.Selection();
    std::optional<TableView> table =
        estimates ? ShowEstimatesTable(*db, selection) : ShowFailureTimesTable(*db, selection);
    if (table) AddChildWindow(new TableWindow(std::move(*table), selection.dataSetName));
}

PlotWindow* MainWindow::ActivePlotWindow() const {
    const QMdiSubWindow* active = m_mdiArea->activeSubWindow();
    return active ? qobject_cast<PlotWindow*>(active->widget()) : nullptr;
}

void MainWindow::ResetFileMenu(bool closing) {
    // Dialogs are not child windows: only the MDI area's windows count.
    const QList<QMdiSubWindow*> windows = m_mdiArea->subWindowList();
    const QMdiSubWindow* active = m_mdiArea->activeSubWindow();
    bool graphs = false;
    bool table = false;
    if (!windows.isEmpty() && !(closing && windows.size() == 1) && active) {
        if (const auto* child = qobject_cast<const ChildWindow*>(active->widget())) {
            graphs = child->WindowKind() == ChildWindow::Kind::Plot;
            table = child->WindowKind() == ChildWindow::Kind::Table;
        }
    }
    EnableItems({"mnuFileCopyGraph", "mnuFileSaveGraph", "mnuFilePrintGraph"}, graphs);
    EnableItems({"mnuFileSaveTable"}, table);
}

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

void MainWindow::TileWindows(bool horizontally) {
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* sub : m_mdiArea->subWindowList()) {
        if (!sub->isMinimized() && sub->isVisible()) windows.append(sub);
    }
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

void MainWindow::OpenDatabaseFile(const QString& fileName) {
    m_controller.CloseDatabase();
    m_controller.OpenDatabase(ToStdString(fileName));
}

void MainWindow::NewDatabase() {
    const QString fileName = m_desktop.AskFileName(this, FileQuestion::NewDatabase);
    if (fileName.isEmpty()) return;
    m_controller.CloseDatabase();
    if (!CreateTamselDatabase(ToStdString(fileName))) return;
    m_controller.OpenDatabase(ToStdString(fileName));
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
    m_controller.DeleteCurrentDataSet();
}

void MainWindow::ApplyModel() {
    ModelOptionsDialog dialog(*m_controller.OpenedDatabase(), m_controller.Selection().dataSetName,
                              this);
    dialog.exec();
}

void MainWindow::SelectEstimatesSet() {
    SelectEstimatesDialog dialog(*m_controller.OpenedDatabase(), m_controller, this);
    dialog.ShowIfAnySets();
}

void MainWindow::SelectRecalibratedPredictionsSet() {
    SelectPredictionsDialog dialog(*m_controller.OpenedDatabase(), this);
    const int key = dialog.GetSelectedPredictionsSetID(m_controller.Selection().dataSetName);
    if (key != 0) m_controller.SelectRecalibratedSet(key);
}

void MainWindow::NextFailure() {
    if (m_controller.Selection().recalibrated) {
        ShowMessage("Sorry, this functionality is not yet available for recalibrated sets.");
        return;
    }
    NextFailureDialog dialog(m_controller, this);
    dialog.exec();
}

QString MainWindow::UserGuidePath() {
    return QDir(QStringLiteral(TAMSEL_DOCS_DIR)).filePath(QStringLiteral("user-guide.md"));
}

QString MainWindow::TutorialAddress() {
    QUrl address = QUrl::fromLocalFile(UserGuidePath());
    address.setFragment(QStringLiteral("a-first-session"));
    return address.toString();
}

void MainWindow::ShowUserGuide() {
    ShowMessage(
        JoinLines({"For a basic user guide, see included document: " +
                       ToStdString(QDir::toNativeSeparators(UserGuidePath())),
                   "A brief tutorial is also available at:", ToStdString(TutorialAddress())}));
    m_desktop.OpenDocument(UserGuidePath());
}

void MainWindow::ShowAbout() {
    AboutDialog dialog(this);
    dialog.exec();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    m_controller.CloseDatabase();
    event->accept();
}

}  // namespace tamsel
