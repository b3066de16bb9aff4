#include "tamsel/charts/chart_view.h"

#include <QAreaSeries>
#include <QBrush>
#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace tamsel {

void ChartView::Extent::Add(double value) {
    low = std::min(low, value);
    high = std::max(high, value);
}

namespace {

constexpr int kHighlightExtraWidth = 2;
constexpr double kMarkerSize = 7.0;
constexpr double kHollowMarkerSize = 9.0;
constexpr double kModelMarkerSize = 8.0;
// About this many model markers along a line: enough to tell lines apart, few enough to
// leave the line readable.
constexpr int kModelMarkersPerLine = 10;
constexpr int kLabelPadding = 3;
constexpr double kTargetTicks = 6.0;

QColor ToColor(const Rgb& rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

Qt::PenStyle ToPenStyle(LinePattern pattern) {
    switch (pattern) {
        case LinePattern::Dashed:
            return Qt::DashLine;
        case LinePattern::Dotted:
            return Qt::DotLine;
        case LinePattern::Solid:
            break;
    }
    return Qt::SolidLine;
}

QScatterSeries::MarkerShape ToMarkerShape(MarkerShape shape) {
    switch (shape) {
        case MarkerShape::Square:
            return QScatterSeries::MarkerShapeRectangle;
        case MarkerShape::Diamond:
            return QScatterSeries::MarkerShapeRotatedRectangle;
        case MarkerShape::Triangle:
            return QScatterSeries::MarkerShapeTriangle;
        case MarkerShape::Star:
            return QScatterSeries::MarkerShapeStar;
        case MarkerShape::Pentagon:
            return QScatterSeries::MarkerShapePentagon;
        case MarkerShape::None:
        case MarkerShape::Circle:
            break;
    }
    return QScatterSeries::MarkerShapeCircle;
}

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

// The chart's title, the axis titles and the legend's entries are rich text to Qt Charts: a
// label such as "p<0.001", or a dataset named "A&B", must reach them escaped to show as it is.
QString RichText(const std::string& text) { return ToQString(text).toHtmlEscaped(); }

constexpr std::array<double, 5> kRoundFactors{1.0, 2.0, 2.5, 5.0, 10.0};

// The smallest round step (1, 2, 2.5 or 5 times a power of ten) of at least rough.
double RoundStep(double rough) {
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    double step = magnitude;
    for (double factor : kRoundFactors) {
        step = factor * magnitude;
        if (step >= rough) break;
    }
    return step;
}

// Sets axis to the description's fixed ends, or to rounded ends around the data.
void SetAxisRange(QValueAxis* axis, const ChartAxis& source, ChartView::Extent data) {
    if (data.Empty()) data = ChartView::Extent{0.0, 1.0};
    if (data.low == data.high) {
        data.low -= 0.5;
        data.high += 0.5;
    }
    if (source.minimum && source.maximum) {
        axis->setRange(*source.minimum, *source.maximum);
        // Ends such as a quantile fall anywhere: where the even ticks between them would not
        // be round numbers, the ticks go at round steps instead.
        const double span = *source.maximum - *source.minimum;
        const double even = span / (axis->tickCount() - 1);
        if (span > 0.0 && std::fabs(RoundStep(even) - even) > 1e-9 * even) {
            axis->setTickType(QValueAxis::TicksDynamic);
            axis->setTickAnchor(0.0);
            axis->setTickInterval(RoundStep(span / kTargetTicks));
        }
        return;
    }
    if (!source.minimum && !source.maximum) {
        axis->setRange(data.low, data.high);
        axis->applyNiceNumbers();
        return;
    }
    // One fixed end (medians start at the range start, quartiles stop at their maximum): the
    // other end and the ticks go in round steps, so that the ticks fall on readable numbers.
    const double fixed = source.minimum ? *source.minimum : *source.maximum;
    // Positive data below a fixed maximum are shown from 0.
    const double low = (data.low >= 0.0 && fixed > 0.0) ? 0.0 : data.low;
    const double span = std::max(source.minimum ? data.high - fixed : fixed - low, 1e-9);
    const double step = RoundStep(span / kTargetTicks);
    const int steps = std::max(1, static_cast<int>(std::ceil(span / step - 1e-9)));
    if (source.minimum) {
        axis->setRange(fixed, fixed + steps * step);
        axis->setTickAnchor(fixed);
    } else {
        axis->setRange(low == 0.0 ? 0.0 : fixed - steps * step, fixed);
        axis->setTickAnchor(low == 0.0 ? 0.0 : fixed);
    }
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickInterval(step);
}

}  // namespace

// The chart is given to the base at construction: setChart() would release the view's
// default chart without deleting it.
ChartView::ChartView(QWidget* parent) : QChartView(new QChart(), parent) {
    setRenderHint(QPainter::Antialiasing);
    setMinimumSize(200, 150);
    QChart* drawn = chart();
    connect(drawn, &QChart::plotAreaChanged, this, [this] { PlaceLabels(); });
    connect(drawn->legend(), &QGraphicsWidget::geometryChanged, this, [this] { PlaceLabels(); });
}

void ChartView::SetDescription(const ChartDescription& description) {
    m_description = description;
    Draw();
}

int ChartView::FlatIndex(SeriesPosition position) const {
    int index = 0;
    for (int g = 0; g < static_cast<int>(m_description.groups.size()); ++g) {
        const int count = static_cast<int>(m_description.groups[g].series.size());
        if (g == position.group) {
            return position.series >= 0 && position.series < count ? index + position.series : -1;
        }
        index += count;
    }
    return -1;
}

QAbstractSeries* ChartView::SeriesAt(SeriesPosition position) const {
    if (position.group < 0 || position.group >= static_cast<int>(m_series.size())) return nullptr;
    const auto& group = m_series[position.group];
    if (position.series < 0 || position.series >= static_cast<int>(group.size())) return nullptr;
    return group[position.series];
}

std::vector<QGraphicsSimpleTextItem*> ChartView::TextLabels() const {
    std::vector<QGraphicsSimpleTextItem*> items;
    for (const DrawnLabel& label : m_labels) items.push_back(label.text);
    return items;
}

bool ChartView::IsHighlighted(SeriesPosition position) const {
    const int index = FlatIndex(position);
    return index >= 0 && index < static_cast<int>(m_highlighted.size()) && m_highlighted[index];
}

void ChartView::SetHighlighted(SeriesPosition position, bool highlighted) {
    const int index = FlatIndex(position);
    if (index < 0) return;
    m_highlighted.resize(std::max<size_t>(m_highlighted.size(), index + 1), false);
    if (m_highlighted[index] == highlighted) return;
    m_highlighted[index] = highlighted;
    if (QAbstractSeries* series = SeriesAt(position)) {
        const ChartGroup& group = m_description.groups[position.group];
        StyleSeries(series, group.series[position.series], group.type == ChartType::Area,
                    highlighted);
    }
}

double ChartView::XMinimum() const { return m_axisX ? m_axisX->min() : 0.0; }

void ChartView::SetXMinimum(double minimum) {
    m_description.xAxis.minimum = minimum;
    if (m_axisX) SetAxisRange(m_axisX, m_description.xAxis, m_xData);
    PlaceLabels();
}

void ChartView::StyleSeries(QAbstractSeries* series, const ChartSeries& source, bool area,
                            bool highlighted) const {
    const QColor colour = ToColor(source.style.colour);
    QPen pen(colour);
    pen.setStyle(ToPenStyle(source.style.pattern));
    pen.setWidthF(source.style.width + (highlighted ? kHighlightExtraWidth : 0));
    if (area) {
        auto* areaSeries = static_cast<QAreaSeries*>(series);
        QColor fill = colour;
        fill.setAlpha(highlighted ? 160 : 90);
        areaSeries->setBrush(fill);
        areaSeries->setPen(pen);
        return;
    }
    auto* line = static_cast<QLineSeries*>(series);
    line->setPen(pen);
    line->setPointsVisible(highlighted);
    line->setMarkerSize(kMarkerSize);
}

void ChartView::AddHollowMarkers(const ChartSeries& source, QValueAxis* axisY) {
    if (source.hollowMarkers.empty()) return;
    QChart* drawn = chart();
    auto* markers = new QScatterSeries();
    markers->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    markers->setMarkerSize(kHollowMarkerSize);
    // Filled with the background, so that the line does not run through the ring.
    markers->setBrush(Qt::white);
    QPen ring(ToColor(source.style.colour));
    ring.setWidthF(1.5);
    markers->setPen(ring);
    for (const ChartPoint& point : source.hollowMarkers) markers->append(point.x, point.y);
    drawn->addSeries(markers);
    markers->attachAxis(m_axisX);
    markers->attachAxis(axisY);
    markers->setVisible(source.shown);
    for (QLegendMarker* marker : drawn->legend()->markers(markers)) marker->setVisible(false);
}

void ChartView::AddModelMarkers(const ChartSeries& source, QValueAxis* axisY) {
    const int count = static_cast<int>(source.points.size());
    if (source.style.marker == MarkerShape::None || !source.shown || count == 0) return;
    QChart* drawn = chart();
    auto* markers = new QScatterSeries();
    markers->setMarkerShape(ToMarkerShape(source.style.marker));
    markers->setMarkerSize(kModelMarkerSize);
    markers->setColor(ToColor(source.style.colour));
    markers->setBorderColor(Qt::white);
    // Each model starts at its own eighth of the spacing, so that lines lying on one another
    // still show every model's markers.
    const int step = std::max(1, count / kModelMarkersPerLine);
    for (int i = source.style.markerOrder * step / 8; i < count; i += step) {
        markers->append(source.points[static_cast<std::size_t>(i)].x,
                        source.points[static_cast<std::size_t>(i)].y);
    }
    drawn->addSeries(markers);
    markers->attachAxis(m_axisX);
    markers->attachAxis(axisY);
    for (QLegendMarker* marker : drawn->legend()->markers(markers)) marker->setVisible(false);
}

void ChartView::Draw() {
    QChart* drawn = chart();
    for (DrawnLabel& label : m_labels) {
        delete label.box;
    }
    m_labels.clear();
    drawn->removeAllSeries();
    for (QAbstractAxis* axis : drawn->axes()) {
        drawn->removeAxis(axis);
        delete axis;
    }
    m_series.clear();

    QFont headerFont = drawn->titleFont();
    headerFont.setPointSizeF(12.0);
    headerFont.setBold(true);
    drawn->setTitleFont(headerFont);
    drawn->setTitle(RichText(m_description.header));
    drawn->legend()->setAlignment(Qt::AlignRight);
    drawn->legend()->setShowToolTips(true);
    // A line's marker is a short stretch of it, so that its pattern tells dashed from solid
    // series of the same colour.
    drawn->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);

