#include "predictions/forecast_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include "shell/qt_text.h"
#include "shell/row_set_model.h"
#include "tamsel/charts/chart_view.h"
#include "tamsel/workbench/evaluation.h"

namespace tamsel {
namespace {

enum TargetKind { kNoTarget, kTargetIntensity, kTargetMttf };

}  // namespace

ForecastDialog::ForecastDialog(Database& db, ForecastBasis basis, QWidget* parent)
    : QDialog(parent),
      m_db(db),
      m_basis(std::move(basis)),
      m_index(new QSpinBox(this)),
      m_mission(new QLineEdit(this)),
      m_targetKind(new QComboBox(this)),
      m_target(new QLineEdit(this)),
      m_problem(new QLabel(this)),
      m_lines(new RowSetModel(this)),
      m_chart(new ChartView(this)) {
    setWindowTitle(QStringLiteral("Forecast - set %1 (%2)")
                       .arg(ToQString(SetRefText(m_basis.set)), ToQString(m_basis.label)));
    m_index->setObjectName(QStringLiteral("spnIndex"));
    m_index->setRange(m_basis.firstIndex, m_basis.lastIndex);
    m_index->setValue(m_basis.fit.index);
    m_mission->setObjectName(QStringLiteral("txtMission"));
    m_mission->setPlaceholderText(QStringLiteral("none"));
    m_targetKind->setObjectName(QStringLiteral("cboTarget"));
    m_targetKind->addItems(
        {QStringLiteral("None"), QStringLiteral("Failure intensity"), QStringLiteral("MTTF")});
    m_target->setObjectName(QStringLiteral("txtTarget"));
    m_target->setPlaceholderText(QStringLiteral("none"));
    m_problem->setObjectName(QStringLiteral("lblProblem"));
    m_problem->setStyleSheet(QStringLiteral("color: #b00000"));
    m_problem->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Failure index:"), m_index);
    form->addRow(QStringLiteral("Mission time:"), m_mission);
    auto* target = new QHBoxLayout;
    target->addWidget(m_targetKind);
    target->addWidget(m_target, 1);
    form->addRow(QStringLiteral("Target:"), target);

    auto* table = new QTableView(this);
    table->setObjectName(QStringLiteral("grdForecast"));
    // Six digits read at a glance; each cell's tooltip and tamsel-cli forecast keep them all.
    m_lines->SetSignificantDigits(6);
    table->setModel(m_lines);
    table->verticalHeader()->hide();
    // Compact rows keep the parameter intervals, the last lines, in view.
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setWordWrap(false);
    table->setMinimumWidth(840);
    m_chart->setObjectName(QStringLiteral("chtReliability"));
    m_chart->setMinimumSize(420, 320);

    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* left = new QVBoxLayout;
    left->addLayout(form);
    left->addWidget(m_problem);
    left->addWidget(table, 1);
    auto* body = new QHBoxLayout;
    body->addLayout(left);
    body->addWidget(m_chart, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(close, 0, Qt::AlignRight);

    connect(m_index, &QSpinBox::valueChanged, this, &ForecastDialog::ChangeIndex);
    connect(m_mission, &QLineEdit::textChanged, this, &ForecastDialog::Update);
    connect(m_target, &QLineEdit::textChanged, this, &ForecastDialog::Update);
    connect(m_targetKind, &QComboBox::currentIndexChanged, this, &ForecastDialog::Update);
    Update();
    // The header has its sections once the first forecast is shown.
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    resize(1360, 660);
}

void ForecastDialog::ShowFor(Database& db, const CurrentSelection& selection, QWidget* parent) {
    std::optional<ForecastBasis> basis =
        LoadForecastBasis(db, CurrentSetRef(selection), std::nullopt);
    if (!basis) return;
    ForecastDialog dialog(db, std::move(*basis), parent);
    dialog.exec();
}

QString ForecastDialog::Problem() const { return m_problem->text(); }

void ForecastDialog::ChangeIndex(int index) {
    // A refused index (after its message) keeps the forecast shown.
    if (std::optional<ForecastBasis> basis = LoadForecastBasis(m_db, m_basis.set, index)) {
        m_basis = std::move(*basis);
        Update();
    }
}

bool ForecastDialog::ReadValue(const QLineEdit* field, const QString& name,
                               std::optional<double>& value) {
    const QString text = field->text().trimmed();
    value.reset();
    if (text.isEmpty()) return true;
    bool numeric = false;
    value = text.toDouble(&numeric);
    if (!numeric) m_problem->setText(QStringLiteral("Type a number for the %1.").arg(name));
    return numeric;
}

void ForecastDialog::Update() {
    ForecastQuery query;
    std::optional<double> target;
    const int kind = m_targetKind->currentIndex();
    m_target->setEnabled(kind != kNoTarget);
    if (!ReadValue(m_mission, QStringLiteral("mission time"), query.mission) ||
        (kind != kNoTarget && !ReadValue(m_target, QStringLiteral("target"), target))) {
        return;
    }
    (kind == kTargetMttf ? query.targetMttf : query.targetIntensity) = target;
    if (std::optional<std::string> problem = ForecastQueryProblem(query)) {
        m_problem->setText(ToQString(*problem));
        return;
    }
    m_problem->clear();
    m_lines->SetRows(ForecastTable(DescribeForecast(m_basis, query)));
    m_chart->SetDescription(ReliabilityChart(m_basis, query));
}

}  // namespace tamsel
