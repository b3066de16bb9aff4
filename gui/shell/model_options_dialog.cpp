#include "shell/model_options_dialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/qt_text.h"
#include "tamsel/workbench/apply_model.h"
#include "tamsel/workbench/project.h"

namespace tamsel {
namespace {

struct Tab {
    const char* caption;
    const char* toolTip;
    const char* frame;
};
constexpr Tab kTabs[] = {
    {"Model", "Set model", "Model options"},
    {"Range", "Set the failures fitted", "Range options"},
    {"(Inference)", "Not yet available", "Inference method"},
    {"(Parameters)", "Not yet available", "Parameter settings"},
};
enum TabIndex { kModelTab, kRangeTab };

QString ModelCaption(const ModelInfo& model, bool applied) {
    return ToQString(std::string(model.name)) +
           (applied ? QStringLiteral(" (applied)") : QString());
}

}  // namespace

ModelOptionsDialog::ModelOptionsDialog(Database& db, const std::string& dataSetName,
                                       QWidget* parent)
    : RunDialog(parent),
      m_db(db),
      m_dataSetName(dataSetName),
      m_tabs(new QTabWidget(this)),
      m_rangeStart(new QSpinBox(this)),
      m_rangeEnd(new QSpinBox(this)),
      m_summary(new QLabel(this)) {
    setObjectName(QStringLiteral("frmModelOptions"));
    setWindowTitle(QStringLiteral("Select and apply model to dataset ") + ToQString(dataSetName));

    m_tabs->setObjectName(QStringLiteral("tbsOptions"));
    std::vector<QGroupBox*> frames;
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QWidget;
        panel->setObjectName(QStringLiteral("picOptions_%1").arg(i));
        auto* frame = new QGroupBox(QString::fromLatin1(kTabs[i].frame), panel);
        frame->setObjectName(QStringLiteral("fraSample%1").arg(i + 1));
        auto* panelLayout = new QVBoxLayout(panel);
        panelLayout->addWidget(frame);
        m_tabs->addTab(panel, QString::fromLatin1(kTabs[i].caption));
        m_tabs->setTabToolTip(i, QString::fromLatin1(kTabs[i].toolTip));
        frames.push_back(frame);
    }
    auto* grid = new QGridLayout(frames[kModelTab]);
    grid->setVerticalSpacing(10);
    grid->setHorizontalSpacing(24);
    for (const ModelInfo& model : ModelTable()) {
        const int index = static_cast<int>(m_options.size());
        auto* option = new QCheckBox(ModelCaption(model, false), frames[kModelTab]);
        option->setObjectName(QStringLiteral("Option1_%1").arg(index));
        m_options.push_back(option);
        grid->addWidget(option, index % 4, index / 4);
    }

    // The range as the command line's --range takes it: failure 20 to the last by default.
    const std::optional<DataSetInfo> dataSet = FindDataSet(m_db, m_dataSetName);
    const int failures = dataSet ? dataSet->count : 0;
    m_rangeStart->setObjectName(QStringLiteral("spnRangeStart"));
    m_rangeEnd->setObjectName(QStringLiteral("spnRangeEnd"));
    // A dataset shorter than the default start keeps it, so that the run explains the refusal.
    m_rangeStart->setRange(1, std::max(failures, kDefaultRangeStart));
    m_rangeStart->setValue(kDefaultRangeStart);
    m_rangeEnd->setRange(1, std::max(failures, 1));
    m_rangeEnd->setValue(failures);
    auto* range = new QFormLayout(frames[kRangeTab]);
    range->addRow(QStringLiteral("First failure fitted:"), m_rangeStart);
    range->addRow(QStringLiteral("Last failure fitted:"), m_rangeEnd);
    auto* rangeNote = new QLabel(
        QStringLiteral("Each model is fitted at every failure of the range, from the failures "
                       "before it. The dataset has %1 failures.")
            .arg(failures),
        frames[kRangeTab]);
    rangeNote->setWordWrap(true);
    range->addRow(rangeNote);
    for (QSpinBox* box : {m_rangeStart, m_rangeEnd}) {
        connect(box, &QSpinBox::valueChanged, this, &ModelOptionsDialog::ShowApplied);
    }

