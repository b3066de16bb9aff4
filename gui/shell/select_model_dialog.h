// The plot windows' choice of a set to add to a comparison: SelectModelDialog lists the raw
// estimates sets of a dataset by model, SelectAnyPredictionsDialog the raw and the
// recalibrated sets. Both return 0 after Cancel, so that a cancelled choice adds nothing.
#pragma once

#include "shell/grid_selection_dialog.h"

namespace tamsel {

class SelectModelDialog : public GridSelectionDialog {
    Q_OBJECT

  public:
    explicit SelectModelDialog(Database& db, QWidget* parent = nullptr);

    // Lists the estimates sets of the dataset that estimatesSetId belongs to; mode sets the
    // caption and the prompt (0: the current set is the first plot, choose a reference;
    // 1, 3, 4, 5: choose a model to plot; 2: choose a new reference; 6 and above keep them).
    // Returns the chosen set's key, 0 after Cancel.
    int GetID(int mode, int estimatesSetId);

  private:
    Database& m_db;
};

class SelectAnyPredictionsDialog : public GridSelectionDialog {
    Q_OBJECT

  public:
    explicit SelectAnyPredictionsDialog(Database& db, QWidget* parent = nullptr);

    struct Choice {
        int id = 0;                 // EstimatesSetID or PredictionsSetID; 0 after Cancel
        bool recalibrated = false;  // true for a PredictionsSetID
    };

    // Lists the raw and recalibrated sets of the dataset that estimatesSetId belongs to;
    // mode sets the caption and the prompt (0: the current set is the first plot, choose a
    // reference; 1: choose a set to plot; 2: choose a new reference; others keep them).
    Choice GetIDAndRecFlag(int mode, int estimatesSetId);

  private:
    Database& m_db;
};

}  // namespace tamsel
