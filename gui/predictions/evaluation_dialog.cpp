#include "predictions/evaluation_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/qt_text.h"
#include "shell/row_set_model.h"
#include "tamsel/workbench/project.h"

namespace tamsel {

EvaluationDialog::EvaluationDialog(Database& db, std::string dataName, const Evaluation& evaluation,
                                   QWidget* parent)
    : QDialog(parent),
      m_db(db),
      m_dataName(std::move(dataName)),
      m_start(new QSpinBox(this)),
      m_reference(new QComboBox(this)),
      m_fitIndex(new QSpinBox(this)),
      m_table(new RowSetModel(this)) {
    setWindowTitle(QStringLiteral("Evaluate Sets - %1").arg(ToQString(m_dataName)));
    // Six digits tell every set apart; the tooltips and `tamsel-cli evaluate` give them all.
    m_table->SetSignificantDigits(6);
    // Values are taken when typing ends, so that a half-typed index is not evaluated.
    m_start->setObjectName(QStringLiteral("spnStart"));
    m_start->setKeyboardTracking(false);
    m_start->setRange(1, evaluation.lastIndex);
    m_start->setValue(evaluation.firstIndex);
    m_reference->setObjectName(QStringLiteral("cboReference"));
    std::vector<const SetEvaluation*> sets;
    for (const SetEvaluation& set : evaluation.sets) sets.push_back(&set);
    std::ranges::sort(sets, [](const SetEvaluation* a, const SetEvaluation* b) {
        return std::pair(a->set.recalibrated, a->set.id) <
               std::pair(b->set.recalibrated, b->set.id);
    });
    for (const SetEvaluation* set : sets) {
        m_references.push_back(set->set);
        m_reference->addItem(QStringLiteral("%1 (set %2)")
                                 .arg(ToQString(set->label), ToQString(SetRefText(set->set))));
        if (set->set == evaluation.reference)
            m_reference->setCurrentIndex(m_reference->count() - 1);
    }
    m_fitIndex->setObjectName(QStringLiteral("spnFitIndex"));
    m_fitIndex->setKeyboardTracking(false);
    m_fitIndex->setEnabled(evaluation.fitIndex != 0);
    if (evaluation.fitIndex != 0) m_fitIndex->setRange(evaluation.fitFirst, evaluation.fitLast);
    m_fitIndex->setValue(evaluation.fitIndex);

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->addRow(QStringLiteral("Judge from failure:"), m_start);
    form->addRow(QStringLiteral("log(PLR) reference:"), m_reference);
    form->addRow(QStringLiteral("AIC and BIC of the fit to failure:"), m_fitIndex);

    auto* table = new QTableView(this);
    table->setObjectName(QStringLiteral("grdEvaluation"));
    table->setModel(m_table);
    table->verticalHeader()->hide();
    table->setWordWrap(false);
    m_table->SetRows(EvaluationTable(evaluation, true));
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(table, 1);
    layout->addWidget(close, 0, Qt::AlignRight);

    connect(m_start, &QSpinBox::valueChanged, this, &EvaluationDialog::Update);
    connect(m_reference, &QComboBox::currentIndexChanged, this, &EvaluationDialog::Update);
    connect(m_fitIndex, &QSpinBox::valueChanged, this, &EvaluationDialog::Update);
    // As wide as the table, within the window it opens over.
    layout->activate();
    const int wanted = table->horizontalHeader()->length() + 2 * table->frameWidth() +
                       layout->contentsMargins().left() + layout->contentsMargins().right();
    resize(parent ? std::min(wanted, parent->window()->width()) : wanted, 470);
}

void EvaluationDialog::ShowFor(Database& db, const CurrentSelection& selection, QWidget* parent) {
    std::optional<Evaluation> evaluation =
        EvaluateDataSet(db, selection.dataSetName, std::nullopt, std::nullopt);
    if (!evaluation) return;
    EvaluationDialog dialog(db, selection.dataSetName, *evaluation, parent);
    dialog.exec();
}

void EvaluationDialog::Update() {
    const std::optional<int> fitIndex =
        m_fitIndex->isEnabled() ? std::optional(m_fitIndex->value()) : std::nullopt;
    // A refused evaluation (after its message) keeps the table shown.
    if (std::optional<Evaluation> evaluation = EvaluateDataSet(
            m_db, m_dataName, m_start->value(),
            m_references.at(static_cast<std::size_t>(m_reference->currentIndex())), fitIndex)) {
        m_table->SetRows(EvaluationTable(*evaluation, true));
    }
}

}  // namespace tamsel
