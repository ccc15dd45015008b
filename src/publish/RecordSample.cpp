// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a record row back.
#include "publish/RecordSample.h"

#include "realtime/TableFile.h"
#include "realtime/TableRow.h"

#include <string>
#include <vector>

namespace vandrel::publish {

namespace {

// "HH:mm:ss" as tableTime writes it.
QTime timeOf(std::string_view text)
{
    if (text.size() != 8 || text[2] != ':' || text[5] != ':')
        return {};
    int parts[3];
    for (int i = 0; i < 3; ++i) {
        const char a = text[std::size_t(3 * i)], b = text[std::size_t(3 * i + 1)];
        if (a < '0' || a > '9' || b < '0' || b > '9')
            return {};
        parts[i] = (a - '0') * 10 + (b - '0');
    }
    return QTime(parts[0], parts[1], parts[2]);
}

} // namespace

std::optional<RecordSample> RecordRowReader::read(std::string_view line)
{
    std::vector<std::string_view> parts;
    std::string scratch;
    // The file's cells are the table's from the date on.
    if (!splitTableLine(line, ',', kTableColumns - 1, parts, scratch) || parts.size() < 5)
        return std::nullopt;
    RecordSample sample;
    const std::string_view date = parts[ColDate - 1];
    if (date != lastDateText_ || !lastDate_.isValid()) {
        lastDateText_ = std::string(date);
        lastDate_ = readTableDate(QString::fromUtf8(date.data(), static_cast<qsizetype>(date.size())), locale_);
    }
    sample.date = lastDate_;
    sample.time = timeOf(parts[ColTime - 1]);
    if (!sample.date.isValid() || !sample.time.isValid())
        return std::nullopt;
    QStringList cells(kTableColumns);
    for (const int column : {ColHumidity, ColT1, ColUnit, ColT2, ColDewPoint})
        if (std::size_t(column - 1) < parts.size())
            cells[column] = QString::fromUtf8(parts[std::size_t(column - 1)].data(), static_cast<qsizetype>(parts[std::size_t(column - 1)].size()));
    sample.values = tableRowValues(cells, locale_);
    sample.unit = cells.at(ColUnit).trimmed();
    return sample;
}

std::optional<RecordSample> parseRecordRow(std::string_view line, const QLocale &locale)
{
    return RecordRowReader(locale).read(line);
}

QString isoTime(const RecordSample &sample)
{
    return sample.date.toString(Qt::ISODate) + QLatin1Char('T') + sample.time.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace vandrel::publish
