#include "shell/selection_controller.h"

#include <utility>

#include "shell/qt_text.h"
#include "tamsel/workbench/project.h"

namespace tamsel {

bool SelectionController::OpenDatabase(const std::string& location) {
    std::unique_ptr<Database> database = OpenProject(location);
    if (!database) return false;
    m_database = std::move(database);
    m_location = location;
    m_selection.databaseFileName = DisplayLocation(location);
    m_view.SelectionChanged();
    return true;
}

void SelectionController::CloseDatabase() {
    m_selection.Clear();
    m_view.CloseChildWindows(QString());
    m_database.reset();
    m_location.clear();
    m_view.SelectionChanged();
}

void SelectionController::OpenCurrentDataSet(const std::string& name) {
    m_selection.ClearEstimatesSet();
    m_selection.dataSetName = name;
    m_view.SelectionChanged();
}

void SelectionController::CloseCurrentDataSet() {
    m_selection.ClearDataSet();
    m_view.SelectionChanged();
}

void SelectionController::CloseCurrentEstimatesSet() {
    m_selection.ClearEstimatesSet();
    m_view.SelectionChanged();
}

void SelectionController::SelectEstimatesSet(const EstimatesSetInfo& set) {
    m_selection = WithEstimatesSet(std::move(m_selection), set);
    m_view.SelectionChanged();
}

bool SelectionController::SelectRecalibratedSet(int predictionsSetId) {
    if (!m_database) return false;
    // Looked up before anything is cleared, so that a failed lookup leaves the selection,
    // the menus and the status bar as they were.
    std::optional<CurrentSelection> selection =
        WithRecalibratedSet(*m_database, m_selection, predictionsSetId);
    if (!selection) return false;
    m_selection = std::move(*selection);
    m_view.SelectionChanged();
    return true;
}

bool SelectionController::SelectSetOf(const std::string& dataSetName, const PredictionSetRef& set) {
    if (!m_database) return false;
    CurrentSelection selection = m_selection;
    selection.ClearEstimatesSet();
    selection.dataSetName = dataSetName;
    if (set.id != 0) {
        std::optional<CurrentSelection> withSet =
            WithSetOfDataSet(*m_database, std::move(selection), set);
        if (!withSet) return false;
        selection = std::move(*withSet);
    }
    m_selection = std::move(selection);
    m_view.SelectionChanged();
    return true;
}

bool SelectionController::DeleteCurrentDataSet() {
    if (!m_database || m_selection.dataSetName.empty()) return false;
    const std::string name = m_selection.dataSetName;
    if (!RemoveDataSet(*m_database, name)) return false;
    CloseCurrentDataSet();
    m_view.CloseChildWindows(ToQString(name));
    return true;
}

}  // namespace tamsel
