#include "tamsel/charts/chart_export.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSvgGenerator>

#include "tamsel/charts/chart_view.h"

namespace tamsel {

namespace {

constexpr int kJpegQuality = 100;

// Draws the view at size, restoring its own size afterwards.
template <typename Paint>
void RenderAtSize(ChartView& view, QSize size, Paint paint) {
    const QSize original = view.size();
    if (!size.isEmpty() && size != original) {
        view.resize(size);
        // The legend and the axes are laid out by posted events.
        QCoreApplication::sendPostedEvents();
    }
    paint(view.size());
    if (view.size() != original) {
        view.resize(original);
        QCoreApplication::sendPostedEvents();
    }
}

}  // namespace

bool SaveChartImage(ChartView& view, const QString& fileName, QSize size) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    bool saved = false;
    if (suffix == QStringLiteral("jpg") || suffix == QStringLiteral("jpeg") ||
        suffix == QStringLiteral("png")) {
        RenderAtSize(view, size, [&](QSize drawnSize) {
            QImage image(drawnSize, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            view.render(&painter);
            painter.end();
            const bool jpeg = suffix != QStringLiteral("png");
            saved = image.save(fileName, jpeg ? "JPEG" : "PNG", jpeg ? kJpegQuality : -1);
        });
    } else if (suffix == QStringLiteral("svg")) {
        RenderAtSize(view, size, [&](QSize drawnSize) {
            QSvgGenerator generator;
            generator.setFileName(fileName);
            generator.setSize(drawnSize);
            generator.setViewBox(QRect(QPoint(0, 0), drawnSize));
            generator.setTitle(QString::fromStdString(view.Description().header));
            QPainter painter;
            saved = painter.begin(&generator);
            if (saved) view.render(&painter);
        });
        saved = saved && QFileInfo(fileName).size() > 0;
    } else if (suffix == QStringLiteral("pdf")) {
        RenderAtSize(view, size, [&](QSize drawnSize) {
            QPdfWriter writer(fileName);
            writer.setPageSize(QPageSize(QSizeF(drawnSize), QPageSize::Point));
            writer.setPageMargins(QMarginsF(0, 0, 0, 0));
            writer.setResolution(72);
            QPainter painter;
            saved = painter.begin(&writer);
            if (saved) view.render(&painter);
        });
        saved = saved && QFileInfo(fileName).size() > 0;
    }
    return saved;
}

void CopyChartToClipboard(ChartView& view) { QApplication::clipboard()->setPixmap(view.grab()); }

bool PrintChart(ChartView& view, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    QPainter painter(&printer);
    view.render(&painter, printer.pageLayout().paintRectPixels(printer.resolution()));
    return true;
}

}  // namespace tamsel
