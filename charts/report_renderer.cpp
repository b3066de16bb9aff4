#include "tamsel/charts/report_renderer.h"

#include <QApplication>
#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QTextDocument>

#include <memory>
#include <vector>

#include "tamsel/charts/chart_view.h"

namespace tamsel {

namespace {

// The size charts are laid out at; both formats scale them to the text width.
constexpr QSize kChartSize(800, 470);
// The share of the PDF's text width a chart takes, so that two fit on a page.
constexpr double kPdfChartWidth = 0.86;

QString Escaped(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

// Draws each chart with a view laid out at kChartSize.
template <typename Paint>
void WithChartView(const ChartDescription& chart, Paint paint) {
    ChartView view;
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.resize(kChartSize);
    view.SetDescription(chart);
    // The legend and the axes are laid out once shown and the posted events have run.
    view.show();
    QApplication::processEvents();
    paint(view);
}

QString InlineSvg(const ReportChart& chart, int number) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WithChartView(chart.chart, [&](ChartView& view) {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(kChartSize);
        generator.setViewBox(QRect(QPoint(0, 0), kChartSize));
        generator.setTitle(QString::fromStdString(chart.caption));
        generator.setDescription(QString::fromStdString(chart.description));
        QPainter painter(&generator);
        view.render(&painter);
    });
    QString svg = QString::fromUtf8(buffer.data());
    svg = svg.mid(svg.indexOf(QStringLiteral("<svg")));
    // Ids must stay unique when several drawings share one page.
    svg.replace(QStringLiteral("<svg"), QStringLiteral("<svg role=\"img\" aria-labelledby=\"c%1t "
                                                       "c%1d\"")
                                            .arg(number));
    svg.replace(QStringLiteral("id=\"gradient"), QStringLiteral("id=\"c%1gradient").arg(number));
    svg.replace(QStringLiteral("url(#gradient"), QStringLiteral("url(#c%1gradient").arg(number));
    svg.replace(QStringLiteral("<title>"), QStringLiteral("<title id=\"c%1t\">").arg(number));
    svg.replace(QStringLiteral("<desc>"), QStringLiteral("<desc id=\"c%1d\">").arg(number));
    return svg;
}

// A column of mostly numbers is right-aligned throughout, its words included.
std::vector<bool> NumericColumns(const ReportTable& table) {
    std::vector<bool> numeric(table.headings.size());
    for (std::size_t c = 0; c < numeric.size(); ++c) {
        std::size_t count = 0;
        for (const auto& row : table.rows) count += row[c].numeric ? 1 : 0;
        numeric[c] = 2 * count > table.rows.size();
    }
    return numeric;
}

// The table as HTML; the caption above it.
QString TableHtml(const ReportTable& table, const QString& tableAttributes) {
    const std::vector<bool> numeric = NumericColumns(table);
    const auto align = [&numeric](std::size_t c) {
        return numeric[c] ? QStringLiteral(" class=\"num\" align=\"right\"")
                          : QStringLiteral(" align=\"left\"");
    };
    QString html = QStringLiteral("<table%1><caption>%2</caption><thead><tr>")
                       .arg(tableAttributes, Escaped(table.caption));
    for (std::size_t c = 0; c < table.headings.size(); ++c) {
        html +=
            QStringLiteral("<th scope=\"col\"%1>%2</th>").arg(align(c), Escaped(table.headings[c]));
    }
    html += QStringLiteral("</tr></thead><tbody>");
    for (const auto& row : table.rows) {
        html += QStringLiteral("<tr>");
        for (std::size_t c = 0; c < row.size(); ++c) {
            // Words and short phrases are never broken; sentences wrap.
            const bool word =
                row[c].text.size() <= 24 || row[c].text.find(' ') == std::string::npos;
            html += QStringLiteral("<td%1>%2</td>")
                        .arg(numeric[c] ? align(c)
                             : word     ? QStringLiteral(" class=\"word\"")
                                        : QString(),
                             Escaped(row[c].text));
        }
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</tbody></table>");
}

QString TextHtml(const ReportText& text, bool lead) {
    if (text.note) {
        return QStringLiteral("<p class=\"note\" role=\"note\"><b>Note:</b> %1</p>")
            .arg(Escaped(text.text));
    }
    return QStringLiteral("<p%1>%2</p>")
        .arg(lead ? QStringLiteral(" class=\"lead\"") : QString(), Escaped(text.text));
}

QString HeaderHtml(const Report& report) {
    QString html = QStringLiteral("<h1>%1</h1><table class=\"facts\">").arg(Escaped(report.title));
    for (const auto& [label, value] : report.facts) {
        html += QStringLiteral("<tr><th scope=\"row\">%1</th><td>%2</td></tr>")
                    .arg(Escaped(label), Escaped(value));
    }
    return html + QStringLiteral("</table>");
}

constexpr const char* kStyle = R"(
:root { --ink: #1d2733; --muted: #5b6673; --rule: #d5dbe2; --accent: #1f4e79; }
* { box-sizing: border-box; }
body { margin: 0; background: #f4f6f8; color: var(--ink);
  font: 15px/1.5 "DejaVu Sans", "Liberation Sans", Arial, sans-serif; }
main { max-width: 1000px; margin: 0 auto; padding: 40px 48px; background: #fff; }
h1 { font-size: 30px; line-height: 1.2; margin: 0 0 12px; color: var(--accent); }
h2 { font-size: 21px; margin: 0 0 8px; padding-top: 10px; color: var(--accent);
  border-top: 3px solid var(--accent); }
section { margin-top: 36px; }
p { margin: 6px 0 12px; }
p.lead { color: var(--muted); }
p.note { border-left: 4px solid #c77c02; background: #fff7e6; padding: 6px 10px; }
table { border-collapse: collapse; margin: 12px 0 20px; font-size: 13px;
  font-variant-numeric: tabular-nums; }
caption { caption-side: top; text-align: left; font-weight: bold; padding-bottom: 4px; }
th, td { padding: 4px 10px; border-bottom: 1px solid var(--rule); text-align: left;
  vertical-align: top; }
th { white-space: nowrap; }
thead th { border-bottom: 2px solid var(--ink); background: #eef2f6; }
.num { text-align: right; white-space: nowrap; }
table.facts th { font-weight: normal; color: var(--muted); padding-left: 0; }
table.facts td, table.facts th { border: none; padding-top: 1px; padding-bottom: 1px; }
figure { margin: 16px 0 24px; }
figure svg { display: block; width: 100%; height: auto; border: 1px solid var(--rule); }
figcaption { font-size: 13px; color: var(--muted); margin-top: 4px; }
#provenance td { word-break: break-all; font-family: "DejaVu Sans Mono", monospace; }
.end-mark { height: 6px; margin-top: 28px; background: rgb(0, 128, 96); }
@page { size: A4; margin: 16mm 14mm; }
@media print {
  body { background: #fff; font-size: 10pt; }
  main { max-width: none; padding: 0; }
  section { break-before: page; margin-top: 0; }
  section#summary, section#data, section#trend { break-before: auto; margin-top: 24px; }
  figure, table { break-inside: avoid; }
  h2 { break-after: avoid; }
}
)";

// The first sections run on from the title; every later one starts a page.
bool FlowsOn(const ReportSection& section) {
    return section.id == "summary" || section.id == "data" || section.id == "trend";
}

bool WriteHtml(const Report& report, const QString& fileName) {
    QString html = QStringLiteral(
                       "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width\">"
                       "<title>%1</title><style>%2</style></head><body><main>")
                       .arg(Escaped(report.title), QString::fromUtf8(kStyle));
    html += HeaderHtml(report);
    int figure = 0;
    for (const ReportSection& section : report.sections) {
        html += QStringLiteral("<section id=\"%1\"><h2>%2</h2>")
                    .arg(Escaped(section.id), Escaped(section.title));
        for (std::size_t b = 0; b < section.blocks.size(); ++b) {
            const ReportBlock& block = section.blocks[b];
            if (const auto* text = std::get_if<ReportText>(&block)) {
                html += TextHtml(*text, b == 0);
            } else if (const auto* table = std::get_if<ReportTable>(&block)) {
                html += TableHtml(*table, {});
            } else if (const auto* chart = std::get_if<ReportChart>(&block)) {
                ++figure;
                html += QStringLiteral("<figure>%1<figcaption>Figure %2. %3</figcaption></figure>")
                            .arg(InlineSvg(*chart, figure), QString::number(figure),
                                 Escaped(chart->caption));
            }
        }
        html += QStringLiteral("</section>\n");
    }
    html += QStringLiteral(
        "<div class=\"end-mark\" role=\"presentation\"></div>"
        "</main></body></html>\n");
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray bytes = html.toUtf8();
    return file.write(bytes) == bytes.size() && file.flush();
}

// The PDF: text blocks as rich-text documents, charts painted as vectors, laid out on A4
// pages from the top, each section from a new page except the summary.
constexpr const char* kPdfStyle = R"(
body { color: #1d2733; }
h1 { font-size: 20pt; color: #1f4e79; }
h2 { font-size: 15pt; color: #1f4e79; }
p.lead { color: #5b6673; }
p.note { background-color: #fff7e6; }
caption { font-weight: bold; }
th { background-color: #eef2f6; font-weight: bold; }
table { font-size: 7pt; }
th { white-space: nowrap; }
td, th { padding: 2px 4px; }
.num, .word { white-space: nowrap; }
table.facts th { background-color: #ffffff; font-weight: normal; color: #5b6673; }
)";

double ChartHeight(double textWidth) {
    return kPdfChartWidth * textWidth * kChartSize.height() / kChartSize.width();
}

struct PdfItem {
    int page = 0;
    double y = 0.0;
    double height = 0.0;
    std::shared_ptr<QTextDocument> text;  // or
    const ReportChart* chart = nullptr;
    QString caption;  // the chart's
};

class PdfLayout {
  public:
    PdfLayout(double width, double height, const QFont& font)
        : m_width(width), m_height(height), m_font(font) {}

    void NewPage() {
        if (m_y > 0.0) {
            ++m_page;
            m_y = 0.0;
        }
    }

    void AddHtml(const QString& html) {
        auto document = std::make_shared<QTextDocument>();
        document->setDefaultFont(m_font);
        document->setDefaultStyleSheet(QString::fromUtf8(kPdfStyle));
        document->setHtml(html);
        document->setTextWidth(m_width);
        Place({0, 0.0, document->size().height(), document, nullptr, {}});
    }

    void AddChart(const ReportChart& chart, int number) {
        const QString caption = QStringLiteral("<p class=\"lead\">Figure %1. %2</p>")
                                    .arg(number)
                                    .arg(Escaped(chart.caption));
        const double height = ChartHeight(m_width) + 4.0 * m_font.pointSizeF();
        Place({0, 0.0, height, nullptr, &chart, caption});
    }

    // A table longer than a page goes on in parts, each with its headings.
    void AddTable(const ReportTable& table) {
        // Wide tables take the text width, so that their sentences can wrap.
        const QString html = TableHtml(
            table, table.headings.size() > 4 ? QStringLiteral(" width=\"100%\" cellspacing=\"0\"")
                                             : QStringLiteral(" cellspacing=\"0\""));
        QTextDocument probe;
        probe.setDefaultFont(m_font);
        probe.setHtml(html);
        probe.setTextWidth(m_width);
        if (probe.size().height() <= m_height || table.rows.size() < 2) {
            AddHtml(html);
            return;
        }
        const std::size_t half = table.rows.size() / 2;
        ReportTable first{
            table.caption, table.headings, {table.rows.begin(), table.rows.begin() + half}};
        ReportTable second{table.caption + " (continued)",
                           table.headings,
                           {table.rows.begin() + half, table.rows.end()}};
        AddTable(first);
        AddTable(second);
    }

    const std::vector<PdfItem>& Items() const { return m_items; }
    int Pages() const { return m_page + 1; }

  private:
    void Place(PdfItem item) {
        if (m_y > 0.0 && m_y + item.height > m_height) NewPage();
        item.page = m_page;
        item.y = m_y;
        m_y += item.height;
        m_items.push_back(std::move(item));
    }

    double m_width;
    double m_height;
    QFont m_font;
    int m_page = 0;
    double m_y = 0.0;
    std::vector<PdfItem> m_items;
};

std::optional<int> WritePdf(const Report& report, const QString& fileName) {
    QPdfWriter writer(fileName);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 15, 15, 20), QPageLayout::Millimeter);
    writer.setResolution(96);
    writer.setTitle(QString::fromStdString(report.title));
    writer.setCreator(QString::fromStdString(report.facts.back().second));
    QPainter painter;
    if (!painter.begin(&writer)) return std::nullopt;
    const QRectF area = writer.pageLayout().paintRectPixels(writer.resolution());
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(9.0);
    const double footer = 24.0;
    PdfLayout layout(area.width(), area.height() - footer, font);
    layout.AddHtml(HeaderHtml(report));
    int figure = 0;
    for (const ReportSection& section : report.sections) {
        if (!FlowsOn(section)) layout.NewPage();
        layout.AddHtml(QStringLiteral("<h2>%1</h2>").arg(Escaped(section.title)));
        for (std::size_t b = 0; b < section.blocks.size(); ++b) {
            const ReportBlock& block = section.blocks[b];
            if (const auto* text = std::get_if<ReportText>(&block)) {
                layout.AddHtml(TextHtml(*text, b == 0));
            } else if (const auto* table = std::get_if<ReportTable>(&block)) {
                layout.AddTable(*table);
            } else if (const auto* chart = std::get_if<ReportChart>(&block)) {
                layout.AddChart(*chart, ++figure);
            }
        }
    }
    const int pages = layout.Pages();
    int page = 0;
    const auto drawFooter = [&] {
        painter.setFont(font);
        painter.setPen(QColor(0x5b, 0x66, 0x73));
        painter.drawText(QRectF(0, area.height() - footer + 8, area.width(), footer - 8),
                         Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("%1 · page %2 of %3")
                             .arg(QString::fromStdString(report.title))
                             .arg(page + 1)
                             .arg(pages));
    };
    for (const PdfItem& item : layout.Items()) {
        while (item.page > page) {
            drawFooter();
            writer.newPage();
            ++page;
        }
        painter.save();
        painter.translate(0, item.y);
        if (item.text) {
            item.text->drawContents(&painter);
        } else {
            const double chartHeight = ChartHeight(area.width());
            const double chartWidth = kPdfChartWidth * area.width();
            WithChartView(item.chart->chart, [&](ChartView& view) {
                view.render(&painter,
                            QRectF((area.width() - chartWidth) / 2, 0, chartWidth, chartHeight));
            });
            QTextDocument caption;
            caption.setDefaultFont(font);
            caption.setDefaultStyleSheet(QString::fromUtf8(kPdfStyle));
            caption.setHtml(item.caption);
            caption.setTextWidth(area.width());
            painter.translate(0, chartHeight);
            caption.drawContents(&painter);
        }
        painter.restore();
    }
    drawFooter();
    return painter.end() ? std::optional<int>(pages) : std::nullopt;
}

}  // namespace

std::string Sha256Hex(std::string_view text) {
    return QCryptographicHash::hash(
               QByteArrayView(text.data(), static_cast<qsizetype>(text.size())),
               QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

std::optional<int> WriteReport(const Report& report, const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QStringLiteral("html")) {
        return WriteHtml(report, fileName) ? std::optional<int>(1) : std::nullopt;
    }
    if (suffix == QStringLiteral("pdf")) return WritePdf(report, fileName);
    return std::nullopt;
}

}  // namespace tamsel
