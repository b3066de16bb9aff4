// The open database and the current selection, and the four nested states the menus follow:
// no database; database open; dataset current; estimates set current (raw or recalibrated).
// Every change of the selection goes through this controller, which keeps the menus and
// the status bar of its view in step.
#pragma once

#include <QString>
#include <memory>
#include <string>

#include "tamsel/store/database.h"
#include "tamsel/support/selection.h"

namespace tamsel {

// Which estimates commands a selection makes meaningful.
enum class EstimatesCommands {
    None,          // no estimates set is current
    Raw,           // a raw estimates set is current
    Recalibrated,  // a recalibrated predictions set is current (no quartile plot)
};

// The main window as the controller sees it.
class SelectionView {
  public:
    virtual ~SelectionView() = default;
    // An empty databaseText keeps the first panel; an empty estimatesText lets dataSetText
    // replace the second panel; the third panel is always replaced.
    virtual void ResetStatusBar(const std::string& databaseText, const std::string& dataSetText,
                                const std::string& estimatesText, bool recalibrated) = 0;
    // Add New Dataset and Select Dataset.
    virtual void EnableDatabaseCommands(bool enabled) = 0;
    // The commands that act on the current dataset.
    virtual void EnableDataSetCommands(bool enabled) = 0;
    virtual void EnableEstimatesCommands(EstimatesCommands commands) = 0;
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

    // Opens a project file and makes it the open database. False after the refusal message,
    // with no database open.
    bool OpenDatabase(const std::string& fileName);
    // Closes the dataset, every child window and the database.
    void CloseDatabase();

    void OpenCurrentDataSet(const std::string& name);
    void CloseCurrentDataSet();
    void CloseCurrentEstimatesSet();
    void LetEstimatesSet(int estimatesSetId, const std::string& modelName, int rangeStart,
                         int rangeEnd, int setSize, const std::string& inferenceMethodName);
    // Makes a recalibrated predictions set current. When its attributes cannot be read the
    // message has been shown and nothing changes: false.
    bool SelectRecalibratedSet(int predictionsSetId);

    // Deletes the current dataset with all its rows, closes it and the child windows that
    // show it. False, with nothing changed, when the store refuses.
    bool DeleteCurrentDataSet();

  private:
    SelectionView& m_view;
    std::unique_ptr<Database> m_database;
    CurrentSelection m_selection;
};

}  // namespace tamsel
