// Draws a ChartDescription with Qt Charts. The view computes nothing about the plot: every
// number and text comes from the description; it only maps groups to series, keeps the text
// labels at their anchors when the chart is resized, and emphasises highlighted series.
#pragma once

#include <QChartView>
#include <limits>
#include <vector>

#include "tamsel/measures/chart_description.h"

class QAbstractSeries;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QValueAxis;

namespace tamsel {

// A series of the description as the legend lists it: its group and its index in the group.
struct SeriesPosition {
    int group = 0;
    int series = 0;
};

class ChartView : public QChartView {
    Q_OBJECT

  public:
    // The span of the values drawn against an axis.
    struct Extent {
        double low = std::numeric_limits<double>::infinity();
        double high = -std::numeric_limits<double>::infinity();
        void Add(double value);
        bool Empty() const { return low > high; }
    };

    explicit ChartView(QWidget* parent = nullptr);

    // Draws description anew; the highlights are kept for series that still exist.
    void SetDescription(const ChartDescription& description);
    const ChartDescription& Description() const { return m_description; }

    // The Qt series drawn for the description's series (null for one that is not drawn).
    QAbstractSeries* SeriesAt(SeriesPosition position) const;
    QValueAxis* AxisX() const { return m_axisX; }
    QValueAxis* AxisY() const { return m_axisY; }
    QValueAxis* AxisY2() const { return m_axisY2; }
    // The drawn text labels, in the description's order.
    std::vector<QGraphicsSimpleTextItem*> TextLabels() const;

    // Highlighted series are drawn with a wider line and visible symbols.
    void SetHighlighted(SeriesPosition position, bool highlighted);
    bool IsHighlighted(SeriesPosition position) const;

    // The x axis minimum as drawn; moving it leaves the data as they are.
    double XMinimum() const;
    void SetXMinimum(double minimum);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    struct DrawnLabel {
        QGraphicsRectItem* box = nullptr;
        QGraphicsSimpleTextItem* text = nullptr;
    };

    void Draw();
    // Rings over the points of source that its description marks hollow, off the legend.
    void AddHollowMarkers(const ChartSeries& source, QValueAxis* axisY);
    // The model markers along source, off the legend.
    void AddModelMarkers(const ChartSeries& source, QValueAxis* axisY);
    void PlaceLabels();
    void StyleSeries(QAbstractSeries* series, const ChartSeries& source, bool area,
                     bool highlighted) const;
    int FlatIndex(SeriesPosition position) const;

    ChartDescription m_description;
    Extent m_xData;
    std::vector<std::vector<QAbstractSeries*>> m_series;  // [group][series]
    std::vector<bool> m_highlighted;                      // by legend order
    std::vector<DrawnLabel> m_labels;
    QValueAxis* m_axisX = nullptr;
    QValueAxis* m_axisY = nullptr;
    QValueAxis* m_axisY2 = nullptr;
};

}  // namespace tamsel
