// SPDX-License-Identifier: GPL-3.0-or-later
// A row as each program writes it, read back by each program's reader: the
// statistics, the station's outputs, a graph and the command line's JSON rows
// all see the same numbers, under every locale a table may be written in.
#include "cli/RecordCommand.h"
#include "insight/RecordSources.h"
#include "platform/NumberText.h"
#include "publish/RecordSample.h"
#include "realtime/GraphCells.h"
#include "records/TableFile.h"
#include "records/TableRow.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>

using namespace vandrel;

TEST(EveryReader, readsARowWrittenUnderEachLocaleAsTheSameNumbers)
{
    const QDateTime when(QDate(2026, 12, 13), QTime(13, 5, 9));
    const std::array<double, kChannelCount> want{45.6, -21.3, 20.0, 9.2};
    for (const QLocale &locale :
         {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German, QLocale::Germany),
          QLocale(QLocale::French, QLocale::Switzerland), QLocale(QLocale::Arabic, QLocale::Egypt)}) {
        MeterReading reading;
        reading.RhText = formatFixed(want[kHumidity], 1, locale);
        reading.T1Text = formatFixed(want[kT1], 1, locale);
        reading.T2Text = formatFixed(want[kT2], 0, locale);
        reading.DewPointText = formatFixed(want[kDewPoint], 1, locale);
        const QStringList cells = realTimeRowCells(1, when, reading, MeterIdentity{580, 'D'}, locale);
        SCOPED_TRACE(locale.name().toStdString());

        // The station's record files are comma separated; Save writes either.
        std::string line = tableRowLine(cells, ',');
        const auto sample = publish::parseRecordRow(std::string_view(line).substr(0, line.size() - 2), locale);
        ASSERT_TRUE(sample.has_value());
        QByteArray bytes = QByteArray::fromStdString(tableRowLine(cells, '\t'));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const RecordFile file = readRecordFile(buffer, '\t', locale);
        ASSERT_EQ(file.record.seconds.size(), 1u);
        GraphCellReader graph(locale);
        const QJsonObject json =
            QJsonDocument::fromJson(QByteArray::fromStdString(cli::jsonRowLine(when, cells, locale))).object();
        const char *jsonKeys[kChannelCount] = {"rh", "t1", "t2", "dewpoint"};
        constexpr std::array<int, kChannelCount> columns{ColHumidity, ColT1, ColT2, ColDewPoint};
        for (const Channel c : kChannels) {
            SCOPED_TRACE(channelKey(c));
            EXPECT_EQ(sample->values[c], want[c]);
            EXPECT_EQ(file.record.values[c].front(), want[c]);
            const QByteArray utf8 = cells[columns[c]].toUtf8();
            EXPECT_EQ(graph.value(std::string_view(utf8.constData(), std::size_t(utf8.size()))), want[c]);
            EXPECT_EQ(json.value(QLatin1String(jsonKeys[c])).toDouble(), want[c]);
        }
        EXPECT_EQ(sample->date, when.date());
        EXPECT_EQ(sample->time, when.time());
    }
}
