// The main window: a multiple-document window that owns the open database and the current
// selection (through its SelectionController), shows them in a three-panel status bar and
// offers every command through its menus. Menu items carry their historical object names
// (mnuFileNewDatabase, ...; the plot items mnuPlotShowPlot_<kind>).
#pragma once

#include <QMainWindow>
#include <QString>
#include <array>

#include "shell/selection_controller.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace tamsel {

class ChildWindow;
class Desktop;
class PlotWindow;

class MainWindow : public QMainWindow, public SelectionView {
    Q_OBJECT

  public:
    // desktop answers the file questions and opens the user guide; it must outlive the window.
    explicit MainWindow(Desktop& desktop, QWidget* parent = nullptr);
    ~MainWindow() override;

    SelectionController& Controller() { return m_controller; }
    Desktop& DesktopServices() { return m_desktop; }
    QMdiArea* MdiArea() const { return m_mdiArea; }

    // The text of status bar panel 1, 2 or 3.
    QString StatusPanelText(int panel) const;

    // Shows window as a child window of the main window and makes it the active one.
    QMdiSubWindow* AddChildWindow(ChildWindow* window);

    // The Open Database command for a file name that is already known (the command line).
    void OpenDatabaseFile(const QString& fileName);

    // SelectionView
    void ResetStatusBar(const std::string& databaseText, const std::string& dataSetText,
                        const std::string& estimatesText, bool recalibrated) override;
    void EnableDatabaseCommands(bool enabled) override;
    void EnableDataSetCommands(bool enabled) override;
    void EnableEstimatesCommands(EstimatesCommands commands) override;
    void CloseChildWindows(const QString& dataSetName) override;

    // Enables the graph items for an active plot window and Save Table for an active table
    // window. closing tells that the active child window is being closed.
    void ResetFileMenu(bool closing);
    // The active child window when it is a plot window, else null.
    PlotWindow* ActivePlotWindow() const;

    // The file name of the user guide and the address of its tutorial.
    static QString UserGuidePath();
    static QString TutorialAddress();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateMenus();
    QAction* AddItem(QMenu* menu, const char* name, const QString& caption, bool enabled);
    void EnableItems(std::initializer_list<const char*> names, bool enabled);
    void FillWindowMenu();
    // Horizontally: full-width windows one above the other; otherwise side by side.
    void TileWindows(bool horizontally);
    void ArrangeIcons();

    void NewDatabase();
    void OpenDatabase();
    void ShowCurrentSelections();
    void AddNewDataset();
    void SelectDataset();
    void DeleteDataset();
    void ApplyModel();
    void SelectEstimatesSet();
    void SelectRecalibratedPredictionsSet();
    void NextFailure();
    // Opens a table window on the current dataset's failure times or the current set's rows.
    void ShowTable(bool estimates);
    void ShowUserGuide();
    void ShowAbout();

    Desktop& m_desktop;
    SelectionController m_controller;
    QMdiArea* m_mdiArea = nullptr;
    QMenu* m_windowMenu = nullptr;
    QAction* m_windowListSeparator = nullptr;
    std::array<QLabel*, 3> m_panels{};
};

}  // namespace tamsel
