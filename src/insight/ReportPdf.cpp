// SPDX-License-Identifier: GPL-3.0-or-later
// Laying the report out on pages.
#include "insight/ReportPdf.h"

#include "platform/NumberText.h"

#include <QColor>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vandrel {

namespace {

constexpr int kDpi = 300;

double mm(double v) { return v * kDpi / 25.4; }

// Pages filled from the top: what does not fit on this page goes on the next.
class PageFlow {
public:
    PageFlow(QPdfWriter &writer, QPainter &painter, QString footer)
        : writer_(writer), painter_(painter), footer_(std::move(footer))
    {
        page_ = QRectF(QPointF(0, 0), QSizeF(writer.width(), writer.height()));
        y_ = page_.top();
        drawFooter();
    }
    QPainter &painter() { return painter_; }
    double left() const { return page_.left(); }
    double width() const { return page_.width(); }
    double y() const { return y_; }
    void advance(double h) { y_ += h; }
    bool fits(double h) const { return y_ + h <= bottom(); }
    // Room for `h` on this page, or a new page.
    void need(double h)
    {
        if (!fits(h) && y_ > page_.top())
            newPage();
    }
    void newPage()
    {
        writer_.newPage();
        ++number_;
        y_ = page_.top();
        drawFooter();
    }

private:
    double bottom() const { return page_.bottom() - mm(8); }
    void drawFooter()
    {
        painter_.save();
        QFont f(QStringLiteral("Sans"), 7);
        painter_.setFont(f);
        painter_.setPen(Qt::darkGray);
        const QRectF line(page_.left(), page_.bottom() - mm(5), page_.width(), mm(5));
        painter_.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, footer_);
        painter_.drawText(line, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Page %1").arg(number_));
        painter_.restore();
    }

