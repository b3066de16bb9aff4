#include "shell/select_estimates_dialog.h"

#include <QLabel>

#include "shell/row_set_model.h"
#include "shell/selection_controller.h"
#include "tamsel/support/messages.h"

namespace tamsel {
namespace {

enum Column { kSetId, kModel, kRangeStart, kRangeEnd, kSetSize, kInferenceMethod };

}  // namespace

SelectEstimatesDialog::SelectEstimatesDialog(Database& db, SelectionController& controller,
                                             QWidget* parent)
    : GridSelectionDialog(QStringLiteral("DBGrid1"), parent), m_controller(controller) {
    setObjectName(QStringLiteral("FormSelectEstimates"));
    setWindowTitle(QStringLiteral("Select an estimates set"));
    Label1()->setText(QStringLiteral(
        "Select a set of estimates from the list of sets available for the current dataset"));
    SetRows(BindEstimatesSets(db, controller.Selection().dataSetName));
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
    const std::vector<DbValue>& row = *SelectedRow();
    const int setSize = ToInt(row[kSetSize]);
    // A range with no end runs to the last failure of the dataset.
    const int rangeEnd = IsNull(row[kRangeEnd]) ? setSize : ToInt(row[kRangeEnd]);
    m_controller.SelectEstimatesSet({ToInt(row[kSetId]), DisplayText(row[kModel]).toStdString(),
                                     ToInt(row[kRangeStart]), rangeEnd, setSize,
                                     DisplayText(row[kInferenceMethod]).toStdString()});
}

}  // namespace tamsel
