// SPDX-License-Identifier: GPL-3.0-or-later
// Reading samples into a record: cells as the tables write them.
#include "insight/RecordSources.h"

#include "records/TableFile.h"

#include <QFile>

#include <cmath>
#include <vector>

namespace vandrel {

void UnreadableLines::add(long long line, const QString &reason)
{
    if (count++ == 0) {
        first = line;
        why = reason;
    }
}

QString UnreadableLines::text(const QString &noun) const
{
    if (count == 0)
        return {};
    if (count == 1)
        return QStringLiteral("1 %1 could not be read (%1 %2: %3)").arg(noun).arg(first).arg(why);
    return QStringLiteral("%1 %2s could not be read (first at %2 %3: %4)").arg(count).arg(noun).arg(first).arg(why);
}

RecordBuilder::RecordBuilder(const QLocale &locale, const QString &noun) : reader_(locale)
{
    notes_.noun = noun;
}

void RecordBuilder::addRow(std::span<const std::string_view> cells, long long line)
{
    switch (reader_.read(cells, row_)) {
    case RowRead::Blank:
        return;
    case RowRead::Unreadable:
        notes_.unreadable.add(line, reader_.why());
        return;
    case RowRead::Row:
        break;
    }
    if (unit_ == 0 && row_.unit != 0)
        unit_ = row_.unit;
    const bool convert = row_.unit != 0 && row_.unit != unit_;
    if (convert) {
        ++notes_.rowsConverted;
        notes_.convertedFrom = row_.unit;
    }
    record_.seconds.push_back(row_.seconds);
    for (const Channel c : kChannels) {
        const Cell &cell = row_.cells[c];
        double v = cellNumber(cell);
        // Rounded to a millionth: 69.8 °F is 21.0 °C, not a hair below it, so
        // extremes and limits treat it as the same reading.
        if (convert && isTemperature(c) && cell.hasValue())
            v = std::round(convertTemperature(cell.value, row_.unit, unit_) * 1e6) / 1e6;
        if (cell.state != CellState::Empty)
            seen_[c] = true;
        record_.values[c].push_back(v);
    }
}

Record RecordBuilder::take()
{
    // Humidity and T1 are in every table; T2 and the dew point only where a
    // row has them.
    for (const Channel c : {kT2, kDewPoint}) {
        if (!seen_[c])
            record_.values[c].clear();
    }
    record_.unit = unit_ == 'F' ? 'F' : 'C';
    Record out = std::move(record_);
    record_ = Record{};
    seen_ = {};
    unit_ = 0;
    return out;
}

RecordFile readRecordFile(QIODevice &device, char separator, const QLocale &locale)
{
    RecordFile out;
    TableFileReader reader(device, separator, TableReading::WholeFile);
    RecordBuilder rows(locale);
    std::vector<std::string_view> cells;
    std::string_view line;
    while (reader.nextRawLine(line)) {
        const long long number = reader.lineNumber();
        if (reader.lineOverlong()) {
            rows.addUnreadable(number, QStringLiteral("a line longer than 64 KiB"));
            continue;
        }
        if (line.empty())
            continue;
        cells.clear();
        if (!reader.appendCells(line, kRecordRowCells, cells)) {
            rows.addUnreadable(number, noSeparatorText(separator));
            continue;
        }
        rows.addRow(cells, number);
    }
    out.notes = rows.notes();
    out.record = rows.take();
    if (reader.failed())
        out.error = reader.errorString();
    return out;
}

RecordFile readRecordFile(const QString &path, const QLocale &locale)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        RecordFile out;
        out.error = file.errorString();
        return out;
    }
    return readRecordFile(file, tableSeparator(path), locale);
}

} // namespace vandrel
