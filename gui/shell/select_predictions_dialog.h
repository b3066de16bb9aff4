// "Select a recalibrated predictions set": the predictions sets of a dataset.
#pragma once

#include <optional>
#include <string>

#include "shell/grid_selection_dialog.h"

namespace tamsel {

class SelectPredictionsDialog : public GridSelectionDialog {
    Q_OBJECT

  public:
    SelectPredictionsDialog(Database& db, QWidget* parent = nullptr);

    // Lists the predictions sets of the dataset named dataSetName and returns the key the
    // user chooses; nothing after Cancel, or after a message when the dataset has none.
    std::optional<int> ChooseSet(const std::string& dataSetName);

  private:
    Database& m_db;
};

}  // namespace tamsel
