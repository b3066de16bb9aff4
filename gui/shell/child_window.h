// What the main window knows of its plot and table windows. Each such window derives from
// ChildWindow and is shown in the main window's MDI area; the main window follows the active
// one in the File menu and closes those of a dataset or a set that is deleted.
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

#include "tamsel/workbench/plot_rows.h"

namespace tamsel {

class ChildWindow : public QWidget {
    Q_OBJECT

  public:
    enum class Kind { Plot, Table };

    using QWidget::QWidget;

    virtual Kind WindowKind() const = 0;
    // DataName of the dataset whose rows the window shows.
    virtual QString DataSetName() const = 0;
    // The estimates and recalibrated sets whose rows the window shows; none for the dataset's
    // own rows.
    virtual std::vector<PredictionSetRef> ShownSets() const { return {}; }
};

}  // namespace tamsel
