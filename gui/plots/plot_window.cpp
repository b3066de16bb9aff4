#include "plots/plot_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>
#include <vector>

#include "plots/plot_range_dialog.h"
#include "plots/series_styles_dialog.h"
#include "shell/desktop.h"
#include "shell/named_button.h"
#include "shell/select_model_dialog.h"
#include "shell/select_predictions_dialog.h"
#include "tamsel/charts/chart_export.h"
#include "tamsel/charts/chart_view.h"
#include "tamsel/workbench/project.h"

namespace tamsel {

namespace {

QGroupBox* MakeOptions(const QString& name, std::initializer_list<const char*> captions,
                       const QString& optionName, QWidget* parent, QButtonGroup*& group) {
    auto* frame = new QGroupBox(parent);
    frame->setObjectName(name);
    auto* layout = new QVBoxLayout(frame);
    group = new QButtonGroup(frame);
    int index = 0;
    for (const char* caption : captions) {
        auto* option = new QRadioButton(QString::fromLatin1(caption), frame);
        option->setObjectName(QStringLiteral("%1_%2").arg(optionName).arg(index));
        option->setChecked(index == 0);
        group->addButton(option, index++);
        layout->addWidget(option);
    }
    return frame;
}

}  // namespace

PlotWindow::PlotWindow(Database& db, QWidget* parent)
    : ChildWindow(parent),
      m_db(db),
      m_chart(new ChartView(this)),
      m_panel(new QFrame(this)),
      m_addPlot(MakeButton(QStringLiteral("Add plot"), QStringLiteral("CmdPlot_0"), m_panel)),
      m_addRecalibrated(MakeButton(QStringLiteral("Add recalibrated plot"),
                                   QStringLiteral("CmdPlot_1"), m_panel)),
      m_changeReference(MakeButton(QStringLiteral("Change next reference set"),
                                   QStringLiteral("CmdPlot_2"), m_panel)),
      m_range(MakeButton(QStringLiteral("Edit plot range"), QStringLiteral("CmdRange"), m_panel)),
      m_edit(MakeButton(QStringLiteral("Edit plot styles"), QStringLiteral("CmdEdit"), m_panel)),
      m_bold(new QCheckBox(QStringLiteral("Bold plots"), m_panel)) {
    setWindowTitle(QStringLiteral("Plot"));
    m_chart->setObjectName(QStringLiteral("Chart2D1"));
    m_panel->setObjectName(QStringLiteral("Frame1"));
    m_bold->setObjectName(QStringLiteral("CheckBold"));

    QButtonGroup* failureOptions = nullptr;
    QButtonGroup* cumulativeOptions = nullptr;
    m_failureData = MakeOptions(QStringLiteral("FrameOptions_0"),
                                {"Interfailure times", "Cumulative times", "Both"},
                                QStringLiteral("OptionFT"), m_panel, failureOptions);
    m_cumulative =
        MakeOptions(QStringLiteral("FrameOptions_1"), {"Area plot", "Line plot", "Bold line plot"},
                    QStringLiteral("OptionCuf"), m_panel, cumulativeOptions);
    m_boldFrame = new QGroupBox(m_panel);
    m_boldFrame->setObjectName(QStringLiteral("FrameOptions_2"));
    (new QVBoxLayout(m_boldFrame))->addWidget(m_bold);

    connect(failureOptions, &QButtonGroup::idClicked, this, &PlotWindow::ShowFailureData);
    connect(cumulativeOptions, &QButtonGroup::idClicked, this,
            [this](int id) { DrawCumulativeFailuresAs(static_cast<CumulativeStyle>(id)); });
    connect(m_bold, &QCheckBox::toggled, this, &PlotWindow::SetBold);
    connect(m_addPlot, &QPushButton::clicked, this, &PlotWindow::AddRawPlot);
    connect(m_addRecalibrated, &QPushButton::clicked, this, &PlotWindow::AddRecalibratedPlot);
    connect(m_changeReference, &QPushButton::clicked, this, &PlotWindow::ChangeNextReference);
    connect(m_range, &QPushButton::clicked, this, &PlotWindow::EditPlotRange);
    connect(m_edit, &QPushButton::clicked, this, &PlotWindow::EditPlotStyles);

    auto* panelLayout = new QVBoxLayout(m_panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* control :
         std::initializer_list<QWidget*>{m_failureData, m_cumulative, m_boldFrame, m_addPlot,
                                         m_addRecalibrated, m_changeReference, m_range, m_edit}) {
        panelLayout->addWidget(control);
    }
    panelLayout->addStretch();
    // As wide as the widest command, whichever the plot type shows.
    m_panel->setFixedWidth(m_panel->sizeHint().width() + 8);
    for (QWidget* control : m_panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        control->hide();
    }

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_chart, 1);
    layout->addWidget(m_panel);
    resize(900, 560);
}

void PlotWindow::PrepareControls(PlotType plotType) {
    std::vector<QWidget*> shown;
    switch (plotType) {
        case PlotType::FailureTimes:
            shown = {m_failureData, m_boldFrame};
            break;
        case PlotType::CumulativeFailures:
            shown = {m_cumulative};
            break;
        case PlotType::Quartiles:
            shown = {m_boldFrame, m_range};
            break;
        case PlotType::RawMedians:
        case PlotType::RecalibratedMedians:
            shown = {m_addPlot, m_addRecalibrated, m_range, m_edit};
            break;
        case PlotType::RawYPlots:
        case PlotType::RawUPlots:
            shown = {m_addPlot, m_edit};
            break;
        case PlotType::MixedYPlots:
        case PlotType::MixedUPlots:
            shown = {m_addPlot, m_addRecalibrated, m_edit};
            break;
        case PlotType::LogPlr:
            shown = {m_addPlot, m_addRecalibrated, m_changeReference, m_edit};
            break;
        case PlotType::LaplaceTrend:
        case PlotType::RunningAverage:
            break;
    }
    for (QWidget* control : m_panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        control->setVisible(std::find(shown.begin(), shown.end(), control) != shown.end());
    }
}

