// The open database and the current selection, in four nested states: no database; database
// open; dataset current; estimates set current (raw or recalibrated). Every change goes
// through this controller, which tells its view after each one.
#pragma once

#include <QString>
#include <memory>
#include <string>

#include "tamsel/workbench/project.h"

namespace tamsel {

// The main window as the controller sees it.
class SelectionView {
  public:
    virtual ~SelectionView() = default;
    // The open database or the current selection has changed: the menus and the status bar
    // follow.
    virtual void SelectionChanged() = 0;
    // Closes the child windows that show dataSetName's rows, or all of them when it is empty.
    virtual void CloseChildWindows(const QString& dataSetName) = 0;
};

class SelectionController {
  public:
    explicit SelectionController(SelectionView& view) : m_view(view) {}
    SelectionController(const SelectionController&) = delete;
    SelectionController& operator=(const SelectionController&) = delete;

    // The open database, or null when none is open.
    Database* OpenedDatabase() const { return m_database.get(); }
    const CurrentSelection& Selection() const { return m_selection; }

    // The open project's location as it was opened, a server's password included: for a
    // second connection to it, never to be shown or kept. Empty when none is open.
    const std::string& Location() const { return m_location; }

    // Opens a project file or shared project and makes it the open database. False after the
    // refusal message, with no database open. The selection names it as DisplayLocation does.
    bool OpenDatabase(const std::string& location);
    // Closes the dataset, every child window and the database.
    void CloseDatabase();

    void OpenCurrentDataSet(const std::string& name);
    void CloseCurrentDataSet();
    void CloseCurrentEstimatesSet();
    // Makes a raw estimates set current.
    void SelectEstimatesSet(const EstimatesSetInfo& set);
    // Makes a recalibrated predictions set current. When its attributes cannot be read the
    // message has been shown and nothing changes: false.
    bool SelectRecalibratedSet(int predictionsSetId);
    // Makes dataSetName current with set (none when set.id is 0), as the project browser
    // chooses them. False after the message when set is not one of the dataset's sets.
    bool SelectSetOf(const std::string& dataSetName, const PredictionSetRef& set);

    // Deletes the current dataset with all its rows, closes it and the child windows that
    // show it. False, with nothing changed, when the store refuses.
    bool DeleteCurrentDataSet();

  private:
    SelectionView& m_view;
    std::unique_ptr<Database> m_database;
    std::string m_location;
    CurrentSelection m_selection;
};

}  // namespace tamsel
