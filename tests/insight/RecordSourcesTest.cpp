// SPDX-License-Identifier: GPL-3.0-or-later
// A table file read whole into a record: a line that holds no row is counted
// and skipped, never the end of the record; rows in the other unit are
// converted to the unit of the first; cells of another locale read as numbers
// and what cannot be read is told apart from an empty cell.
#include "insight/RecordSources.h"

#include <gtest/gtest.h>

#include <QBuffer>

#include <cmath>

using namespace vandrel;

namespace {

RecordFile read(QByteArray bytes, char sep = ',')
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return readRecordFile(buffer, sep, QLocale::c());
}

QByteArray row(const char *time, const char *rh, const char *t1, const char *unit = "C")
{
    return QByteArray("08/12/2026,") + time + ',' + rh + ",%RH," + t1 + ',' + unit + ",\r\n";
}

} // namespace

TEST(RecordSources, everyLineIsReadAndWhatCannotBeIsCountedWithTheFirstNamed)
{
    const struct {
        const char *what;
        QByteArray file;
        std::size_t rows;
        int unreadable;
        QString text;
    } cases[] = {
        {"a row cut inside its date by a power cut, then five good rows",
         row("10:00:00", "45.0", "21.0") + "08/12/20\r\n" + row("10:00:02", "45.1", "21.0") +
             row("10:00:04", "45.2", "21.0") + row("10:00:06", "45.3", "21.0") + row("10:00:08", "45.4", "21.0") +
             row("10:00:10", "45.5", "21.0"),
         6, 1, QStringLiteral("1 line could not be read (line 2: no comma between its cells)")},
        {"a line far longer than any row, then rows",
         row("10:00:00", "45.0", "21.0") + QByteArray(2 * 1024 * 1024, 'x') + "\r\n" + row("10:00:02", "45.1", "21.0"), 2, 1,
         QStringLiteral("1 line could not be read (line 2: a line longer than 64 KiB)")},
        {"rows without a date or time, and a blank one that is no row at all",
         row("10:00:00", "45.0", "21.0") + "99/99/2026,10:00:02,45.0,%RH,\r\n,,,\r\n" +
             "08/12/2026,25:00:00,45.0,%RH,\r\n" + row("10:00:04", "45.1", "21.0"),
         2, 2, QStringLiteral("2 lines could not be read (first at line 2: \"99/99/2026\" is not a date)")},
    };
    for (const auto &c : cases) {
        const RecordFile file = read(c.file);
        EXPECT_TRUE(file.error.isEmpty()) << c.what;
        EXPECT_EQ(file.record.seconds.size(), c.rows) << c.what;
        EXPECT_EQ(file.notes.unreadable.count, c.unreadable) << c.what;
        EXPECT_EQ(file.notes.unreadable.text().toStdString(), c.text.toStdString()) << c.what;
    }
}

TEST(RecordSources, aRecordIsInTheUnitOfItsFirstRow)
{
    // The °C/°F key pressed during a run: 21 °C throughout, written as 69.8 °F.
    const RecordFile file = read(row("10:00:00", "45.0", "21.0", "C") + row("10:00:02", "45.0", "69.8", "F") +
                                 row("10:00:04", "45.0", "-OL", "F") + row("10:00:06", "45.0", "21.0", "C"));
    ASSERT_EQ(file.record.values[kT1].size(), 4u);
    EXPECT_EQ(file.record.unit, 'C');
    EXPECT_EQ(file.record.values[kT1][1], 21.0) << "exactly: the same reading as the 21.0 °C rows";
    EXPECT_EQ(file.record.values[kT1][2], -INFINITY) << "an overload stays an overload";
    EXPECT_EQ(file.notes.rowsConverted, 2);
    EXPECT_EQ(file.notes.convertedFrom, 'F');
    // A record that starts in °F stays in °F.
    const RecordFile f = read(row("10:00:00", "45.0", "69.8", "F") + row("10:00:02", "45.0", "21.0", "C"));
    EXPECT_EQ(f.record.unit, 'F');
    EXPECT_NEAR(f.record.values[kT1][1], 69.8, 1e-9);
}

TEST(RecordSources, cellsOfAnotherLocaleAreNumbersAndTheRestIsUnreadableNotEmpty)
{
    const RecordFile file = read("08/12/2026\t10:00:00\t54,6\t%RH\tabc\tC\t\r\n"
                                 "08/12/2026\t10:00:02\t\t%RH\t101.5\tC\t\r\n",
                                 '\t');
    const Record &r = file.record;
    ASSERT_EQ(r.seconds.size(), 2u);
    EXPECT_DOUBLE_EQ(r.values[kHumidity][0], 54.6);
    EXPECT_TRUE(isUnreadable(r.values[kT1][0]));
    EXPECT_TRUE(std::isnan(r.values[kHumidity][1]) && !isUnreadable(r.values[kHumidity][1])) << "empty, not unreadable";
    EXPECT_DOUBLE_EQ(r.values[kT1][1], 101.5) << "a temperature of 101.5 °C is one a meter shows";
}
