// SPDX-License-Identifier: GPL-3.0-or-later
// Table rows, headings and marker labels.
#include "records/TableRow.h"

#include "meter/ModelTraits.h"

#include <QHash>

#include <algorithm>

namespace vandrel {

QStringList modelHeadings(int model) { return modelTraits(model).liveHeadings(); }

QStringList tableHeadings(int model)
{
    QStringList h{QStringLiteral("NO"), QStringLiteral("DATE"), QStringLiteral("TIME"), QStringLiteral("HUMIDITY"),
                  QStringLiteral("UNIT")};
    h += modelHeadings(model);
    return h;
}

QString shortDateFormat(const QLocale &locale)
{
    QString f = locale.dateFormat(QLocale::ShortFormat);
    if (!f.contains(QLatin1String("yyyy")))
        f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return f;
}

QString tableDate(const QDate &date, const QLocale &locale)
{
    // The user's order and separators, but digits every program can read back.
    return QLocale::c().toString(date, shortDateFormat(locale));
}

namespace {

// Every date format tableDate writes under some locale, the most widely used
// first, so that a table saved on another machine reads here too.
const QStringList &writtenDateFormats()
{
    static const QStringList formats = [] {
        QHash<QString, int> uses;
        QList<QLocale> locales = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                          QLocale::AnyTerritory);
        locales.prepend(QLocale::c());
        for (const QLocale &l : locales)
            ++uses[shortDateFormat(l)];
        QStringList list = uses.keys();
        std::sort(list.begin(), list.end(), [&uses](const QString &a, const QString &b) {
            return uses.value(a) != uses.value(b) ? uses.value(a) > uses.value(b) : a < b;
        });
        return list;
    }();
    return formats;
}

// The date of a text in one of the formats the program writes elsewhere: only
// a text written exactly so (four-digit year, ASCII digits, English month names)
// counts, so a two-digit year never passes for a year of the first century.
QDate writtenElsewhere(const QString &text)
{
    const QLocale c = QLocale::c();
    for (const QString &format : writtenDateFormats()) {
        const QDate d = c.toDate(text, format);
        if (d.isValid() && c.toString(d, format) == text)
            return d;
    }
    return {};
}

} // namespace

QDate readTableDate(const QString &text, const QLocale &locale)
{
    QString twoDigitYear = locale.dateFormat(QLocale::ShortFormat);
    twoDigitYear.replace(QLatin1String("yyyy"), QLatin1String("yy"));
    const QString fourDigitYear = shortDateFormat(locale);
    for (const QLocale &digits : {QLocale::c(), locale}) {
        // The two-digit form first: a four-digit field would take "26" as the year 26.
        QDate d = digits.toDate(text, twoDigitYear);
        if (d.isValid())
            return d.year() < 1970 ? d.addYears(100) : d;
        d = digits.toDate(text, fourDigitYear);
        if (d.isValid())
            return d;
    }
    const QDate iso = QDate::fromString(text, Qt::ISODate);
    if (iso.isValid())
        return iso;
    return writtenElsewhere(text);
}

QString tableTime(const QTime &time)
{
    // As QTime writes "HH:mm:ss", without parsing that format for every row.
    if (!time.isValid())
        return {};
    const int parts[3] = {time.hour(), time.minute(), time.second()};
    char text[8];
    for (int i = 0; i < 3; ++i) {
        text[3 * i] = static_cast<char>('0' + parts[i] / 10);
        text[3 * i + 1] = static_cast<char>('0' + parts[i] % 10);
        if (i < 2)
            text[3 * i + 2] = ':';
    }
    return QString::fromLatin1(text, 8);
}

TableLayout realTimeTableLayout(const MeterIdentity &id)
{
    const bool two = modelTraits(id.MeterModel).twoTemperatures();
    return {two, two && isDewPointVariant(id)};
}

void layOutTableRow(QStringList &cells, int row, const QString &date, const QString &time, const SampleTexts &texts,
                    TableLayout layout)
{
    cells[ColNumber] = QString::number(row);
    cells[ColDate] = date;
    cells[ColTime] = time;
    cells[ColHumidity] = texts.rh;
    cells[ColHumidityUnit] = QStringLiteral("%RH");
    cells[ColT1] = texts.t1;
    cells[ColUnit] = texts.unit;
    if (layout.twoTemperatures) {
        cells[ColT2] = texts.t2;
        cells[ColSecondUnit] = texts.unit;
    }
    if (layout.dewPoint && cells.size() > ColDewPoint)
        cells[ColDewPoint] = texts.dewPoint;
}

QString markerLabel(const std::function<QString(TableColumn)> &cell, TableLayout layout, bool withDate)
{
    QString text = (withDate ? cell(ColDate) + QLatin1Char(' ') : QString()) + cell(ColTime) + QStringLiteral(" RH:") +
                   cell(ColHumidity);
    if (!layout.twoTemperatures)
        return text + QStringLiteral(" T:") + cell(ColT1);
    text += QStringLiteral(" T1:") + cell(ColT1) + QStringLiteral(" T2:") + cell(ColT2);
    if (layout.dewPoint)
        text += QStringLiteral(" DP:") + cell(ColDewPoint);
    return text;
}

std::array<Cell, kChannelCount> readingCells(const MeterReading &r, const MeterIdentity &id)
{
    const auto cell = [](double value, bool over, bool negative, int decimals) {
        if (over)
            return Cell{negative ? CellState::Under : CellState::Over};
        return Cell{CellState::Value, value, decimals};
    };
    const TableLayout layout = realTimeTableLayout(id);
    std::array<Cell, kChannelCount> out{};
    out[kHumidity] = cell(r.Rh, r.RhOver, r.RhNeg, 1);
    out[kT1] = cell(r.T1, r.T1Over, r.T1Neg, 1);
    if (layout.twoTemperatures)
        out[kT2] = cell(r.T2, r.T2Over, r.T2Neg, r.WideRangeT2 ? 0 : 1);
    if (layout.dewPoint)
        out[kDewPoint] = cell(r.DewPoint, r.DewPointOverload, false, 1);
    return out;
}

char readingUnit(const MeterReading &reading)
{
    return reading.TempUnit.contains(QLatin1Char('F')) ? 'F' : 'C';
}

QStringList realTimeRowCells(int row, const QDateTime &timestamp, const MeterReading &reading,
                             const MeterIdentity &id, const QLocale &locale)
{
    QStringList c(kTableColumns);
    layOutTableRow(c, row, tableDate(timestamp.date(), locale), tableTime(timestamp.time()),
                   {reading.RhText, reading.T1Text, reading.T2Text, reading.DewPointText, reading.TempUnit},
                   realTimeTableLayout(id));
    return c;
}

} // namespace vandrel
