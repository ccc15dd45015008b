// SPDX-License-Identifier: GPL-3.0-or-later
// Reading samples into a record: cells as the tables write them.
#include "insight/RecordSources.h"

#include "platform/DayCount.h"
#include "realtime/TableFile.h"
#include "realtime/TableRow.h"

#include <QFile>
#include <QTime>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace vandrel {

namespace {

// The cells from the date on: the table's columns less the row number.
constexpr std::size_t cellOf(TableColumn column) { return static_cast<std::size_t>(column - ColDate); }
enum : std::size_t {
    kDateCell = cellOf(ColDate),
    kTimeCell = cellOf(ColTime),
    kRhCell = cellOf(ColHumidity),
    kRhUnitCell = cellOf(ColHumidityUnit),
    kT1Cell = cellOf(ColT1),
    kUnitCell = cellOf(ColUnit),
    kT2Cell = cellOf(ColT2),
    kSecondUnitCell = cellOf(ColSecondUnit),
    kDewCell = cellOf(ColDewPoint),
    kCells = cellOf(ColDewPoint) + 1,
};

constexpr double kEmptyCell = std::numeric_limits<double>::quiet_NaN();
constexpr double kOverloaded = std::numeric_limits<double>::infinity();

QString toQString(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// "HH:mm:ss" as seconds of the day.
std::optional<int> timeOfDay(std::string_view s)
{
    s = trimmed(s);
    const auto two = [&](std::size_t at) -> int {
        const char a = s[at], b = s[at + 1];
        return a >= '0' && a <= '9' && b >= '0' && b <= '9' ? (a - '0') * 10 + (b - '0') : -1;
    };
    if (s.size() != 8 || s[2] != ':' || s[5] != ':')
        return std::nullopt;
    const int h = two(0), m = two(3), sec = two(6);
    if (h < 0 || h > 23 || m < 0 || m > 59 || sec < 0 || sec > 59)
        return std::nullopt;
    return h * 3600 + m * 60 + sec;
}

} // namespace

RecordRowReader::RecordRowReader(const QLocale &locale) : locale_(locale)
{
    const QString point = locale.decimalPoint();
    decimalPoint_ = point.size() == 1 && point[0].unicode() < 0x80 ? static_cast<char>(point[0].unicode()) : 0;
}

double RecordRowReader::value(std::string_view text) const
{
    text = trimmed(text);
    if (text.empty())
        return kEmptyCell;
    if (text == "OL")
        return kOverloaded;
    if (text == "-OL")
        return -kOverloaded;
    // The tables write ASCII digits and the locale's decimal separator.
    if (decimalPoint_ != 0 && text.size() < 32) {
        char plain[32];
        std::size_t n = 0;
        for (const char c : text)
            plain[n++] = c == decimalPoint_ ? '.' : (c == '.' ? ',' : c);
        double v = 0;
        const auto [end, ec] = std::from_chars(plain, plain + n, v);
        if (ec == std::errc() && end == plain + n && std::isfinite(v))
            return v;
    }
    bool ok = false;
    const double v = locale_.toDouble(toQString(text), &ok);
    return ok && std::isfinite(v) ? v : kEmptyCell;
}

void RecordRowReader::addRow(std::span<const std::string_view> cells)
{
    const auto cell = [&](std::size_t i) { return i < cells.size() ? cells[i] : std::string_view(); };
    const std::optional<int> second = timeOfDay(cell(kTimeCell));
    const std::string_view date = trimmed(cell(kDateCell));
    if (date.empty() && trimmed(cell(kTimeCell)).empty())
        return; // the blank row of an empty real-time table
    if (date != lastDate_) {
        lastDate_.assign(date);
        const QDate d = readTableDate(toQString(date), locale_);
        lastDateValid_ = d.isValid();
        lastDay_ = lastDateValid_ ? toDays(d, QTime(0, 0)) : 0;
    }
    if (!second || !lastDateValid_) {
        ++withoutTime_;
        return;
    }
    record_.seconds.push_back(lastDay_ * 86400.0 + *second);
    const std::size_t columns[kChannelCount] = {kRhCell, kT1Cell, kT2Cell, kDewCell};
    for (int c = 0; c < kChannelCount; ++c) {
        const std::string_view text = cell(columns[c]);
        if (!trimmed(text).empty())
            seen_[c] = true;
        record_.values[c].push_back(value(text));
    }
    if (!unitSeen_) {
        const std::string_view unit = trimmed(cell(kUnitCell));
        if (!unit.empty()) {
            unitSeen_ = true;
            record_.unit = unit.find('F') != std::string_view::npos ? 'F' : 'C';
        }
    }
}

Record RecordRowReader::take()
{
    // Humidity and T1 are in every table; T2 and the dew point only where a
    // row has them.
    for (const int c : {kT2, kDewPoint}) {
        if (!seen_[c])
            record_.values[c].clear();
    }
    Record out = std::move(record_);
    record_ = Record{};
    seen_ = {};
    unitSeen_ = false;
    withoutTime_ = 0;
    return out;
}

RecordFile readRecordFile(QIODevice &device, char separator, const QLocale &locale)
{
    RecordFile out;
    TableFileReader reader(device, separator);
    RecordRowReader rows(locale);
    std::vector<std::string_view> cells;
    while (reader.nextRow(kCells, cells))
        rows.addRow(cells);
    out.rowsWithoutTime = rows.rowsWithoutTime();
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
