#include "shell/selection_controller.h"

#include "shell/qt_text.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/schema.h"
#include "tamsel/store/writers.h"

namespace tamsel {

bool SelectionController::OpenDatabase(const std::string& fileName) {
    std::unique_ptr<Database> database = OpenTamselDatabase(fileName);
    if (!database) return false;
    m_database = std::move(database);
    m_selection.databaseFileName = fileName;
    m_view.SelectionChanged();
    return true;
}

void SelectionController::CloseDatabase() {
    m_selection.Clear();
    m_view.CloseChildWindows(QString());
    m_database.reset();
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

void SelectionController::SelectEstimatesSet(const EstimatesSetChoice& set) {
    m_selection.ClearEstimatesSet();
    m_selection.estimatesSetId = set.id;
    m_selection.modelName = set.modelName;
    m_selection.rangeStart = set.rangeStart;
    m_selection.rangeEnd = set.rangeEnd;
    m_selection.setSize = set.setSize;
    m_selection.inferenceMethodName = set.inferenceMethodName;
    m_view.SelectionChanged();
}

bool SelectionController::SelectRecalibratedSet(int predictionsSetId) {
    if (!m_database) return false;
    // Looked up before anything is cleared, so that a failed lookup leaves the selection,
    // the menus and the status bar as they were.
    const std::optional<RecalibratedSetAttributes> attributes =
        GetRecalibratedSetAttributes(*m_database, predictionsSetId);
    if (!attributes) return false;
    m_selection.ClearEstimatesSet();
    m_selection.estimatesSetId = attributes->estimatesSetId;
    m_selection.modelName = attributes->modelName;
    m_selection.rangeStart = attributes->rangeStart;
    m_selection.rangeEnd = attributes->rangeEnd;
    m_selection.setSize = attributes->setSize;
    m_selection.inferenceMethodName = attributes->inferenceMethod;
    m_selection.recalibrationMethodName = attributes->recalibrationMethodName;
    m_selection.predictionsSetId = predictionsSetId;
    m_selection.recalibrated = true;
    m_view.SelectionChanged();
    return true;
}

bool SelectionController::DeleteCurrentDataSet() {
    if (!m_database || m_selection.dataSetName.empty()) return false;
    const std::string name = m_selection.dataSetName;
    if (!DeleteDataSet(*m_database, name)) return false;
    CloseCurrentDataSet();
    m_view.CloseChildWindows(ToQString(name));
    return true;
}

}  // namespace tamsel
