#include "shell/selection_controller.h"

#include "shell/qt_text.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/schema.h"
#include "tamsel/store/writers.h"

namespace tamsel {

// Each change makes its own status bar call last: the blanks the nested calls leave in the
// panels then depend only on the change itself.

bool SelectionController::OpenDatabase(const std::string& fileName) {
    std::unique_ptr<Database> database = OpenTamselDatabase(fileName);
    if (!database) return false;
    m_database = std::move(database);
    m_selection.databaseFileName = fileName;
    m_view.EnableDatabaseCommands(true);
    m_view.ResetStatusBar(fileName, "", "", false);
    return true;
}

void SelectionController::CloseDatabase() {
    CloseCurrentDataSet();
    m_view.CloseChildWindows(QString());
    m_database.reset();
    m_selection.databaseFileName.clear();
    m_view.EnableDatabaseCommands(false);
    m_view.ResetStatusBar("  ", "", "", false);
}

void SelectionController::OpenCurrentDataSet(const std::string& name) {
    m_selection.dataSetName = name;
    CloseCurrentEstimatesSet();
    m_view.EnableDataSetCommands(true);
    m_view.ResetStatusBar("", name, "", false);
}

void SelectionController::CloseCurrentDataSet() {
    m_selection.dataSetName.clear();
    CloseCurrentEstimatesSet();
    m_view.EnableDataSetCommands(false);
    m_view.ResetStatusBar("", " ", "", false);
}

void SelectionController::CloseCurrentEstimatesSet() {
    m_selection.ClearEstimatesSet();
    m_view.EnableEstimatesCommands(EstimatesCommands::None);
    m_view.ResetStatusBar("", "", " ", false);
}

void SelectionController::LetEstimatesSet(int estimatesSetId, const std::string& modelName,
                                          int rangeStart, int rangeEnd, int setSize,
                                          const std::string& inferenceMethodName) {
    m_selection.ClearEstimatesSet();
    m_selection.estimatesSetId = estimatesSetId;
    m_selection.modelName = modelName;
    m_selection.rangeStart = rangeStart;
    m_selection.rangeEnd = rangeEnd;
    m_selection.setSize = setSize;
    m_selection.inferenceMethodName = inferenceMethodName;
    m_view.EnableEstimatesCommands(EstimatesCommands::Raw);
    m_view.ResetStatusBar("", "", modelName, false);
}

bool SelectionController::SelectRecalibratedSet(int predictionsSetId) {
    if (!m_database) return false;
    // Looked up before anything is cleared, so that a failed lookup leaves the selection,
    // the menus and the status bar as they were.
    const std::optional<RecalibratedSetAttributes> attributes =
        GetRecalibratedSetAttributes(*m_database, predictionsSetId);
    if (!attributes) return false;
    CloseCurrentEstimatesSet();
    m_selection.estimatesSetId = attributes->estimatesSetId;
    m_selection.modelName = attributes->modelName;
    m_selection.rangeStart = attributes->rangeStart;
    m_selection.rangeEnd = attributes->rangeEnd;
    m_selection.setSize = attributes->setSize;
    m_selection.inferenceMethodName = attributes->inferenceMethod;
    m_selection.recalibrationMethodName = attributes->recalibrationMethodName;
    m_selection.predictionsSetId = predictionsSetId;
    m_selection.recalibrated = true;
    m_view.EnableEstimatesCommands(EstimatesCommands::Recalibrated);
    m_view.ResetStatusBar("", "", m_selection.modelName, true);
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
