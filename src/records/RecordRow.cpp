// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a row's date, time, values and unit.
#include "records/RecordRow.h"

#include "platform/DayCount.h"
#include "records/TableFile.h"
#include "records/TableRow.h"

#include <QTime>

namespace vandrel {

namespace {

QString toQString(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The cells from the date on: the table's columns less the row number.
constexpr std::size_t cellOf(TableColumn column) { return static_cast<std::size_t>(column - ColDate); }
constexpr std::array<std::size_t, kChannelCount> kValueCells{cellOf(ColHumidity), cellOf(ColT1), cellOf(ColT2),
                                                             cellOf(ColDewPoint)};

char unitOf(std::string_view text)
{
    text = trimmedCell(text);
    if (text.find('F') != std::string_view::npos)
        return 'F';
    if (text.find('C') != std::string_view::npos)
        return 'C';
    return 0;
}

// What no meter of the family can show: a reading that is damage, not a value.
bool impossible(Channel channel, double value, char unit)
{
    if (!isTemperature(channel))
        return value < 0.0 || value > 100.0;
    return convertTemperature(value, unit == 'F' ? 'F' : 'C', 'C') < -273.15;
}

} // namespace

QString noSeparatorText(char sep)
{
    return sep == '\t' ? QStringLiteral("no tab between its cells") : QStringLiteral("no comma between its cells");
}

int secondOfDay(std::string_view s)
{
    if (s.size() != 8 || s[2] != ':' || s[5] != ':')
        return -1;
    const auto two = [&](std::size_t at) -> int {
        const char a = s[at], b = s[at + 1];
        return a >= '0' && a <= '9' && b >= '0' && b <= '9' ? (a - '0') * 10 + (b - '0') : -1;
    };
    const int h = two(0), m = two(3), sec = two(6);
    if (h < 0 || h > 23 || m < 0 || m > 59 || sec < 0 || sec > 59)
        return -1;
    return h * 3600 + m * 60 + sec;
}

RecordRowReader::RecordRowReader(const QLocale &locale) : locale_(locale), cells_(locale) {}

RowRead RecordRowReader::read(std::span<const std::string_view> cells, RecordRow &row)
{
    const auto cell = [&](std::size_t i) { return i < cells.size() ? trimmedCell(cells[i]) : std::string_view(); };
    const std::string_view date = cell(cellOf(ColDate));
    const std::string_view time = cell(cellOf(ColTime));
    if (date.empty() && time.empty())
        return RowRead::Blank;
    // A record holds one date for thousands of rows: each new one is read once.
    if (!haveDate_ || date != lastDate_) {
        lastDate_.assign(date);
        lastDay_ = readTableDate(toQString(date), locale_);
        haveDate_ = true;
    }
    if (!lastDay_.isValid()) {
        why_ = date.empty() ? QStringLiteral("no date")
                            : QStringLiteral("\"%1\" is not a date").arg(toQString(date).left(40));
        return RowRead::Unreadable;
    }
    const int second = secondOfDay(time);
    if (second < 0) {
        why_ = time.empty() ? QStringLiteral("no time")
                            : QStringLiteral("\"%1\" is not a time (HH:mm:ss)").arg(toQString(time).left(40));
        return RowRead::Unreadable;
    }
    row.date = lastDay_;
    row.secondOfDay = second;
    row.seconds = toDays(lastDay_, QTime(0, 0)) * 86400.0 + second;
    row.unit = unitOf(cell(cellOf(ColUnit)));
    if (row.unit == 0)
        row.unit = unitOf(cell(cellOf(ColSecondUnit)));
    for (const Channel c : kChannels) {
        Cell &out = row.cells[c];
        out = cells_.read(cell(kValueCells[c]));
        if (out.hasValue() && impossible(c, out.value, row.unit))
            out = Cell{CellState::Unreadable};
    }
    return RowRead::Row;
}

RowRead RecordRowReader::readLine(std::string_view line, char sep, RecordRow &row)
{
    split_.clear();
    if (!splitTableLine(line, sep, kRecordRowCells, split_, scratch_)) {
        why_ = noSeparatorText(sep);
        return RowRead::Unreadable;
    }
    return read(split_, row);
}

} // namespace vandrel
