#include "tables/next_failure_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "shell/selection_controller.h"
#include "tamsel/workbench/next_failure.h"

namespace tamsel {

namespace {

// Doubles are shown with up to 15 significant digits, as a number reads when converted to text.
constexpr int kShownDigits = 15;

QString NumberText(double value) { return QString::number(value, 'g', kShownDigits); }

}  // namespace

NextFailureDialog::NextFailureDialog(SelectionController& controller, QWidget* parent)
    : QDialog(parent), m_controller(controller), m_time(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Time to next failure predictions"));
    auto* intro = new QLabel(
        QStringLiteral("This window calculates the U-value and Pdf for the time to next failure "
                       "you propose. The dataset, prediction model and possible recalibration "
                       "are set to the current selections. The time unit is that of the current "
                       "dataset and the current time is taken as the last entry in the dataset."),
        this);
    intro->setObjectName(QStringLiteral("Label1"));
    intro->setWordWrap(true);
    auto* prompt = new QLabel(QStringLiteral("Enter failure time:"), this);
    prompt->setObjectName(QStringLiteral("Label2"));
    m_time->setObjectName(QStringLiteral("Text1"));
    auto* submit = new QPushButton(QStringLiteral("Submit"), this);
    submit->setObjectName(QStringLiteral("Command1"));
    submit->setDefault(true);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("Command2"));
    connect(submit, &QPushButton::clicked, this, &NextFailureDialog::Submit);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(intro, 0, 0, 1, 3);
    layout->addWidget(prompt, 1, 0);
    layout->addWidget(m_time, 1, 1);
    layout->addWidget(submit, 1, 2);
    const char* headings[] = {"Failure time", "U-value", "Pdf"};
    for (int column = 0; column < 3; ++column) {
        auto* heading = new QLabel(QString::fromLatin1(headings[column]), this);
        heading->setObjectName(QStringLiteral("Label7_%1").arg(column));
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        m_values[column] = new QLabel(this);
        m_values[column]->setObjectName(QStringLiteral("Label7_%1").arg(column + 3));
        m_values[column]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(heading, 2, column);
        layout->addWidget(m_values[column], 3, column);
    }
    layout->addWidget(close, 4, 2);
    setMinimumWidth(520);
}

void NextFailureDialog::Submit() {
    bool numeric = false;
    const double time = m_time->text().trimmed().toDouble(&numeric);
    if (!numeric) return;
    const CurrentSelection& selection = m_controller.Selection();
    Database* db = m_controller.OpenedDatabase();
    if (!db) return;
    const std::optional<NextFailurePrediction> prediction =
        PredictNextFailure(*db, selection, time);
    if (!prediction) return;
    m_values[0]->setText(NumberText(time));
    m_values[1]->setText(NumberText(prediction->u));
    m_values[2]->setText(NumberText(prediction->pdf));
}

}  // namespace tamsel
