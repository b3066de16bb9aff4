// "Select a dataset": a drop-down list of the datasets, newest first; OK makes the chosen
// one the current dataset.
#pragma once

#include <QDialog>

class QComboBox;

namespace tamsel {

class Database;
class RowSetModel;
class SelectionController;

class SelectDataSetDialog : public QDialog {
    Q_OBJECT

  public:
    SelectDataSetDialog(Database& db, SelectionController& controller, QWidget* parent = nullptr);

    // Shows the dialog modally, or only a message when the database holds no dataset.
    void PossiblyShow();

    QComboBox* DBCombo1() const { return m_combo; }

  private:
    void Ok();

    SelectionController& m_controller;
    RowSetModel* m_model;
    QComboBox* m_combo;
};

}  // namespace tamsel
