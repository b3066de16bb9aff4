// The plot window: one chart of a plot kind with the command panel that suits it (add a
// further set, change the log(PLR) reference, edit the range or the series styles, choose
// the failure data shown, bold lines). The window keeps the builder's Plot: its chart
// description and the state the commands read back.
#pragma once

#include <QString>
#include <string>

#include "shell/child_window.h"
#include "tamsel/measures/plots.h"

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

class PlotWindow : public ChildWindow {
    Q_OBJECT

  public:
    // db must outlive the window.
    explicit PlotWindow(Database& db, QWidget* parent = nullptr);

    Kind WindowKind() const override { return Kind::Plot; }
    QString DataSetName() const override { return QString::fromStdString(GetDataSet()); }

    void LetDataSet(const std::string& name) { m_plot.state.dataSet = name; }
    void LetEstimatesSetID(int id) { m_plot.state.estimatesSetId = id; }
    void LetReferenceSetID(int id) { m_plot.state.referenceSetId = id; }
    void LetRangeStart(int start) { m_plot.state.rangeStart = start; }
    void LetRangeLag(int lag) { m_plot.state.rangeLag = lag; }
    void LetSetSize(int size) { m_plot.state.setSize = size; }
    void LetRefRecFlag(bool recalibrated) { m_plot.state.refRecFlag = recalibrated; }
    void LetPlotType(PlotType type) { m_plot.state.plotType = type; }
    const std::string& GetDataSet() const { return m_plot.state.dataSet; }
    int GetEstimatesSetID() const { return m_plot.state.estimatesSetId; }
    int GetReferenceSetID() const { return m_plot.state.referenceSetId; }
    int GetRangeStart() const { return m_plot.state.rangeStart; }
    int GetRangeLag() const { return m_plot.state.rangeLag; }
    int GetSetSize() const { return m_plot.state.setSize; }
    bool GetRefRecFlag() const { return m_plot.state.refRecFlag; }
    PlotType GetPlotType() const { return m_plot.state.plotType; }

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
    void ShowFailureData(int mode);
    void DrawCumulativeFailuresAs(int choice);  // 0 area, 1 line, 2 bold line
    void SetBold(bool bold);

    // The File menu's chart commands. SaveGraph asks desktop for the file name; the image
    // format follows its suffix (JPEG at quality 100 for .jpg). Cancel saves nothing.
    void CopyGraph();
    void SaveGraph(Desktop& desktop);
    void PrintGraph();

  private:
    void Redraw();

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