    // Panels out of view are disabled as well as hidden.
    for (int i = 1; i < m_tabs->count(); ++i) m_tabs->widget(i)->setEnabled(false);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int current) {
        for (int i = 0; i < m_tabs->count(); ++i) m_tabs->widget(i)->setEnabled(i == current);
    });
    auto* nextTab = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
    connect(nextTab, &QShortcut::activated, this, &ModelOptionsDialog::NextTab);

    m_summary->setObjectName(QStringLiteral("lblFitSummary"));
    m_summary->setWordWrap(true);
    connect(this, &RunDialog::runFinished, this, [this] {
        QStringList lines;
        for (const std::string& line : m_runSummaries) lines.append(ToQString(line));
        m_summary->setText(lines.join(QLatin1Char('\n')));
        m_storedSets.insert(m_storedSets.end(), m_runSets.begin(), m_runSets.end());
        ShowApplied();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(m_summary);
    AddRunControls(layout);
    KeepProgressRoom();
    setMinimumSize(560, 340);
    ShowApplied();
}

void ModelOptionsDialog::ShowApplied() {
    std::vector<bool> applied(m_options.size(), false);
    if (const auto sets = ListEstimatesSets(m_db, m_dataSetName)) {
        for (const EstimatesSetInfo& set : *sets) {
            const auto index = static_cast<std::size_t>(set.modelNumber - 1);
            if (index < applied.size() && set.rangeStart == m_rangeStart->value() &&
                set.rangeEnd == m_rangeEnd->value() &&
                set.inferenceMethodId == kDefaultInferenceMethodId) {
                applied[index] = true;
            }
        }
    }
    std::size_t index = 0;
    for (const ModelInfo& model : ModelTable()) {
        QCheckBox* option = m_options[index];
        option->setText(ModelCaption(model, applied[index]));
        option->setEnabled(!applied[index]);
        if (applied[index]) option->setChecked(false);
        ++index;
    }
}

std::optional<std::vector<int>> ModelOptionsDialog::SelectedModels() const {
    std::vector<int> models;
    for (std::size_t i = 0; i < m_options.size(); ++i) {
        if (m_options[i]->isChecked()) models.push_back(static_cast<int>(i) + 1);
    }
    if (models.empty()) {
        ShowMessage("You must select an option or press cancel");
        return std::nullopt;
    }
    return models;
}

std::optional<int> ModelOptionsDialog::ChosenRange(int dataSetId, int failures) const {
    const int start = m_rangeStart->value();
    const int end = m_rangeEnd->value();
    if (start == kDefaultRangeStart && end == failures) return kDefaultRangeId;
    // An end at the last failure is an open range, as the command line stores START alone.
    return CustomRange(m_db, dataSetId, start, end == failures ? std::nullopt : std::optional(end));
}

void ModelOptionsDialog::ApplyChoice(bool close) {
    const std::optional<std::vector<int>> chosen = SelectedModels();
    if (!chosen) return;
    const std::optional<DataSetInfo> dataSet = FindDataSet(m_db, m_dataSetName);
    if (!dataSet) return;
    const std::optional<int> rangeId = ChosenRange(dataSet->id, dataSet->count);
    if (!rangeId) return;
    const int dataSetId = dataSet->id;
    m_runSummaries.clear();
    m_runSets.clear();
    StartRun(close,
             [this, dataSetId, rangeId = *rangeId, models = *chosen](const RunControl& control) {
                 const int count = static_cast<int>(models.size());
                 bool anyRun = false;
                 const auto started = [&](std::size_t k) {
                     SetProgressFormat(QStringLiteral("%1, model %2 of %3: failure %v of %m")
                                           .arg(ToQString(std::string(FindModel(models[k])->name)))
                                           .arg(k + 1)
                                           .arg(count));
                 };
                 const auto applied = [&](std::size_t k, const ApplyModelResult& result) {
                     using Outcome = ApplyModelResult::Outcome;
                     if (result.outcome == Outcome::Stored) {
                         m_runSummaries.push_back(std::string(FindModel(models[k])->name) + ": " +
                                                  result.fitSummary);
                         m_runSets.push_back(result.estimatesSetId);
                     }
                     anyRun = anyRun || result.outcome != Outcome::Exists;
                     return result.outcome != Outcome::Cancelled;
                 };
                 ApplyModels(m_db, dataSetId, models, rangeId, kDefaultInferenceMethodId, control,
                             kHardwareThreads, started, applied);
                 return anyRun;
             });
}

QString ModelOptionsDialog::FitSummary() const { return m_summary->text(); }

void ModelOptionsDialog::NextTab() { m_tabs->setCurrentIndex((m_tabs->currentIndex() + 1) % 4); }

void ModelOptionsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

}  // namespace tamsel
