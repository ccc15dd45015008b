// SPDX-License-Identifier: GPL-3.0-or-later
// Headings, rows and saved lines of the data logger's sample table.
#include "datalogger/LoggerTable.h"

#include "realtime/TableFile.h"
#include "realtime/TableRow.h"

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
    return model.dewPointColumn() ? 10 : 9;
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

QStringList sampleRowCells(int row, const LoggerSample &s, char unit, const LoggerModel &model,
                           const QLocale &locale)
{
    QStringList c(sampleColumnCount(model));
    const QDateTime t = fromDays(s.Time);
    c[0] = QString::number(row);
    c[1] = tableDate(t.date(), locale);
    c[2] = tableTime(t.time());
    c[3] = s.RhText;
    c[4] = QStringLiteral("%RH");
    c[5] = s.T1Text;
    c[6] = QString(QLatin1Char(unit == 'F' ? 'F' : 'C'));
    if (model.twoTemperatures()) {
        c[7] = s.T2Text;
        c[8] = c[6];
    }
    if (model.dewPointColumn() && s.HasDp)
        c[9] = s.DpText;
    return c;
}

std::string sampleTableText(const DecodedSet &set, char unit, const LoggerModel &model, char sep,
                            const QLocale &locale)
{
    std::string out;
    std::vector<std::string> utf8(static_cast<std::size_t>(sampleColumnCount(model) - 1));
    std::vector<std::string_view> cells(utf8.size());
    const int rows = std::max(1, static_cast<int>(set.Samples.size()));
    for (int i = 0; i < rows; ++i) {
        QStringList row(sampleColumnCount(model));
        if (i < set.Samples.size())
            row = sampleRowCells(i + 1, set.Samples.at(i), unit, model, locale);
        for (std::size_t c = 0; c < utf8.size(); ++c) {
            utf8[c] = row.at(static_cast<int>(c) + 1).toStdString();
            cells[c] = utf8[c];
        }
        appendTableLine(out, cells, sep);
    }
    return out;
}

} // namespace vandrel