    QPdfWriter &writer_;
    QPainter &painter_;
    QString footer_;
    QRectF page_;
    double y_ = 0;
    int number_ = 1;
};

void drawTitle(PageFlow &flow, const QString &text, int points)
{
    QPainter &p = flow.painter();
    QFont f(QStringLiteral("Sans"), points, QFont::Bold);
    p.setFont(f);
    const double h = QFontMetricsF(f, p.device()).height() * 1.4;
    flow.need(h * 3); // a title is never the last line of a page
    p.setPen(Qt::black);
    p.drawText(QRectF(flow.left(), flow.y(), flow.width(), h), Qt::AlignLeft | Qt::AlignVCenter, text);
    flow.advance(h);
}

// A table across the page: the widths follow the texts, the headings wrap,
// and a table that runs onto another page repeats its headings there.
void drawTable(PageFlow &flow, const TextTable &t, int points = 8)
{
    QPainter &p = flow.painter();
    const QFont body(QStringLiteral("Sans"), points);
    QFont heading = body;
    heading.setBold(true);
    const QFontMetricsF bm(body, p.device()), hm(heading, p.device());
    const auto columns = static_cast<std::size_t>(t.headings.size());
    if (columns == 0)
        return;
    const double pad = mm(1.2);
    std::vector<double> natural(columns, 0.0);
    for (std::size_t c = 0; c < columns; ++c) {
        // A heading may wrap at its spaces: its longest word counts.
        for (const QString &word : t.headings[static_cast<qsizetype>(c)].split(QLatin1Char(' ')))
            natural[c] = std::max(natural[c], hm.horizontalAdvance(word));
        for (const QStringList &r : t.rows)
            natural[c] = std::max(natural[c], bm.horizontalAdvance(r.value(static_cast<qsizetype>(c))));
        // A long text (the limits) wraps rather than widening its column.
        natural[c] = std::min(natural[c], mm(45)) + 2 * pad;
    }
    double total = 0;
    for (const double w : natural)
        total += w;
    std::vector<double> width(columns);
    // Spread the page's width: narrow tables keep their widths, wide ones
    // shrink to fit and their longest texts wrap.
    const double scale = total > flow.width() ? flow.width() / total : std::min(1.6, flow.width() / total);
    for (std::size_t c = 0; c < columns; ++c)
        width[c] = natural[c] * scale;

    const auto rowHeight = [&](const QStringList &cells, const QFontMetricsF &m) {
        double h = m.height();
        for (std::size_t c = 0; c < columns; ++c) {
            const QRectF r = m.boundingRect(QRectF(0, 0, width[c] - 2 * pad, 1e6), Qt::TextWordWrap,
                                            cells.value(static_cast<qsizetype>(c)));
            h = std::max(h, r.height());
        }
        return h + 2 * pad;
    };
    const auto drawRow = [&](const QStringList &cells, bool isHeading) {
        const QFontMetricsF &m = isHeading ? hm : bm;
        const double h = rowHeight(cells, m);
        double x = flow.left();
        p.setFont(isHeading ? heading : body);
        for (std::size_t c = 0; c < columns; ++c) {
            const QRectF cell(x, flow.y(), width[c], h);
            if (isHeading)
                p.fillRect(cell, QColor(0xE4, 0xE4, 0xE4));
            p.setPen(QPen(QColor(0xA0, 0xA0, 0xA0), mm(0.15)));
            p.drawRect(cell);
            p.setPen(Qt::black);
            const int align = (c == 0 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter | Qt::TextWordWrap;
            p.drawText(cell.adjusted(pad, pad, -pad, -pad), align, cells.value(static_cast<qsizetype>(c)));
            x += width[c];
        }
        flow.advance(h);
    };
    flow.need(rowHeight(t.headings, hm) + (t.rows.isEmpty() ? 0 : rowHeight(t.rows.front(), bm)));
    drawRow(t.headings, true);
    for (const QStringList &r : t.rows) {
        const double h = rowHeight(r, bm);
        if (!flow.fits(h)) {
            flow.newPage();
            drawRow(t.headings, true);
        }
        drawRow(r, false);
    }
    flow.advance(mm(4));
}

// A line of small print, wrapped at the page's width.
void drawNote(PageFlow &flow, const QString &text)
{
    QPainter &p = flow.painter();
    const QFont f(QStringLiteral("Sans"), 8, -1, true);
    p.setFont(f);
    const QFontMetricsF m(f, p.device());
    const double h = m.boundingRect(QRectF(0, 0, flow.width(), 1e6), Qt::TextWordWrap, text).height() + m.height() * 0.5;
    flow.need(h);
    p.setPen(Qt::black);
    p.drawText(QRectF(flow.left(), flow.y(), flow.width(), h), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
               text);
    flow.advance(h + mm(1));
}

// A table with its notes under it.
void drawTableAndNotes(PageFlow &flow, const TextTable &t, int points = 8)
{
    drawTable(flow, t, points);
    for (const QString &note : t.notes)
        drawNote(flow, note);
    if (!t.notes.isEmpty())
        flow.advance(mm(2));
}

// One pane of the graph: the channels' curves, min and max of each pixel
// column joined up, broken at empty and overloaded cells and at gaps.
struct Pane {
    std::vector<Channel> channels;
    QString label;
};

void niceRange(double &low, double &high)
{
    if (!(high > low)) {
        low -= 1;
        high += 1;
    }
    const double pad = (high - low) * 0.05;
    low -= pad;
    high += pad;
}

double niceStep(double span, int ticks)
{
    const double raw = span / ticks;
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        if (raw <= m * p)
            return m * p;
    }
    return 10 * p;
}

void drawPane(QPainter &p, const QRectF &plot, const Pane &pane, const Record &r, const StatsOptions &options,
              double t0, double t1, const QLocale &locale)
{
    double low = INFINITY, high = -INFINITY;
    for (const Channel c : pane.channels) {
        for (const double v : r.values[c]) {
            if (std::isfinite(v)) {
                low = std::min(low, v);
                high = std::max(high, v);
            }
        }
        const Limits l = limitsInUnit(options.limits[c], r.unit);
        for (const auto &x : {l.low, l.high}) {
            if (x) {
                low = std::min(low, *x);
                high = std::max(high, *x);
            }
        }
    }
    if (!std::isfinite(low)) {
        low = 0;
        high = 1;
    }
    niceRange(low, high);
    p.fillRect(plot, Qt::black);
    const auto yOf = [&](double v) { return plot.bottom() - (v - low) / (high - low) * plot.height(); };
    const auto xOf = [&](double t) { return plot.left() + (t1 > t0 ? (t - t0) / (t1 - t0) : 0.5) * plot.width(); };

    // Grid and value labels.
    const QFont small(QStringLiteral("Sans"), 6);
    p.setFont(small);
    const double step = niceStep(high - low, 5);
    const int decimals = step < 1 ? 1 : 0;
    for (double v = std::ceil(low / step) * step; v <= high; v += step) {
        const double y = yOf(v);
        p.setPen(QPen(QColor(0x00, 0x80, 0x00), mm(0.1), Qt::DotLine));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(plot.left() - mm(12), y - mm(2), mm(11), mm(4)), Qt::AlignRight | Qt::AlignVCenter,
                   formatFixed(v, decimals, locale));
    }
    p.save();
    p.translate(plot.left() - mm(15), plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-plot.height() / 2, -mm(2.5), plot.height(), mm(5)), Qt::AlignCenter, pane.label);
    p.restore();

    const double usual = usualInterval(r);
    const int columns = std::max(1, static_cast<int>(plot.width() / mm(0.25)));
    p.setClipRect(plot);
    for (const Channel c : pane.channels) {
        const std::vector<double> &v = r.values[c];
        QPainterPath path;
        bool joined = false;
        int column = -1;
        double cmin = 0, cmax = 0, lastT = 0;
        const auto flush = [&] {
            if (column < 0)
                return;
            const double x = plot.left() + (column + 0.5) * plot.width() / columns;
            if (joined)
                path.lineTo(x, yOf(cmin));
            else
                path.moveTo(x, yOf(cmin));
            if (cmax != cmin)
                path.lineTo(x, yOf(cmax));
            joined = true;
        };
        for (std::size_t i = 0; i < v.size() && i < r.seconds.size(); ++i) {
            const double t = r.seconds[i], x = v[i];
            if (!std::isfinite(x) || (i > 0 && usual > 0 && t - lastT > 2 * usual)) {
                flush();
                column = -1;
                joined = false;
                if (!std::isfinite(x))
                    continue;
            }
            lastT = t;
            const int col = std::clamp(static_cast<int>((xOf(t) - plot.left()) / plot.width() * columns), 0,
                                       columns - 1);
            if (col != column) {
                flush();
                column = col;
                cmin = cmax = x;
            } else {
                cmin = std::min(cmin, x);
                cmax = std::max(cmax, x);
            }
        }
        flush();
        p.setPen(QPen(channelColour(c), mm(0.25)));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        const Limits l = limitsInUnit(options.limits[c], r.unit);
        p.setPen(QPen(channelColour(c), mm(0.3), Qt::DashLine));
        for (const auto &limit : {l.low, l.high}) {
            if (limit)
                p.drawLine(QPointF(plot.left(), yOf(*limit)), QPointF(plot.right(), yOf(*limit)));
        }
    }
    p.setClipping(false);
    // The legend, in the curves' colours on the plot.
    double x = plot.left() + mm(2);
    for (const Channel c : pane.channels) {
        const QString name = channelTitle(c, r.unit);
        p.setPen(channelColour(c));
        const double w = QFontMetricsF(small, p.device()).horizontalAdvance(name) + mm(4);
        p.fillRect(QRectF(x - mm(1), plot.top() + mm(0.5), w, mm(4.5)), Qt::black); // over the curves
        p.drawText(QRectF(x, plot.top() + mm(1), w, mm(3.5)), Qt::AlignLeft | Qt::AlignVCenter, name);
        x += w;
    }
    p.setPen(QPen(QColor(0x00, 0x80, 0x00), mm(0.2)));
    p.drawRect(plot);
}

} // namespace

