// The plot windows' choice of a set to add to a comparison: SelectModelDialog lists the raw
// estimates sets of a dataset by model, SelectAnyPredictionsDialog the raw and the
// recalibrated sets. Cancel gives nothing, so that a cancelled choice adds nothing.
#pragma once

#include <optional>

#include "shell/grid_selection_dialog.h"
#include "tamsel/workbench/plot_rows.h"

namespace tamsel {

class SelectModelDialog : public GridSelectionDialog {
    Q_OBJECT

  public:
    explicit SelectModelDialog(Database& db, QWidget* parent = nullptr);

    // Lists the estimates sets of the dataset that estimatesSetId belongs to and returns the
    // key of the one the user chooses.
    std::optional<int> ChooseModel(int estimatesSetId);

  private:
    Database& m_db;
};

// Why a log(PLR) plot asks for a reference set.
enum class ReferencePrompt {
    First,  // the plot is opening: the current set will be its first curve
    Next,   // a new reference for the curves added from now on
};

class SelectAnyPredictionsDialog : public GridSelectionDialog {
    Q_OBJECT

  public:
    explicit SelectAnyPredictionsDialog(Database& db, QWidget* parent = nullptr);

    // Lists the raw and recalibrated sets of the dataset that estimatesSetId belongs to and
    // returns the one the user chooses as a reference.
    std::optional<PredictionSetRef> ChooseReference(ReferencePrompt prompt, int estimatesSetId);

  private:
    Database& m_db;
};

}  // namespace tamsel
