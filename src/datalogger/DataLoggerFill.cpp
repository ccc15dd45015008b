// SPDX-License-Identifier: GPL-3.0-or-later
// Filling the data-logger window's list, table, graph and extremes from the
// decoded memory; no window of its own, so tests call it directly.
#include "datalogger/DataLoggerFill.h"

#include "platform/MeterChart.h"
#include "platform/StringGrid.h"
#include "platform/NumberText.h"
#include "realtime/GraphSetup.h"
#include "realtime/RealTimeRun.h"
#include "records/TableRow.h"
#include "realtime/TfrmList.h"

#include <QFontMetrics>
#include <QHeaderView>

#include <algorithm>
#include <cmath>
#include <array>
#include <span>
#include <stdexcept>
#include <string_view>

namespace vandrel {

namespace {

void clearRow(StringGrid &grid, int row)
{
    for (int c = 0; c < grid.ColCount(); ++c)
        grid.setCells(c, row, QString());
}

} // namespace

LoggerPaneHeights loggerPaneHeights(int screenHeight)
{
    // On small screens the splitter under the graph sits at 300.
    if (screenHeight <= 600)
        return {230, 300};
    if (screenHeight <= 768)
        return {310, 400};
    return {400, 500};
}

void widenColumnsToTexts(StringGrid &grid, int lastRow)
{
    // Room for the cell's and the heading's margins on either side.
    constexpr int padding = 12;
    const QFontMetrics cells = grid.fontMetrics();
    const QFontMetrics headings = grid.horizontalHeader()->fontMetrics();
    lastRow = std::min(lastRow, grid.RowCount() - 1);
    for (int c = 0; c < grid.ColCount(); ++c) {
        int widest = headings.horizontalAdvance(grid.Cells(c, 0));
        for (int r = 1; r <= lastRow; ++r)
            widest = std::max(widest, cells.horizontalAdvance(grid.Cells(c, r)));
        if (widest > 0)
            grid.setColWidths(c, std::max(grid.ColWidths(c), widest + padding));
    }
}

void setupSetList(StringGrid &grid2)
{
    grid2.setColCount(5);
    const QStringList h{QStringLiteral("Set"), QStringLiteral("DATE"), QStringLiteral("TIME"),
                        QStringLiteral("Rate"), QStringLiteral("Nums")};
    for (int c = 0; c < h.size(); ++c)
        grid2.setCells(c, 0, h.at(c));
    const double factors[] = {0.4, 0.7, 1.2, 0.6};
    for (int c = 0; c < 4; ++c)
        grid2.setColWidths(c, static_cast<int>(64 * factors[c]));
    grid2.setColWidths(4, 64);
    // Dates in the user's format can be wider than the narrow design width:
    // never cut one off.
    const QString widest = tableDate(QDate(2028, 12, 28)) + QStringLiteral("  ");
    grid2.setColWidths(1, std::max(grid2.ColWidths(1), grid2.fontMetrics().horizontalAdvance(widest)));
    // Likewise the longest interval ("1092:15") and the headings.
    grid2.setRowCount(2);
    const QString longest[] = {QStringLiteral("999"), QString(), QStringLiteral("00:00:00"), intervalText(0xFFFF),
                               QStringLiteral("99999")};
    for (int c = 0; c < 5; ++c)
        grid2.setCells(c, 1, longest[c]);
    widenColumnsToTexts(grid2, 1);
    clearRow(grid2, 1);
}

void fillSetList(StringGrid &grid2, const DataSetTable &table, const QLocale &locale)
{
    grid2.beginUpdate();
    grid2.setRowCount(2);
    clearRow(grid2, 1);
    grid2.setRowCount(table.setCount() + 1);
    for (int i = 0; i < table.setCount(); ++i) {
        const DataSet &s = table.Sets.at(i);
        const QDateTime start = fromDays(s.StartTime);
        const int r = i + 1;
        grid2.setCells(0, r, QString::number(r));
        grid2.setCells(1, r, tableDate(start.date(), locale));
        grid2.setCells(2, r, tableTime(start.time()));
        grid2.setCells(3, r, intervalText(s.Interval));
        grid2.setCells(4, r, QString::number(s.Count));
    }
    widenColumnsToTexts(grid2, grid2.RowCount() - 1);
    grid2.endUpdate();
}

void setupSampleGrid(StringGrid &grid1, const LoggerModel &model)
{
    grid1.setFixedColor(Qt::white);
    grid1.setColCount(sampleColumnCount(model));
    const QStringList h = sampleHeadings(model);
    for (int c = 0; c < grid1.ColCount(); ++c)
        grid1.setCells(c, 0, h.value(c));
    ApplyTableColumnWidths(grid1);
    widenColumnsToTexts(grid1, 0);
    grid1.setRowCount(2);
    clearRow(grid1, 1);
}

void fillSampleRows(StringGrid &grid1, const DecodedSet &set, char unit, const LoggerModel &model,
                    const std::function<void(int)> &progress, const QLocale &locale)
{
    const int n = static_cast<int>(set.Samples.size());
    grid1.beginUpdate();
    grid1.setRowCount(2);
    clearRow(grid1, 1);
    grid1.setRowCount(std::max(2, n + 1));
    // The cells come from the one place that also makes the set's table file;
    // each row goes to the grid in one call, without a QString per stored cell.
    std::array<QByteArray, kTableColumns> utf8;
    std::array<std::string_view, kTableColumns> cells{};
    SampleRowCells rowCells(unit, model, locale);
    for (int i = 0; i < n; ++i) {
        if (progress)
            progress(i);
        const QStringList texts = rowCells(i + 1, set.Samples.at(i));
        const auto cols = static_cast<std::size_t>(std::min({grid1.ColCount(), int(texts.size()), kTableColumns}));
        for (std::size_t k = 0; k < cols; ++k) {
            utf8[k] = texts.at(qsizetype(k)).toUtf8();
            cells[k] = std::string_view(utf8[k].constData(), static_cast<std::size_t>(utf8[k].size()));
        }
        grid1.setRowUtf8(i + 1, std::span<const std::string_view>(cells.data(), cols));
    }
    // The rows of a set differ only in their digits: the first ones tell.
    widenColumnsToTexts(grid1, 200);
    grid1.endUpdate();
}

} // namespace vandrel