QColor channelColour(Channel channel)
{
    switch (channel) {
    case kHumidity: return QColor(0xFF, 0xFF, 0x00);
    case kT1: return QColor(0xFF, 0x00, 0xFF);
    case kT2: return QColor(0x00, 0xFF, 0xFF);
    case kDewPoint: return QColor(0x40, 0xA0, 0xFF);
    case kChannelCount: break;
    }
    return Qt::white;
}

void drawRecordGraph(QPainter &p, const QRectF &area, const Record &r, const StatsOptions &options,
                     const QLocale &locale)
{
    std::vector<Pane> panes;
    if (r.has(kHumidity))
        panes.push_back({{kHumidity}, QStringLiteral("Humidity (%RH)")});
    Pane temps;
    for (const Channel c : {kT1, kT2, kDewPoint}) {
        if (r.has(c))
            temps.channels.push_back(c);
    }
    temps.label = r.unit == 'F' ? QStringLiteral("Temperature (°F)") : QStringLiteral("Temperature (°C)");
    if (!temps.channels.empty())
        panes.push_back(temps);
    if (panes.empty() || r.seconds.empty())
        return;
    const double t0 = r.seconds.front(), t1 = r.seconds.back();
    const QRectF plots = area.adjusted(mm(17), 0, -mm(2), -mm(9));
    const double gap = mm(3);
    const double h = (plots.height() - gap * static_cast<double>(panes.size() - 1)) / static_cast<double>(panes.size());
    for (std::size_t i = 0; i < panes.size(); ++i) {
        const QRectF plot(plots.left(), plots.top() + static_cast<double>(i) * (h + gap), plots.width(), h);
        drawPane(p, plot, panes[i], r, options, t0, t1, locale);
    }
    // The time axis under the last pane.
    p.setPen(Qt::black);
    p.setFont(QFont(QStringLiteral("Sans"), 6));
    const int ticks = 4;
    for (int k = 0; k <= ticks; ++k) {
        const double t = t0 + (t1 - t0) * k / ticks;
        const double x = plots.left() + plots.width() * k / ticks;
        // The date over the time.
        QString text = recordTimeText(t, locale);
        const qsizetype space = text.lastIndexOf(QLatin1Char(' '));
        if (space > 0)
            text[space] = QLatin1Char('\n');
        const int align = (k == 0 ? Qt::AlignLeft : k == ticks ? Qt::AlignRight : Qt::AlignHCenter) | Qt::AlignTop;
        const double w = mm(30);
        const double left = k == 0 ? x : k == ticks ? x - w : x - w / 2;
        p.drawText(QRectF(left, plots.bottom() + mm(1), w, mm(8)), align, text);
    }
}

