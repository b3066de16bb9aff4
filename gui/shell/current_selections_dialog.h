// "Current selections": what the user is working on, read only.
#pragma once

#include <QDialog>

#include "tamsel/workbench/project.h"

class QLabel;

namespace tamsel {

class Database;

class CurrentSelectionsDialog : public QDialog {
    Q_OBJECT

  public:
    // db may be null when no database is open.
    CurrentSelectionsDialog(const CurrentSelection& selection, Database* db,
                            QWidget* parent = nullptr);

    // The value shown beside the label called name ("Database", "Dataset", "Data source",
    // "Model", "Range", "Inference method", "Recalibration method").
    QString ValueText(const QString& name) const;
};

}  // namespace tamsel
