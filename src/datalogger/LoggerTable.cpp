// SPDX-License-Identifier: GPL-3.0-or-later
// Headings, rows and saved lines of the data logger's sample table.
#include "datalogger/LoggerTable.h"

#include "records/TableFile.h"
#include "records/TableRow.h"

#include <algorithm>
#include <vector>

namespace vandrel {

namespace {

QString twoDigits(int n) { return QString::number(n).rightJustified(2, QLatin1Char('0')); }

} // namespace

QString intervalText(int seconds)
{
    return twoDigits(seconds / 60) + QLatin1Char(':') + twoDigits(seconds % 60);
}

int sampleColumnCount(const LoggerModel &model)
{
    return model.dewPointColumn() ? kTableColumns : ColDewPoint;
}

QStringList sampleHeadings(const LoggerModel &model)
{
    QStringList h{QStringLiteral("NO"), QStringLiteral("DATE"), QStringLiteral("TIME"),
                  QStringLiteral("Humidity"), QStringLiteral("UNIT")};
    return h + modelTraits(model.MeterModel).loggedHeadings(model.ModelSuffix);
}

SampleRowCells::SampleRowCells(char unit, const LoggerModel &model, const QLocale &locale)
    : unit_(QLatin1Char(unit == 'F' ? 'F' : 'C')), model_(model), locale_(locale)
{
}

QStringList SampleRowCells::operator()(int row, const LoggerSample &s)
{
    QStringList c(sampleColumnCount(model_));
    const QDateTime t = fromDays(s.Time);
    if (t.date() != lastDate_ || lastDateText_.isNull()) {
        lastDate_ = t.date();
        lastDateText_ = tableDate(lastDate_, locale_);
    }
    TableLayout layout = model_.layout();
    layout.dewPoint = layout.dewPoint && s.HasDp;
    layOutTableRow(c, row, lastDateText_, tableTime(t.time()), {s.RhText, s.T1Text, s.T2Text, s.DpText, unit_},
                   layout);
    return c;
}

std::string sampleTableText(const DecodedSet &set, char unit, const LoggerModel &model, char sep,
                            const QLocale &locale)
{
    std::string out;
    std::vector<std::string> utf8(static_cast<std::size_t>(sampleColumnCount(model) - 1));
    std::vector<std::string_view> cells(utf8.size());
    const int rows = std::max(1, static_cast<int>(set.Samples.size()));
    SampleRowCells rowCells(unit, model, locale);
    for (int i = 0; i < rows; ++i) {
        QStringList row(sampleColumnCount(model));
        if (i < set.Samples.size())
            row = rowCells(i + 1, set.Samples.at(i));
        for (std::size_t c = 0; c < utf8.size(); ++c) {
            utf8[c] = row.at(static_cast<int>(c) + 1).toStdString();
            cells[c] = utf8[c];
        }
        appendTableLine(out, cells, sep);
    }
    return out;
}

} // namespace vandrel
