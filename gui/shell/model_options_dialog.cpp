#include "shell/model_options_dialog.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

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
    {"(Range)", "Not yet available", "Range options"},
    {"(Inference)", "Not yet available", "Inference method"},
    {"(Parameters)", "Not yet available", "Parameter settings"},
};

}  // namespace

ModelOptionsDialog::ModelOptionsDialog(Database& db, const std::string& dataSetName,
                                       QWidget* parent)
    : RunDialog(parent),
      m_db(db),
      m_dataSetName(dataSetName),
      m_tabs(new QTabWidget(this)),
      m_options(new QButtonGroup(this)),
      m_summary(new QLabel(this)) {
    setObjectName(QStringLiteral("frmModelOptions"));
    setWindowTitle(QStringLiteral("Select and apply model to dataset ") + ToQString(dataSetName));

    m_tabs->setObjectName(QStringLiteral("tbsOptions"));
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QWidget;
        panel->setObjectName(QStringLiteral("picOptions_%1").arg(i));
        auto* frame = new QGroupBox(QString::fromLatin1(kTabs[i].frame), panel);
        frame->setObjectName(QStringLiteral("fraSample%1").arg(i + 1));
        auto* panelLayout = new QVBoxLayout(panel);
        panelLayout->addWidget(frame);
        m_tabs->addTab(panel, QString::fromLatin1(kTabs[i].caption));
        m_tabs->setTabToolTip(i, QString::fromLatin1(kTabs[i].toolTip));
        if (i == 0) {
            auto* grid = new QGridLayout(frame);
            grid->setVerticalSpacing(10);
            grid->setHorizontalSpacing(24);
            int index = 0;
            for (const ModelInfo& model : ModelTable()) {
                auto* option = new QRadioButton(ToQString(std::string(model.name)), frame);
                option->setObjectName(QStringLiteral("Option1_%1").arg(index));
                m_options->addButton(option, index);
                grid->addWidget(option, index % 4, index / 4);
                ++index;
            }
        }
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
    connect(this, &RunDialog::runFinished, this,
            [this] { m_summary->setText(ToQString(m_runSummary)); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(m_summary);
    AddRunControls(layout);
    KeepProgressRoom();
    setMinimumSize(520, 320);
}

std::optional<int> ModelOptionsDialog::SelectedModel() const {
    const int index = m_options->checkedId();
    if (index < 0) {
        ShowMessage("You must select an option or press cancel");
        return std::nullopt;
    }
    return index + 1;
}

void ModelOptionsDialog::ApplyChoice(bool close) {
    const std::optional<int> chosen = SelectedModel();
    if (!chosen) return;
    const int model = *chosen;
    const std::optional<DataSetInfo> dataSet = FindDataSet(m_db, m_dataSetName);
    if (!dataSet) return;
    const int dataSetId = dataSet->id;
    Database& db = m_db;
    m_runSummary.clear();
    StartRun(close, [this, &db, dataSetId, model](const RunControl& control) {
        const ApplyModelResult result =
            ApplyModel(db, dataSetId, model, kDefaultRangeId, kDefaultInferenceMethodId, control);
        if (result.outcome == ApplyModelResult::Outcome::Stored) {
            m_runSummary = std::string(FindModel(model)->name) + ": " + result.fitSummary;
        }
        return result.outcome != ApplyModelResult::Outcome::Exists;
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
