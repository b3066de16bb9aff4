// The plot window: one chart of a plot kind with the command panel that suits it (add a
// further set, change the log(PLR) reference, edit the range or the series styles, choose
// the failure data shown, bold lines). The window keeps the builder's Plot: its chart
// description and the state the commands read back.
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "shell/child_window.h"
#include "tamsel/workbench/plots.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace tamsel {

class ChartView;
class Database;
class Desktop;

// The cumulative-failures drawing options, in the panel's order.
enum class CumulativeStyle { Area, Line, BoldLine };

class PlotWindow : public ChildWindow {
    Q_OBJECT

  public:
    // db must outlive the window.
    explicit PlotWindow(Database& db, QWidget* parent = nullptr);

    Kind WindowKind() const override { return Kind::Plot; }
    QString DataSetName() const override { return QString::fromStdString(m_plot.state.dataSet); }
    std::vector<PredictionSetRef> ShownSets() const override { return m_plot.state.sets; }
    PlotType Type() const { return m_plot.state.plotType; }

    // Shows the command panel's controls for plotType and hides the others.
    void PrepareControls(PlotType plotType);
    // Takes over a builder's plot: caption, chart and state.
    void ShowPlot(Plot plot);

    ChartView* Chart() const { return m_chart; }
    const Plot& CurrentPlot() const { return m_plot; }

    // The command panel's commands; each asks what it needs through the selection dialogs.
    void AddRawPlot();
    void AddRecalibratedPlot();
    void ChangeNextReference();
    void EditPlotStyles();
    void EditPlotRange();
    // mode as the failure data options number them: interfailure times, cumulative, both.
    void ShowFailureData(int mode);
    void DrawCumulativeFailuresAs(CumulativeStyle style);
    void SetBold(bool bold);

    // The File menu's chart commands. SaveGraph asks desktop for the file name; the format
    // follows its suffix (PNG, SVG, PDF, or JPEG at quality 100). Cancel saves nothing.
    void CopyGraph();
    void SaveGraph(Desktop& desktop);
    void PrintGraph();

  private:
    void Redraw();
    // Adds the chosen sets to the comparison, redrawing once.
    void AddSets(const std::vector<int>& keys, bool recalibrated);

    Database& m_db;
    Plot m_plot;
    ChartView* m_chart;
    QFrame* m_panel;
    QPushButton* m_addPlot;
    QPushButton* m_addRecalibrated;
    QPushButton* m_changeReference;
    QPushButton* m_range;
    QPushButton* m_edit;
    QGroupBox* m_failureData;
    QGroupBox* m_cumulative;
    QGroupBox* m_boldFrame;
    QCheckBox* m_bold;
};

}  // namespace tamsel
