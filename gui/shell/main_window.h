// The main window: a multiple-document window that owns the open database and the current
// selection (through its SelectionController), shows them in a three-panel status bar and
// offers every command through its menus. Menu items carry their historical object names
// (mnuFileNewDatabase, ...; the plot items mnuPlotShowPlot_<kind>).
#pragma once

#include <QMainWindow>
#include <QString>
#include <array>
#include <map>

#include "shell/selection_controller.h"
#include "tamsel/workbench/plots.h"

class QAction;
class QFileSystemWatcher;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QStackedWidget;

namespace tamsel {

class ChildWindow;
class Desktop;
class EmptyState;
class ProjectBrowser;
class GuideViewer;
class PlotWindow;
class TableWindow;

class MainWindow : public QMainWindow, public SelectionView {
    Q_OBJECT

  public:
    // desktop answers the file questions and keeps the window's geometry; it must outlive the
    // window.
    explicit MainWindow(Desktop& desktop, QWidget* parent = nullptr);
    ~MainWindow() override;

    SelectionController& Controller() { return m_controller; }
    QMdiArea* MdiArea() const { return m_mdiArea; }
    ProjectBrowser* Browser() const { return m_browser; }
    // Shown in the work area instead of the MDI area while there is nothing to work on.
    EmptyState* NextStepPanel() const { return m_emptyState; }

    // The text of status bar panel 1, 2 or 3.
    QString StatusPanelText(int panel) const;

    // Shows window as a child window of the main window and makes it the active one.
    QMdiSubWindow* AddChildWindow(ChildWindow* window);

    // The Open Database command for a location that is already known (the command line): a
    // project file's path or a shared project's URI, its password included. False after the
    // message when it did not open.
    bool OpenDatabaseFile(const QString& location);

    // SelectionView
    void SelectionChanged() override;
    void CloseChildWindows(const QString& dataSetName) override;

    // Enables each command that the open database, the current selection and the active
    // child window give something to act on, and disables the others.
    void UpdateActions();
    // The status bar panels: the database file, the dataset and the estimates set.
    void ShowSelection(const CurrentSelection& selection);

    // The active child window when it is a plot window, else null.
    PlotWindow* ActivePlotWindow() const;
    // The active child window when it is a table window, else null.
    TableWindow* ActiveTableWindow() const;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateMenus();
    // Adds an item called name to menu, running command when chosen.
    template <typename Command>
    QAction* AddItem(QMenu* menu, const char* name, const QString& caption, Command command);
    void FillWindowMenu();
    // The windows that Tile and Cascade arrange: neither minimised nor hidden.
    QList<QMdiSubWindow*> ArrangedWindows() const;
    // A grid of equal cells that keeps each window at least kSmallestTile where they fit.
    void TileWindowsInGrid();
    // Horizontally: full-width windows one above the other; otherwise side by side.
    void TileWindows(bool horizontally);
    // Each window a title bar's height below and right of the one before, keeping its size.
    void CascadeWindows();
    void ArrangeIcons();

    void NewDatabase();
    void OpenDatabase();
    // File > Open Shared Project...: asks for the URI (uri, when given, fills it) and the
    // password, then opens the project and keeps or forgets the password in the keyring as
    // the user chose. notice says why the dialog came back (see SharedProjectDialog).
    void OpenSharedProject(const QString& uri = {}, const QString& notice = {});
    // A recent database: a URI last opened with a password opens with the one the keyring
    // keeps, and otherwise (or when that one fails) asks for it again.
    void OpenRecent(const QString& entry);
    void ShowCurrentSelections();
    void AddNewDataset();
    void SelectDataset();
    void DeleteDataset();
    // Data > Append Failures: the current dataset grows; the selection keeps its set.
    void AppendFailures();
    void ApplyModel();
    void SelectEstimatesSet();
    void Recalibrate();
    void SelectRecalibratedPredictionsSet();
    void NextFailure();
    // Opens a table window on the current dataset's failure times or the current set's rows.
    void ShowTable(bool estimates);
    // Edit > Copy: the active table as tab-separated text, or the active chart as an image.
    void CopyActiveWindow();
    void ShowUserGuide();
    void ShowAbout();

    // The project browser dock, the empty state and the recent databases.
    void CreateProjectViews();
    void FillRecentMenu();
    // Shows the empty state when no dataset is current and no child window is open.
    void UpdateWorkArea();
    // The browser's item has become current, or it asks for its table or context menu.
    void ChooseBrowserItem(const QString& dataSetName, int setId, bool recalibrated);
    void ShowBrowserMenu(const QPoint& globalPosition);
    // Data > Delete Set: the current set, after asking, with the windows that show sets.
    void DeleteSet();
    // The project's sets have changed: the browser rebuilds and follows the selection.
    void ProjectChanged();
    // Tells the user, once for each opened file, when another program has deleted, moved or
    // replaced it; the store refuses to write into it from then on. A shared project has no
    // file to watch.
    void CheckProjectFile();

    // The items whose state follows the selection or the active child window.
    struct Actions {
        QAction* copy = nullptr;
        QAction* copyGraph = nullptr;
        QAction* saveGraph = nullptr;
        QAction* printGraph = nullptr;
        QAction* saveTable = nullptr;
        QAction* exportReport = nullptr;
        QAction* addNewDataset = nullptr;
        QAction* selectDataset = nullptr;
        QAction* deleteDataset = nullptr;
        QAction* appendFailures = nullptr;
        QAction* deleteSet = nullptr;
        QAction* applyModel = nullptr;
        QAction* selectEstimatesSet = nullptr;
        QAction* recalibrate = nullptr;
        QAction* selectPredictions = nullptr;
        QAction* failureTimesTable = nullptr;
        QAction* estimatesTable = nullptr;
        QAction* nextFailure = nullptr;
        QAction* forecast = nullptr;
        QAction* evaluate = nullptr;
        std::map<PlotType, QAction*> plots;
    };

    Desktop& m_desktop;
    SelectionController m_controller;
    QMdiArea* m_mdiArea = nullptr;
    QStackedWidget* m_workArea = nullptr;
    EmptyState* m_emptyState = nullptr;
    ProjectBrowser* m_browser = nullptr;
    QMenu* m_recentMenu = nullptr;
    QMenu* m_windowMenu = nullptr;
    QAction* m_windowListSeparator = nullptr;
    Actions m_actions;
    std::array<QLabel*, 3> m_panels{};
    GuideViewer* m_guide = nullptr;  // made when first asked for
    // Notices changes to the open project file at once; the check on regaining focus covers
    // what it misses (a file replaced while nothing watched it, a network disk).
    QFileSystemWatcher* m_fileWatcher = nullptr;
    bool m_fileChangeTold = false;
};

}  // namespace tamsel