bool writeReportPdf(const QString &path, const ReportInput &input, const ReportTables &tables, ReportPaper paper,
                    QString &error, const DiskCalls &calls)
{
    SafeSaveFile file(path, calls);
    if (!file.open(QIODevice::WriteOnly)) {
        error = reportWriteError(path, file.errorString());
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setResolution(kDpi);
        writer.setTitle(QStringLiteral("Record report: ") + input.header.source);
        writer.setCreator(QStringLiteral("Vandrel"));
        writer.setPageLayout(QPageLayout(QPageSize(paper == ReportPaper::Letter ? QPageSize::Letter : QPageSize::A4),
                                         QPageLayout::Portrait, QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        QPainter painter;
        if (!painter.begin(&writer)) {
            error = reportWriteError(path, QStringLiteral("The PDF could not be started."));
            return false;
        }
        PageFlow flow(writer, painter, input.header.source);
        drawTitle(flow, QStringLiteral("Record report"), 14);
        drawTableAndNotes(flow, tables.header);
        drawTitle(flow, tables.statistics.title, 11);
        drawTableAndNotes(flow, tables.statistics, 7);
        if (!tables.derived.rows.isEmpty()) {
            drawTitle(flow, tables.derived.title, 11);
            drawTableAndNotes(flow, tables.derived);
        }
        if (!tables.gaps.rows.isEmpty()) {
            drawTitle(flow, tables.gaps.title, 11);
            drawTableAndNotes(flow, tables.gaps);
        }
        const double graphHeight = mm(95);
        flow.need(graphHeight + mm(12)); // the title goes with the graph
        drawTitle(flow, QStringLiteral("Graph"), 11);
        drawRecordGraph(painter, QRectF(flow.left(), flow.y(), flow.width(), graphHeight), input.record, input.options);
        flow.advance(graphHeight + mm(4));
        if (tables.showDaily) {
            drawTitle(flow, tables.daily.title, 11);
            drawTableAndNotes(flow, tables.daily, 7);
        }
        drawTitle(flow, tables.crossings.title, 11);
        if (tables.crossings.rows.isEmpty())
            drawNote(flow, QStringLiteral("No limit was crossed."));
        else
            drawTableAndNotes(flow, tables.crossings);
        if (!painter.end()) {
            error = reportWriteError(path, file.errorString().isEmpty() ? QStringLiteral("The PDF could not be finished.")
                                                                        : file.errorString());
            return false;
        }
    }
    if (!file.commit()) {
        error = reportWriteError(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace vandrel
