// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a record row back.
#include "publish/RecordSample.h"

#include "realtime/TableFile.h"
#include "realtime/TableRow.h"

#include <string>
#include <vector>

namespace vandrel::publish {

std::optional<RecordSample> parseRecordRow(std::string_view line, const QLocale &locale)
{
    std::vector<std::string_view> parts;
    std::string scratch;
    // The file's cells are the table's from the date on.
    if (!splitTableLine(line, ',', kTableColumns - 1, parts, scratch) || parts.size() < 5)
        return std::nullopt;
    QStringList cells{QString()};
    for (const std::string_view part : parts)
        cells << QString::fromUtf8(part.data(), static_cast<qsizetype>(part.size()));
    RecordSample sample;
    sample.date = readTableDate(cells.at(ColDate), locale);
    sample.time = QTime::fromString(cells.at(ColTime), QStringLiteral("HH:mm:ss"));
    if (!sample.date.isValid() || !sample.time.isValid())
        return std::nullopt;
    sample.values = tableRowValues(cells, locale);
    sample.unit = cells.value(ColUnit).trimmed();
    return sample;
}

QString isoTime(const RecordSample &sample)
{
    return sample.date.toString(Qt::ISODate) + QLatin1Char('T') + sample.time.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace vandrel::publish
