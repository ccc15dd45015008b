// SPDX-License-Identifier: GPL-3.0-or-later
// One reader for every row: a row written under any locale reads back the
// same, cells keep their states apart, and values no meter can show are
// unreadable rather than figures.
#include "records/RecordRow.h"
#include "records/TableFile.h"
#include "records/TableRow.h"

#include "platform/NumberText.h"

#include <gtest/gtest.h>

using namespace vandrel;

namespace {

std::string_view withoutLineEnd(const std::string &line)
{
    std::string_view v(line);
    while (!v.empty() && (v.back() == '\n' || v.back() == '\r'))
        v.remove_suffix(1);
    return v;
}

} // namespace

TEST(RecordRow, aRowWrittenUnderEachLocaleReadsBackTheSame)
{
    const MeterIdentity dewPointMeter{580, 'D'};
    // The 13th: no locale can take the day for the month.
    const QDateTime when(QDate(2026, 12, 13), QTime(13, 5, 9));
    for (const QLocale &locale :
         {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::English, QLocale::UnitedKingdom),
          QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::French, QLocale::France),
          QLocale(QLocale::Arabic, QLocale::Egypt), QLocale(QLocale::Persian, QLocale::Iran)}) {
        MeterReading reading;
        reading.RhText = formatFixed(45.6, 1, locale);
        reading.T1Text = formatFixed(-21.3, 1, locale);
        reading.T2Text = QStringLiteral("-OL");
        reading.DewPointText = formatFixed(9.2, 1, locale);
        reading.TempUnit = QStringLiteral("F");
        const QStringList cells = realTimeRowCells(1, when, reading, dewPointMeter, locale);
        for (const char sep : {',', '\t'}) {
            SCOPED_TRACE(locale.name().toStdString() + (sep == ',' ? " csv" : " txt"));
            // Read back under the locale it was written in and under another.
            for (const QLocale &reader : {locale, QLocale::c()}) {
                RecordRowReader rows(reader);
                RecordRow row;
                ASSERT_EQ(rows.readLine(withoutLineEnd(tableRowLine(cells, sep)), sep, row), RowRead::Row)
                    << rows.why().toStdString();
                EXPECT_EQ(row.date, when.date());
                EXPECT_EQ(row.secondOfDay, 13 * 3600 + 5 * 60 + 9);
                EXPECT_EQ(row.unit, 'F');
                EXPECT_EQ(row.cells[kHumidity], (Cell{CellState::Value, 45.6, 1}));
                EXPECT_EQ(row.cells[kT1], (Cell{CellState::Value, -21.3, 1}));
                EXPECT_EQ(row.cells[kT2].state, CellState::Under);
                EXPECT_EQ(row.cells[kDewPoint], (Cell{CellState::Value, 9.2, 1}));
            }
        }
    }
}

TEST(RecordRow, cellsKeepTheirStatesApart)
{
    const struct {
        const char *line;
        CellState rh, t1;
        double rhValue, t1Value;
        const char *what;
    } cases[] = {
        {"08/12/2026,10:00:00,54,6,%RH,21.0,C,", CellState::Value, CellState::Unreadable, 54.0, 0,
         "an unquoted decimal comma splits the cell, as it always did"},
        {"08/12/2026,10:00:00,\"54,6\",%RH,21.0,C,", CellState::Value, CellState::Value, 54.6, 21.0,
         "a decimal comma read where the point is the decimal sign"},
        {"08/12/2026,10:00:00,OL,%RH,-OL,C,", CellState::Over, CellState::Under, 0, 0, "overloads on each side"},
        {"08/12/2026,10:00:00,,%RH,abc,C,", CellState::Empty, CellState::Unreadable, 0, 0,
         "empty is not unreadable"},
        {"08/12/2026,10:00:00,100.1,%RH,-273.2,C,", CellState::Unreadable, CellState::Unreadable, 0, 0,
         "beyond what a meter can show"},
        {"08/12/2026,10:00:00,100.0,%RH,-273.1,F,", CellState::Value, CellState::Value, 100.0, -273.1,
         "-273.1 °F is a temperature"},
    };
    for (const auto &c : cases) {
        RecordRowReader rows(QLocale::c());
        RecordRow row;
        ASSERT_EQ(rows.readLine(c.line, ',', row), RowRead::Row) << c.what;
        EXPECT_EQ(row.cells[kHumidity].state, c.rh) << c.what;
        EXPECT_EQ(row.cells[kT1].state, c.t1) << c.what;
        if (c.rh == CellState::Value) {
            EXPECT_DOUBLE_EQ(row.cells[kHumidity].value, c.rhValue) << c.what;
        }
        if (c.t1 == CellState::Value) {
            EXPECT_DOUBLE_EQ(row.cells[kT1].value, c.t1Value) << c.what;
        }
    }
}

TEST(RecordRow, aRowWithoutDateOrTimeSaysWhy)
{
    RecordRowReader rows(QLocale::c());
    RecordRow row;
    EXPECT_EQ(rows.readLine(",,,,", ',', row), RowRead::Blank);
    EXPECT_EQ(rows.readLine("08/1", ',', row), RowRead::Unreadable);
    EXPECT_EQ(rows.why(), QStringLiteral("no comma between its cells"));
    EXPECT_EQ(rows.readLine("08/1,10:00:00,45.0,", ',', row), RowRead::Unreadable);
    EXPECT_EQ(rows.why(), QStringLiteral("\"08/1\" is not a date"));
    EXPECT_EQ(rows.readLine("2026-12-08,10:61:00,45.0,", ',', row), RowRead::Unreadable);
    EXPECT_EQ(rows.why(), QStringLiteral("\"10:61:00\" is not a time (HH:mm:ss)"));
}

TEST(RecordRow, theReadingsCellsComeFromItsNumbers)
{
    MeterReading r;
    r.Rh = 45.6;
    r.T1 = 21.3;
    r.T2Over = true;
    r.T2Neg = true;
    r.DewPoint = 9.2;
    r.DewPointOverload = true;
    r.TempUnit = QStringLiteral("F");
    const auto cells = readingCells(r, MeterIdentity{580, 'D'});
    EXPECT_EQ(cells[kHumidity], (Cell{CellState::Value, 45.6, 1}));
    EXPECT_EQ(cells[kT2].state, CellState::Under);
    EXPECT_EQ(cells[kDewPoint].state, CellState::Over);
    EXPECT_EQ(readingUnit(r), 'F');
    // A meter of one temperature has no T2 and no dew point, whatever the frame held.
    const auto one = readingCells(r, MeterIdentity{520, 0});
    EXPECT_EQ(one[kT2].state, CellState::Empty);
    EXPECT_EQ(one[kDewPoint].state, CellState::Empty);
}
