#include "shell/select_model_dialog.h"

#include <QLabel>

#include "shell/qt_text.h"
#include "tamsel/workbench/project.h"

namespace tamsel {

SelectModelDialog::SelectModelDialog(Database& db, QWidget* parent)
    : GridSelectionDialog(QStringLiteral("DBGrid1"), parent), m_db(db) {
    setObjectName(QStringLiteral("FormSelectModel"));
    setWindowTitle(QStringLiteral("Select a model"));
    Label1()->setText(QStringLiteral("Please select a model to plot."));
    resize(380, 300);
}

std::optional<int> SelectModelDialog::ChooseModel(int estimatesSetId) {
    SetRows(ModelsOfDataSetGrid(m_db, estimatesSetId));
    if (exec() != QDialog::Accepted) return std::nullopt;
    return SelectedKey();
}

SelectAnyPredictionsDialog::SelectAnyPredictionsDialog(Database& db, QWidget* parent)
    : GridSelectionDialog(QStringLiteral("DBGrid1"), parent), m_db(db) {
    setObjectName(QStringLiteral("FormSelectAnyPredictions"));
    setWindowTitle(QStringLiteral("Select a set to plot"));
    Label1()->setText(QStringLiteral("Please select a set:"));
    resize(460, 360);
}

std::optional<PredictionSetRef> SelectAnyPredictionsDialog::ChooseReference(ReferencePrompt prompt,
                                                                            int estimatesSetId) {
    setWindowTitle(QStringLiteral("Select a reference set"));
    Label1()->setText(
        ToDisplayText(prompt == ReferencePrompt::First
                          ? JoinLines({"The current predictions set will be your first plot.",
                                       " Please select a reference set."})
                          : "Please select a new reference set."));
    SetRows(PredictionSetGrid(m_db, estimatesSetId));
    if (exec() != QDialog::Accepted) return std::nullopt;
    const GridRow* chosen = SelectedRow();
    return PredictionSetRef{chosen->key, chosen->recalibrated};
}

}  // namespace tamsel
