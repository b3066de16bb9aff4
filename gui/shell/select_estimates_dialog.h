// "Select an estimates set": the estimates sets of the current dataset; OK makes the chosen
// set current.
#pragma once

#include "shell/grid_selection_dialog.h"

namespace tamsel {

class SelectionController;

class SelectEstimatesDialog : public GridSelectionDialog {
    Q_OBJECT

  public:
    SelectEstimatesDialog(Database& db, SelectionController& controller, QWidget* parent = nullptr);

    // Shows the dialog modally, or only a message when the dataset has no estimates set.
    void ShowIfAnySets();

  private:
    void SelectChosenSet();

    Database& m_db;
    SelectionController& m_controller;
};

}  // namespace tamsel