namespace vandrel {

void plotSamples(MeterChart &chart, const DataSet &set, const DecodedSet &decoded, const LoggerModel &model)
{
    const int n = static_cast<int>(decoded.Samples.size());
    SetupMeterGraph(chart, n, addSeconds(set.StartTime, qint64(n) * set.Interval), set.StartTime, model.MeterModel,
                    model.layout().dewPoint ? kDewPointSuffix : '\0');
    ShowTemperatureUnit(chart, QString(QLatin1Char(set.Unit == 'F' ? 'F' : 'C')));
    const int series = chart.SeriesCount();
    for (int i = 0; i < n; ++i) {
        const LoggerSample &s = decoded.Samples.at(i);
        for (int k = 0; k < series; ++k)
            chart.SetX(k, i, s.Time);
        chart.SetY(0, i, s.Rh);
        chart.SetY(1, i, s.T1);
        if (model.decodesT2() && series > 2) {
            chart.SetY(2, i, s.T2);
            if (s.HasDp && series > 3)
                chart.SetY(3, i, s.Dp);
        }
    }
}

AxisRange temperatureAxisFor(const DecodedSet &decoded)
{
    float upper = 105.0f;
    float lower = -18.0f;
    for (const QuantityExtremes *q : {&decoded.T1, &decoded.T2}) {
        if (!q->Present)
            continue;
        upper = std::max(upper, static_cast<float>(q->Max.Value));
        lower = std::min(lower, static_cast<float>(q->Min.Value));
    }
    return {axisMaxFrom(upper), axisMinFrom(lower)};
}

const Extreme &extremeOf(const DecodedSet &decoded, int tag)
{
    const QuantityExtremes *q[] = {&decoded.Rh, &decoded.T1, &decoded.T2, &decoded.Dp};
    const QuantityExtremes &e = *q[std::clamp((tag - 1) / 2, 0, 3)];
    return (tag % 2 == 1) ? e.Max : e.Min;
}

bool extremesShown(const DecodedSet &decoded, const LoggerModel &model, int tag)
{
    switch (tag) {
    case RhMax: case RhMin: return decoded.Rh.Present;
    case T1Max: case T1Min: return decoded.T1.Present;
    case T2Max: case T2Min: return model.decodesT2() && decoded.T2.Present;
    // Dew points are computed for every sample, so the panels show whenever
    // the set has one, even when none of them is a usable number.
    case DpMax: case DpMin: return model.layout().dewPoint && !decoded.Samples.isEmpty();
    default: return false;
    }
}

std::array<int, 8> extremeRows(const DecodedSet &decoded, const LoggerModel &model)
{
    std::array<int, 8> rows{};
    for (int tag = RhMax; tag <= DpMin; ++tag) {
        const bool found = extremesShown(decoded, model, tag) && extremeOf(decoded, tag).found();
        rows[tag - 1] = found ? extremeOf(decoded, tag).Row : 1;
    }
    return rows;
}

QString extremeText(const Extreme &e, bool withDate)
{
    const QDateTime at = fromDays(e.Time);
    // Day and month only: the panel is narrow, and the set list gives the year.
    const QString date = withDate ? QLocale::c().toString(at.date(), QStringLiteral("d MMM ")) : QString();
    return date + tableTime(at.time()) + QLatin1Char('\t') + formatFixed(e.Value, 1);
}

bool spansDays(const DecodedSet &decoded)
{
    if (decoded.Samples.isEmpty())
        return false;
    return fromDays(decoded.Samples.constFirst().Time).date() != fromDays(decoded.Samples.constLast().Time).date();
}

std::optional<QString> extremePanelText(const DecodedSet &decoded, const LoggerModel &model, int tag)
{
    if (!extremesShown(decoded, model, tag))
        return std::nullopt;
    const Extreme &e = extremeOf(decoded, tag);
    return e.found() ? extremeText(e, spansDays(decoded)) : QString();
}

QString markerText(const StringGrid &grid1, int row, const LoggerModel &model)
{
    const bool overDays = grid1.Cells(ColDate, 1) != grid1.Cells(ColDate, grid1.RowCount() - 1);
    return markerLabel([&](TableColumn c) { return grid1.Cells(c, row); }, model.layout(), overDays);
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace vandrel
