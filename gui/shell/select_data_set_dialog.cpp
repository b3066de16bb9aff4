#include "shell/select_data_set_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/qt_text.h"
#include "shell/row_set_model.h"
#include "shell/selection_controller.h"
#include "tamsel/workbench/project.h"
#include "tamsel/workbench/set_lists.h"

namespace tamsel {

SelectDataSetDialog::SelectDataSetDialog(Database& db, SelectionController& controller,
                                         QWidget* parent)
    : QDialog(parent),
      m_controller(controller),
      m_model(new RowSetModel(this)),
      m_combo(new QComboBox(this)) {
    setObjectName(QStringLiteral("FormSelectData"));
    setWindowTitle(QStringLiteral("Select a dataset"));

    if (std::optional<RowSet> rows = DataSetNameList(db)) {
        m_model->SetRows(std::move(*rows));
    }
    m_combo->setObjectName(QStringLiteral("DBCombo1"));
    m_combo->setModel(m_model);
    m_combo->setModelColumn(0);
    m_combo->setMinimumWidth(280);
    m_combo->setCurrentIndex(m_combo->findText(ToQString(controller.Selection().dataSetName),
                                               Qt::MatchFixedString | Qt::MatchCaseSensitive));

    auto* label = new QLabel(QStringLiteral("Dataset"), this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setBuddy(m_combo);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("Command2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &SelectDataSetDialog::Ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(label, m_combo);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
    layout->addWidget(buttons);
}

void SelectDataSetDialog::PossiblyShow() {
    if (m_model->rowCount() == 0) {
        ShowMessage(JoinLines({"There are no datasets stored in the current database.",
                               "Please, add a dataset first."}));
        return;
    }
    exec();
}

void SelectDataSetDialog::Ok() {
    if (m_combo->currentText().isEmpty()) {
        ShowMessage("You must select a dataset or click Cancel");
        m_combo->setFocus();
        return;
    }
    m_controller.OpenCurrentDataSet(ToStdString(m_combo->currentText()));
    accept();
}

}  // namespace tamsel