void PlotWindow::ShowPlot(Plot plot) {
    m_plot = std::move(plot);
    setWindowTitle(QString::fromStdString(m_plot.caption));
    Redraw();
}

void PlotWindow::Redraw() { m_chart->SetDescription(m_plot.chart); }

void PlotWindow::AddRawPlot() {
    SelectModelDialog dialog(m_db, this);
    dialog.AllowSeveral();
    if (dialog.ChooseModel(m_plot.state.estimatesSetId)) AddSets(dialog.SelectedKeys(), false);
}

void PlotWindow::AddRecalibratedPlot() {
    SelectPredictionsDialog dialog(m_db, this);
    dialog.AllowSeveral();
    if (dialog.ChooseSet(m_plot.state.dataSet)) AddSets(dialog.SelectedKeys(), true);
}

void PlotWindow::AddSets(const std::vector<int>& keys, bool recalibrated) {
    bool added = false;
    for (int key : keys) added = AddSetToPlot(m_db, m_plot, {key, recalibrated}) || added;
    if (added) Redraw();
}

void PlotWindow::ChangeNextReference() {
    if (Type() != PlotType::LogPlr) {
        ShowMessage("An error occurred in the PLR plotting buttons.");
        return;
    }
    SelectAnyPredictionsDialog dialog(m_db, this);
    const std::optional<PredictionSetRef> reference =
        dialog.ChooseReference(ReferencePrompt::Next, m_plot.state.estimatesSetId);
    if (reference && tamsel::ChangeNextReference(m_db, m_plot, *reference)) Redraw();
}

void PlotWindow::EditPlotStyles() {
    // The data groups: both medians groups, the one log(PLR) group, the second group of
    // u- and y-plots (the first is the diagonal).
    int firstGroup = 0;
    int lastGroup = 0;
    switch (Type()) {
        case PlotType::RawMedians:
        case PlotType::RecalibratedMedians:
            lastGroup = 1;
            break;
        case PlotType::LogPlr:
            break;
        case PlotType::RawYPlots:
        case PlotType::MixedYPlots:
        case PlotType::RawUPlots:
        case PlotType::MixedUPlots:
            firstGroup = lastGroup = 1;
            break;
        default:
            return;
    }
    std::vector<SeriesPosition> positions;
    std::vector<LegendEntry> styles;
    auto& groups = m_plot.chart.groups;
    for (int g = firstGroup; g <= lastGroup && g < static_cast<int>(groups.size()); ++g) {
        for (int s = 0; s < static_cast<int>(groups[g].series.size()); ++s) {
            positions.push_back({g, s});
            styles.push_back({QString::fromStdString(groups[g].series[s].label),
                              groups[g].series[s].shown, m_chart->IsHighlighted({g, s})});
        }
    }
    SeriesStylesDialog dialog(this);
    const std::optional<std::vector<LegendEntry>> edited = dialog.EditStyles(std::move(styles));
    if (!edited) return;
    for (size_t i = 0; i < positions.size(); ++i) {
        groups[positions[i].group].series[positions[i].series].shown = (*edited)[i].shown;
        m_chart->SetHighlighted(positions[i], (*edited)[i].highlighted);
    }
    Redraw();
}

void PlotWindow::EditPlotRange() {
    const PlotType type = Type();
    if (type != PlotType::Quartiles && type != PlotType::RawMedians &&
        type != PlotType::RecalibratedMedians) {
        return;
    }
    PlotRangeDialog dialog(this);
    const std::optional<int> minimum =
        dialog.UpdateRange(static_cast<int>(std::lround(m_chart->XMinimum())),
                           m_plot.state.rangeStart, m_plot.state.setSize - 1);
    if (!minimum) return;
    m_plot.chart.xAxis.minimum = *minimum;
    m_chart->SetXMinimum(*minimum);
}

void PlotWindow::ShowFailureData(int mode) {
    ShowFailureDataSeries(m_plot.chart, mode);
    Redraw();
}

void PlotWindow::DrawCumulativeFailuresAs(CumulativeStyle style) {
    if (Type() != PlotType::CumulativeFailures || m_plot.chart.groups.empty()) return;
    ChartGroup& group = m_plot.chart.groups.front();
    group.type = style == CumulativeStyle::Area ? ChartType::Area : ChartType::Line;
    for (ChartSeries& series : group.series) {
        series.style.width = style == CumulativeStyle::BoldLine ? 3 : 1;
    }
    Redraw();
}

void PlotWindow::SetBold(bool bold) {
    ApplyBoldLines(m_plot.chart, Type(), bold);
    Redraw();
}

void PlotWindow::CopyGraph() { CopyChartToClipboard(*m_chart); }

void PlotWindow::SaveGraph(Desktop& desktop) {
    const QString fileName = desktop.AskFileName(this, FileQuestion::SaveGraph);
    if (fileName.isEmpty()) return;
    if (!SaveChartImage(*m_chart, fileName)) {
        ShowMessage("The graph could not be saved to " + fileName.toStdString() +
                    ". Please choose a folder you can write to and a name ending in .png, .svg, "
                    ".pdf or .jpg.");
    }
}

void PlotWindow::PrintGraph() { PrintChart(*m_chart, this); }

}  // namespace tamsel
