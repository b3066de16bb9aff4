#include "shell/select_estimates_dialog.h"

#include <QLabel>

#include "shell/row_set_model.h"
#include "shell/selection_controller.h"
#include "tamsel/workbench/project.h"

namespace tamsel {
SelectEstimatesDialog::SelectEstimatesDialog(Database& db, SelectionController& controller,
                                             QWidget* parent)
    : GridSelectionDialog(QStringLiteral("DBGrid1"), parent), m_db(db), m_controller(controller) {
    setObjectName(QStringLiteral("FormSelectEstimates"));
    setWindowTitle(QStringLiteral("Select an estimates set"));
    Label1()->setText(QStringLiteral(
        "Select a set of estimates from the list of sets available for the current dataset"));
    SetRows(EstimatesSetGrid(db, controller.Selection().dataSetName));
    resize(640, 360);
    connect(this, &QDialog::accepted, this, &SelectEstimatesDialog::SelectChosenSet);
}

void SelectEstimatesDialog::ShowIfAnySets() {
    if (RowCount() == 0) {
        ShowMessage(JoinLines({"There are no estimates calculated for the current dataset.",
                               "Please, apply a model first."}));
        return;
    }
    exec();
}

void SelectEstimatesDialog::SelectChosenSet() {
    if (const std::optional<EstimatesSetInfo> set = GetEstimatesSet(m_db, SelectedKey())) {
        m_controller.SelectEstimatesSet(*set);
    }
}

}  // namespace tamsel
