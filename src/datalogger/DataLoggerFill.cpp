// SPDX-License-Identifier: GPL-3.0-or-later
// Filling the data-logger window's list, table, graph and extremes from the
// decoded memory; no window of its own, so tests call it directly.
#include "datalogger/DataLoggerFill.h"

#include "platform/MeterChart.h"
#include "platform/StringGrid.h"
#include "platform/NumberText.h"
#include "realtime/GraphSetup.h"
#include "realtime/RealTimeRun.h"
#include "realtime/TableRow.h"
#include "realtime/TfrmList.h"

#include <algorithm>
#include <array>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vandrel {

namespace {

QString twoDigits(int n) { return QString::number(n).rightJustified(2, QLatin1Char('0')); }

// Appends `text` as UTF-8; our number texts are plain ASCII but for a decimal
// separator some languages write otherwise.
void appendUtf8(std::string &out, const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            const QByteArray utf8 = text.toUtf8();
            out.append(utf8.constData(), static_cast<std::size_t>(utf8.size()));
            return;
        }
    }
    for (QChar c : text)
        out += static_cast<char>(c.unicode());
}

QStringList sampleHeadings(const LoggerModel &model)
{
    QStringList h{QStringLiteral("NO"), QStringLiteral("DATE"), QStringLiteral("TIME"),
                  QStringLiteral("Humidity"), QStringLiteral("UNIT")};
    if (model.twoTemperatures())
        h << QStringLiteral("T1") << QStringLiteral("UNIT") << QStringLiteral("T2") << QStringLiteral("UNIT");
    else
        h << QStringLiteral("Temperature") << QStringLiteral("UNIT") << QString() << QString();
    if (model.dewPointColumn())
        h << (model.twoTemperatures() ? QStringLiteral("Dewpoint") : QString());
    return h;
}

void clearRow(StringGrid &grid, int row)
{
    for (int c = 0; c < grid.ColCount(); ++c)
        grid.setCells(c, row, QString());
}

} // namespace

QString intervalText(int seconds)
{
    return twoDigits(seconds / 60) + QLatin1Char(':') + twoDigits(seconds % 60);
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
    grid2.setRowCount(2);
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
    grid2.endUpdate();
}

void setupSampleGrid(StringGrid &grid1, const LoggerModel &model)
{
    grid1.setFixedColor(Qt::white);
    grid1.setColCount(model.dewPointColumn() ? 10 : 9);
    const QStringList h = sampleHeadings(model);
    for (int c = 0; c < grid1.ColCount(); ++c)
        grid1.setCells(c, 0, h.value(c));
    ApplyTableColumnWidths(grid1);
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
    const int cols = std::min(grid1.ColCount(), 10);
    const char unitChar = unit == 'F' ? 'F' : 'C';
    // Each row goes to the grid in one call, its cells laid out side by side
    // in one buffer; samples a few seconds or minutes apart share their date,
    // which is written once a day.
    QDate lastDate;
    QByteArray dateUtf8;
    bool haveDate = false;
    std::string row;
    std::array<std::size_t, 11> bounds{};
    std::array<std::string_view, 10> cells{};
    for (int i = 0; i < n; ++i) {
        if (progress)
            progress(i);
        const LoggerSample &s = set.Samples.at(i);
        const QDateTime t = fromDays(s.Time);
        if (!haveDate || t.date() != lastDate) {
            lastDate = t.date();
            dateUtf8 = tableDate(lastDate, locale).toUtf8();
            haveDate = true;
        }
        row.clear();
        int c = 0;
        auto cell = [&](auto &&append) {
            bounds[c] = row.size();
            append();
            bounds[++c] = row.size();
        };
        cell([&] { row += std::to_string(i + 1); });
        cell([&] { row.append(dateUtf8.constData(), static_cast<std::size_t>(dateUtf8.size())); });
        cell([&] { appendUtf8(row, tableTime(t.time())); });
        cell([&] { appendUtf8(row, s.RhText); });
        cell([&] { row += "%RH"; });
        cell([&] { appendUtf8(row, s.T1Text); });
        cell([&] { row += unitChar; });
        cell([&] {
            if (model.twoTemperatures())
                appendUtf8(row, s.T2Text);
        });
        cell([&] {
            if (model.twoTemperatures())
                row += unitChar;
        });
        cell([&] {
            if (model.dewPointColumn() && s.HasDp)
                appendUtf8(row, s.DpText);
        });
        for (int k = 0; k < cols; ++k)
            cells[k] = std::string_view(row).substr(bounds[k], bounds[k + 1] - bounds[k]);
        grid1.setRowUtf8(i + 1, std::span<const std::string_view>(cells.data(), static_cast<std::size_t>(cols)));
    }
    grid1.endUpdate();
}

} // namespace vandrel

namespace vandrel {

void plotSamples(MeterChart &chart, const DataSet &set, const DecodedSet &decoded, const LoggerModel &model)
{
    const int n = static_cast<int>(decoded.Samples.size());
    SetupMeterGraph(chart, n, set.StartTime + n * (set.Interval / 86400.0), set.StartTime, model.MeterModel);
    const int series = chart.SeriesCount();
    for (int i = 0; i < n; ++i) {
        const LoggerSample &s = decoded.Samples.at(i);
        for (int k = 0; k < series; ++k)
            chart.SetX(k, i, s.Time);
        chart.SetY(0, i, s.Rh);
        chart.SetY(1, i, s.T1);
        if (model.twoTemperatures() && series > 2) {
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
    case T2Max: case T2Min: return model.twoTemperatures() && decoded.T2.Present;
    // Dew points are computed for every sample, so the panels show whenever
    // the set has one, even when none of them is a usable number.
    case DpMax: case DpMin: return model.twoTemperatures() && model.dewPointColumn() && !decoded.Samples.isEmpty();
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

QString extremeText(const Extreme &e)
{
    return tableTime(fromDays(e.Time).time()) + QLatin1Char('\t') + formatFixed(e.Value, 1);
}

std::optional<QString> extremePanelText(const DecodedSet &decoded, const LoggerModel &model, int tag)
{
    if (!extremesShown(decoded, model, tag))
        return std::nullopt;
    const Extreme &e = extremeOf(decoded, tag);
    return e.found() ? extremeText(e) : QString();
}

QString markerText(const StringGrid &grid1, int row, const LoggerModel &model)
{
    QString text = grid1.Cells(2, row);
    if (model.twoTemperatures()) {
        text += QStringLiteral(" RH:") + grid1.Cells(3, row) + QStringLiteral(" T1:") + grid1.Cells(5, row) +
                QStringLiteral(" T2:") + grid1.Cells(7, row);
        if (model.dewPointColumn())
            text += QStringLiteral(" DP:") + grid1.Cells(9, row);
    } else {
        text += QStringLiteral(" RH:") + grid1.Cells(3, row) + QStringLiteral(" T:") + grid1.Cells(5, row);
    }
    return text;
}

} // namespace vandrel
