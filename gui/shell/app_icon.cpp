#include "shell/app_icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace tamsel {

QPixmap TamselPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = size;

    QLinearGradient background(0, 0, 0, s);
    background.setColorAt(0.0, QColor(0x2b, 0x6c, 0xb0));
    background.setColorAt(1.0, QColor(0x17, 0x3f, 0x6e));
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.18, s * 0.18);

    // Cumulative failures against time: steep at first, flattening as reliability grows.
    const QRectF plot(s * 0.16, s * 0.18, s * 0.70, s * 0.62);
    auto point = [&](double x) {
        const double y = (1 - std::exp(-3.2 * x)) / (1 - std::exp(-3.2));
        return QPointF(plot.left() + x * plot.width(), plot.bottom() - y * plot.height());
    };
    painter.setPen(QPen(QColor(255, 255, 255, 110), std::max(1.0, s / 40)));
    painter.drawLine(QPointF(plot.left(), plot.top()), QPointF(plot.left(), plot.bottom()));
    painter.drawLine(QPointF(plot.left(), plot.bottom()), QPointF(plot.right(), plot.bottom()));

    QPainterPath curve(point(0));
    for (int i = 1; i <= 40; ++i) curve.lineTo(point(i / 40.0));
    painter.setPen(QPen(QColor(0xff, 0xd1, 0x66), std::max(1.5, s / 16), Qt::SolidLine,
                        Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(curve);

    if (size >= 32) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        for (double x : {0.08, 0.2, 0.38, 0.62, 0.9}) {
            painter.drawEllipse(point(x), s / 22, s / 22);
        }
    }
    return pixmap;
}

QIcon TamselIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(TamselPixmap(size));
    return icon;
}

}  // namespace tamsel