    m_axisX = new QValueAxis();
    m_axisY = new QValueAxis();
    m_axisY2 = new QValueAxis();
    m_axisX->setTitleText(RichText(m_description.xAxis.title));
    m_axisY->setTitleText(RichText(m_description.yAxis.title));
    m_axisY2->setTitleText(RichText(m_description.y2Axis.title));
    for (QValueAxis* axis : {m_axisX, m_axisY, m_axisY2}) {
        QFont titleFont = axis->titleFont();
        titleFont.setPointSizeF(10.0);
        titleFont.setBold(false);
        axis->setTitleFont(titleFont);
        axis->setLabelFormat(QStringLiteral("%.6g"));
    }
    drawn->addAxis(m_axisX, Qt::AlignBottom);
    drawn->addAxis(m_axisY, Qt::AlignLeft);
    drawn->addAxis(m_axisY2, Qt::AlignRight);
    // The left axis's grid serves both vertical axes.
    m_axisY2->setGridLineVisible(false);

    Extent& xData = m_xData;
    xData = Extent{};
    Extent yData;
    Extent y2Data;
    int flat = 0;
    for (const ChartGroup& group : m_description.groups) {
        std::vector<QAbstractSeries*> drawnGroup;
        const bool onY2 = group.axis == VerticalAxis::Y2;
        for (const ChartSeries& source : group.series) {
            auto* line = new QLineSeries();
            for (const ChartPoint& point : source.points) {
                line->append(point.x, point.y);
                if (!source.shown) continue;
                xData.Add(point.x);
                (onY2 ? y2Data : yData).Add(point.y);
            }
            QAbstractSeries* series = line;
            if (group.type == ChartType::Area) {
                auto* lower = new QLineSeries();
                for (const ChartPoint& point : source.points) lower->append(point.x, 0.0);
                auto* area = new QAreaSeries(line, lower);
                line->setParent(area);
                lower->setParent(area);
                if (source.shown) (onY2 ? y2Data : yData).Add(0.0);
                series = area;
            }
            series->setName(RichText(source.label));
            drawn->addSeries(series);
            series->attachAxis(m_axisX);
            series->attachAxis(onY2 ? m_axisY2 : m_axisY);
            const bool highlighted =
                flat < static_cast<int>(m_highlighted.size()) && m_highlighted[flat];
            StyleSeries(series, source, group.type == ChartType::Area, highlighted);
            series->setVisible(source.shown);
            for (QLegendMarker* marker : drawn->legend()->markers(series)) {
                marker->setVisible(source.shown && !source.label.empty());
            }
            AddHollowMarkers(source, onY2 ? m_axisY2 : m_axisY);
            drawnGroup.push_back(series);
            ++flat;
        }
        m_series.push_back(std::move(drawnGroup));
    }
    m_highlighted.resize(flat, false);
    // Over every line, so that no later line hides a model's markers.
    for (const ChartGroup& group : m_description.groups) {
        for (const ChartSeries& source : group.series) {
            AddModelMarkers(source, group.axis == VerticalAxis::Y2 ? m_axisY2 : m_axisY);
        }
    }

