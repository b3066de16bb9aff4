#include "shell/select_model_dialog.h"

#include <QLabel>

#include "shell/qt_text.h"
#include "shell/row_set_model.h"
#include "tamsel/support/messages.h"

namespace tamsel {
namespace {

struct Prompt {
    const char* caption;
    std::string label;
};

void ApplyPrompt(GridSelectionDialog& dialog, const std::optional<Prompt>& prompt) {
    if (!prompt) return;
    dialog.setWindowTitle(QString::fromLatin1(prompt->caption));
    dialog.Label1()->setText(ToDisplayText(prompt->label));
}

std::optional<Prompt> ModelPrompt(int mode) {
    switch (mode) {
        case 0:
            return Prompt{"Select a reference model",
                          JoinLines({"The current estimates set will be your first plot.",
                                     " Please select a reference model."})};
        case 1:
        case 3:
        case 4:
        case 5:
            return Prompt{"Select a model", "Please select a model to plot."};
        case 2:
            return Prompt{"Select a reference model", "Please select a new reference model."};
        default:
            return std::nullopt;
    }
}

std::optional<Prompt> SetPrompt(int mode) {
    switch (mode) {
        case 0:
            return Prompt{"Select a reference set",
                          JoinLines({"The current predictions set will be your first plot.",
                                     " Please select a reference set."})};
        case 1:
            return Prompt{"Select a set to plot",
                          "Please select a set of raw or recalibrated predictions."};
        case 2:
            return Prompt{"Select a reference set", "Please select a new reference set."};
        default:
            return std::nullopt;
    }
}

enum AnyPredictionsColumn { kKey, kKind };

}  // namespace

SelectModelDialog::SelectModelDialog(Database& db, QWidget* parent)
    : GridSelectionDialog(QStringLiteral("DBGrid1"), parent), m_db(db) {
    setObjectName(QStringLiteral("FormSelectModel"));
    ApplyPrompt(*this, ModelPrompt(1));
    resize(380, 300);
}

int SelectModelDialog::GetID(int mode, int estimatesSetId) {
    ApplyPrompt(*this, ModelPrompt(mode));
    SetRows(BindModelsOfDataSet(m_db, estimatesSetId), {0});
    if (exec() != QDialog::Accepted) return 0;
    return ToInt(SelectedRow()->at(0));
}

SelectAnyPredictionsDialog::SelectAnyPredictionsDialog(Database& db, QWidget* parent)
    : GridSelectionDialog(QStringLiteral("DBGrid1"), parent), m_db(db) {
    setObjectName(QStringLiteral("FormSelectAnyPredictions"));
    setWindowTitle(QStringLiteral("Select a set to plot"));
    Label1()->setText(QStringLiteral("Please select a set:"));
    resize(460, 360);
}

SelectAnyPredictionsDialog::Choice SelectAnyPredictionsDialog::GetIDAndRecFlag(int mode,
                                                                               int estimatesSetId) {
    ApplyPrompt(*this, SetPrompt(mode));
    SetRows(BindAllPredictionSets(m_db, estimatesSetId), {kKey, kKind});
    if (exec() != QDialog::Accepted) return {};
    const std::vector<DbValue>& row = *SelectedRow();
    return {ToInt(row[kKey]), ToInt(row[kKind]) == 1};
}

}  // namespace tamsel
