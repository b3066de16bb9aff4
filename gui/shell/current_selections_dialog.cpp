#include "shell/current_selections_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "shell/qt_text.h"
#include "tamsel/workbench/project.h"

namespace tamsel {
namespace {

void AddValue(QFormLayout* form, const QString& name, const QString& value) {
    auto* label = new QLabel(name);
    label->setObjectName(QStringLiteral("name:") + name);
    auto* text = new QLabel(value);
    text->setObjectName(QStringLiteral("value:") + name);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setWordWrap(true);
    text->setMinimumWidth(320);
    form->addRow(label, text);
}

QString RangeText(const CurrentSelection& selection) {
    return QStringLiteral("%1 to %2 (set size %3)")
        .arg(selection.rangeStart)
        .arg(selection.rangeEnd)
        .arg(selection.setSize);
}

}  // namespace

CurrentSelectionsDialog::CurrentSelectionsDialog(const CurrentSelection& selection, Database* db,
                                                 QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("FormSelections"));
    setWindowTitle(QStringLiteral("Current selections"));

    const bool hasDataSet = db && !selection.dataSetName.empty();
    const bool hasSet = hasDataSet && selection.estimatesSetId != 0;
    QString source;
    if (hasDataSet) {
        if (const std::optional<DataSetInfo> dataSet = FindDataSet(*db, selection.dataSetName)) {
            source = ToDisplayText(dataSet->source).trimmed();
        }
    }

    auto* top = new QFormLayout;
    AddValue(top, QStringLiteral("Database"), ToQString(selection.databaseFileName));
    AddValue(top, QStringLiteral("Dataset"), ToQString(selection.dataSetName));
    AddValue(top, QStringLiteral("Data source"), source);

    auto* estimates = new QGroupBox(QStringLiteral("Estimates set"), this);
    auto* estimatesForm = new QFormLayout(estimates);
    AddValue(estimatesForm, QStringLiteral("Model"),
             hasSet ? ToQString(selection.modelName) : QString());
    AddValue(estimatesForm, QStringLiteral("Range"), hasSet ? RangeText(selection) : QString());
    AddValue(estimatesForm, QStringLiteral("Inference method"),
             hasSet ? ToQString(selection.inferenceMethodName) : QString());

    auto* recalibration = new QGroupBox(QStringLiteral("Recalibration"), this);
    auto* recalibrationForm = new QFormLayout(recalibration);
    AddValue(recalibrationForm, QStringLiteral("Recalibration method"),
             hasSet ? ToQString(selection.recalibrationMethodName) : QString());

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(estimates);
    layout->addWidget(recalibration);
    layout->addWidget(buttons);
    // The value column lines up across the frames.
    int labelWidth = 0;
    const QList<QLabel*> names =
        findChildren<QLabel*>(QRegularExpression(QStringLiteral("^name:")));
    for (const QLabel* name : names) labelWidth = std::max(labelWidth, name->sizeHint().width());
    for (QLabel* name : names) name->setMinimumWidth(labelWidth + 12);
    for (QFormLayout* form : {top, estimatesForm, recalibrationForm}) {
        form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    }
}

QString CurrentSelectionsDialog::ValueText(const QString& name) const {
    const auto* value = findChild<QLabel*>(QStringLiteral("value:") + name);
    return value ? value->text() : QString();
}

}  // namespace tamsel
