#include <QChart>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QtTest>
#include <set>

#include "tamsel/charts/chart_view.h"
#include "tamsel/measures/model_styles.h"

using namespace tamsel;

class ChartViewTest : public QObject {
    Q_OBJECT

  private slots:
    // Two models whose curves lie exactly on one another (MO under LNHPP) both stay visible:
    // their markers differ in shape and fall at different points, above every line.
    void CoincidentModelsKeepTheirOwnMarkers() {
        ChartSeries line;
        for (int i = 0; i < 40; ++i) line.points.push_back({double(i), 0.5 * i});
        ChartDescription description;
        description.styleSet = kLogPlrStyles;
        description.groups.resize(1);
        for (const char* model : {"MO", "LNHPP", "JM"}) {
            line.model = model;
            line.label = model;
            description.groups[0].series.push_back(line);
        }
        description.groups[0].series[2].shown = false;
        SetSeriesStyles(description);
        ChartView view;
        view.SetDescription(description);

        const QList<QAbstractSeries*> drawn = view.chart()->series();
        int lastLine = -1;
        std::vector<QScatterSeries*> markers;
        for (int i = 0; i < drawn.size(); ++i) {
            if (auto* scatter = qobject_cast<QScatterSeries*>(drawn[i])) {
                markers.push_back(scatter);
                QVERIFY(i > lastLine);
                for (QLegendMarker* entry : view.chart()->legend()->markers(scatter)) {
                    QVERIFY(!entry->isVisible());
                }
            } else {
                lastLine = i;
            }
        }
        QCOMPARE(markers.size(), size_t(2));  // none for the hidden series
        QCOMPARE(markers[0]->markerShape(), QScatterSeries::MarkerShapeTriangle);
        QCOMPARE(markers[1]->markerShape(), QScatterSeries::MarkerShapePentagon);
        QCOMPARE(markers[0]->color(), QColor(0, 158, 115));
        std::set<qreal> moAt;
        for (const QPointF& point : markers[0]->points()) moAt.insert(point.x());
        QVERIFY(markers[0]->count() >= 8 && markers[1]->count() >= 8);
        for (const QPointF& point : markers[1]->points()) QVERIFY(!moAt.count(point.x()));
    }
};

QTEST_MAIN(ChartViewTest)
#include "chart_view_test.moc"