    SetAxisRange(m_axisX, m_description.xAxis, xData);
    SetAxisRange(m_axisY, m_description.yAxis, yData);
    SetAxisRange(m_axisY2, m_description.y2Axis, y2Data);
    m_axisY->setVisible(m_description.yAxis.shown);
    m_axisY2->setVisible(m_description.y2Axis.shown);
    m_axisX->setVisible(m_description.xAxis.shown);

    for (const ChartLabel& source : m_description.labels) {
        DrawnLabel label;
        label.box = new QGraphicsRectItem(drawn);
        label.box->setPen(Qt::NoPen);
        if (source.background) label.box->setBrush(ToColor(*source.background));
        label.box->setZValue(10.0);
        label.text = new QGraphicsSimpleTextItem(ToQString(source.text), label.box);
        label.box->setRect(label.text->boundingRect().adjusted(-kLabelPadding, -kLabelPadding,
                                                               kLabelPadding, kLabelPadding));
        m_labels.push_back(label);
    }
    // The legend lays out its new entries on a posted event, and its geometry need not change
    // with them: lay them out now, so that a label placed below them lands there.
    if (QGraphicsLayout* legendLayout = drawn->legend()->layout()) legendLayout->activate();
    PlaceLabels();
}

void ChartView::PlaceLabels() {
    QChart* drawn = chart();
    QAbstractSeries* anchorSeries = nullptr;
    for (const auto& group : m_series) {
        for (QAbstractSeries* series : group) {
            const bool onY = series->attachedAxes().contains(m_axisY);
            if (onY && !anchorSeries) anchorSeries = series;
        }
    }
    for (size_t i = 0; i < m_labels.size() && i < m_description.labels.size(); ++i) {
        const ChartLabel& source = m_description.labels[i];
        QGraphicsRectItem* box = m_labels[i].box;
        const QSizeF size = m_labels[i].text->boundingRect().size();
        if (source.attachment == LabelAttachment::BelowLegend) {
            // A legend at the side spans the chart's height with its entries centred in it.
            QLegend* legendItem = drawn->legend();
            const QRectF legend = legendItem->geometry();
            double entriesBottom = legend.bottom();
            const QRectF entries = legendItem->mapRectToParent(legendItem->childrenBoundingRect());
            if (entries.isValid() && entries.bottom() < legend.bottom()) {
                entriesBottom = entries.bottom();
            }
            box->setPos(legend.left() + kLabelPadding, entriesBottom + source.legendGap);
            continue;
        }
        if (!anchorSeries) continue;
        const QPointF centre = drawn->mapToPosition(QPointF(source.x, source.y), anchorSeries);
        box->setPos(centre - QPointF(size.width() / 2.0, size.height() / 2.0));
    }
}

void ChartView::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    PlaceLabels();
}

}  // namespace tamsel
