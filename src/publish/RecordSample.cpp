// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a record row back.
#include "publish/RecordSample.h"


namespace vandrel::publish {

std::optional<RecordSample> RecordSampleReader::read(std::string_view line)
{
    // The file's cells are the table's from the date on.
    if (rows_.readLine(line, ',', row_) != RowRead::Row)
        return std::nullopt;
    RecordSample sample;
    sample.date = row_.date;
    sample.time = QTime(0, 0).addSecs(row_.secondOfDay);
    for (const Channel c : kChannels) {
        if (row_.cells[c].hasValue())
            sample.values[c] = row_.cells[c].value;
    }
    if (row_.unit != 0)
        sample.unit = QString(QLatin1Char(row_.unit));
    return sample;
}

std::optional<RecordSample> parseRecordRow(std::string_view line, const QLocale &locale)
{
    return RecordSampleReader(locale).read(line);
}

QString isoTime(const RecordSample &sample)
{
    return sample.date.toString(Qt::ISODate) + QLatin1Char('T') + sample.time.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace vandrel::publish
