#include "shell/select_predictions_dialog.h"

#include <QLabel>

#include "shell/row_set_model.h"
#include "tamsel/workbench/project.h"

namespace tamsel {

SelectPredictionsDialog::SelectPredictionsDialog(Database& db, QWidget* parent)
    : GridSelectionDialog(QStringLiteral("DBGrid2"), parent), m_db(db) {
    setObjectName(QStringLiteral("FormSelectPredictions"));
    setWindowTitle(QStringLiteral("Select a recalibrated predictions set"));
    Label1()->setText(
        QStringLiteral("Select a set of recalibrated predictions from the sets available for "
                       "the current data set."));
    resize(520, 300);
}

std::optional<int> SelectPredictionsDialog::ChooseSet(const std::string& dataSetName) {
    // The list is of the named dataset, so that a plot window never mixes datasets.
    SetRows(PredictionsSetGrid(m_db, dataSetName));
    if (RowCount() == 0) {
        ShowMessage(JoinLines({"There are no recalibrated estimates for the current dataset.",
                               "Please, recalibrate an estimates set first."}));
        return std::nullopt;
    }
    if (exec() != QDialog::Accepted) return std::nullopt;
    return SelectedKey();
}

}  // namespace tamsel
