// SPDX-License-Identifier: GPL-3.0-or-later
// Pure rules of a real-time run: sampling, the controls' faces, the time span,
// date-times as day counts, the start-up layout, the temperature-axis rule and
// the cells of a real-time row, and date-times in several time zones.
#include "realtime/OutputToGraph.h"
#include "realtime/RealTimeRun.h"
#include "records/TableRow.h"

#include "ScopedEnvironment.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>

using namespace vandrel;

TEST(RealTimeSampling, DueEverySampleRateTicksWhileRunning)
{
    RealTimeRun run;
    run.SampleRate = 2;
    int counter = run.SampleRate; // Run on an empty graph samples at the first tick
    std::vector<int> sampledAt;
    run.RealTimeRunning = true;
    for (int tick = 1; tick <= 7; ++tick) {
        if (takeSampleIfDue(run, counter))
            sampledAt.push_back(tick);
        ++counter; // the next tick counts
    }
    EXPECT_EQ(sampledAt, (std::vector<int>{1, 3, 5, 7}));

    run.RealTimeRunning = false;
    counter = 100;
    EXPECT_FALSE(takeSampleIfDue(run, counter));
    EXPECT_EQ(counter, 100);

    run.RealTimeRunning = true;
    run.SampleRate = 0; // every tick with a frame
    counter = 0;
    EXPECT_TRUE(takeSampleIfDue(run, counter));
}

TEST(RealTimeControls, FacesAndSpan)
{
    RealTimeRun run;
    EXPECT_EQ(run.RunCaption, "&Run");
    showPauseFace(run);
    EXPECT_EQ(run.RunTag, RunFace::Pause);
    EXPECT_EQ(run.RunCaption, "Pause");
    showRunFace(run);
    EXPECT_EQ(run.RunTag, RunFace::Run);
    EXPECT_EQ(run.RunCaption, "Run");
    EXPECT_DOUBLE_EQ(graphSpanFor(864), 1.0);
    EXPECT_DOUBLE_EQ(graphSpanFor(2), 200 / 86400.0);
}

TEST(DayCount, RoundTripsLocalTime)
{
    const QDateTime t(QDate(2026, 12, 6), QTime(13, 5, 9));
    const double d = toDays(t);
    EXPECT_NEAR(d, 46362 + (13 * 3600 + 5 * 60 + 9) / 86400.0, 1e-9);
    EXPECT_EQ(fromDays(d).date(), t.date());
    EXPECT_EQ(fromDays(d).time(), t.time());
    EXPECT_EQ(fromDays(0.5).date(), QDate(1899, 12, 30));
    EXPECT_EQ(fromDays(0.5).time(), QTime(12, 0));
    EXPECT_EQ(fromDays(1.0 - 1e-12).date(), QDate(1899, 12, 31)) << "a hair before midnight rounds to it";
    EXPECT_FALSE(fromDays(std::nan("")).isValid());
    EXPECT_FALSE(fromDays(1e300).isValid());
}

// A clock reading in the hour a change to summer time skips still counts as
// the clock showed it: never midnight, never no number.
TEST(DayCount, AReadingInsideADaylightSavingGapCountsAsShown)
{
    const QTimeZone berlin("Europe/Berlin");
    ASSERT_TRUE(berlin.isValid());
    const QDate day(2026, 3, 29); // 02:00 becomes 03:00
    const QDateTime inGap(day, QTime(2, 30), berlin);
    const double d = toDays(inGap);
    EXPECT_NEAR(d, QDate(1899, 12, 30).daysTo(day) + 2.5 / 24, 1e-9);
    EXPECT_EQ(fromDays(d).time(), QTime(2, 30));
}

TEST(StartupLayout, ByScreenHeightAndFillingTheClientArea)
{
    struct Case {
        int clientHeight, screenHeight;
        QRect graph, table;
    };
    const Case cases[] = {
        {448, 600, QRect(128, 0, 872, 227), QRect(128, 227, 872, 221)},
        {700, 768, QRect(128, 0, 872, 400), QRect(128, 400, 872, 300)},
        // 1920x1080: about 990 under the bars, shared in the same proportion.
        {990, 1080, QRect(128, 0, 872, 565), QRect(128, 565, 872, 425)},
        {900, 768, QRect(128, 0, 872, 514), QRect(128, 514, 872, 386)},
        // A 768-pixel screen leaves less than 700 under the bars: both give way.
        {630, 768, QRect(128, 0, 872, 360), QRect(128, 360, 872, 270)},
        {400, 600, QRect(128, 0, 872, 202), QRect(128, 202, 872, 198)},
        {0, 768, QRect(128, 0, 872, 400), QRect(128, 400, 872, 300)}, // not laid out yet
    };
    for (const Case &c : cases) {
        const StartupLayout l = startupLayout(128, 1000, c.clientHeight, c.screenHeight);
        EXPECT_EQ(l.graph, c.graph) << c.clientHeight;
        EXPECT_EQ(l.table, c.table) << c.clientHeight;
    }
}

TEST(AxisFromExtremes, WidensOneSideAtATime)
{
    EXPECT_FLOAT_EQ(axisMaxFrom(150.0f), 185.0f);
    EXPECT_FLOAT_EQ(axisMaxFrom(100.0f), 140.0f); // at least 140
    EXPECT_FLOAT_EQ(axisMaxFrom(-10.0f), 140.0f);
    EXPECT_FLOAT_EQ(axisMaxFrom(120.0f), 152.0f);
    EXPECT_FLOAT_EQ(axisMinFrom(-30.0f), -53.0f);
    EXPECT_FLOAT_EQ(axisMinFrom(10.0f), -40.0f); // at most -40
    EXPECT_FLOAT_EQ(axisMinFrom(-100.0f), -130.0f);
}

TEST(TableRow, CellsByModel)
{
    MeterReading r;
    r.RhText = "45.6";
    r.T1Text = "21.3";
    r.T2Text = "19.8";
    r.DewPointText = "9.2";
    r.TempUnit = "C";
    const QDateTime t(QDate(2026, 12, 6), QTime(13, 5, 9));
    const QLocale c(QLocale::C);

    QStringList cells = realTimeRowCells(3, t, r, {580, 'D'}, c);
    EXPECT_EQ(cells, QStringList({"3", tableDate(t.date(), c), "13:05:09", "45.6", "%RH", "21.3", "C", "19.8", "C",
                                  "9.2"}));
    cells = realTimeRowCells(1, t, r, {580, 0}, c);
    EXPECT_EQ(cells[9], "");
    EXPECT_EQ(cells[7], "19.8");
    cells = realTimeRowCells(1, t, r, {520, 0}, c);
    EXPECT_EQ(cells.mid(7), QStringList({"", "", ""}));
    EXPECT_EQ(cells[5], "21.3");
}

TEST(TableRow, HeadingsAndDates)
{
    EXPECT_EQ(tableHeadings(520), QStringList({"NO", "DATE", "TIME", "HUMIDITY", "UNIT", "Temperature", "UNIT", "", ""}));
    EXPECT_EQ(tableHeadings(580).mid(5), QStringList({"T1", "UNIT", "T2", "UNIT", "Dewpoint"}));
    EXPECT_EQ(tableHeadings(999).size(), 5);
    const QLocale uk(QLocale::English, QLocale::UnitedKingdom);
    EXPECT_EQ(tableDate(QDate(2026, 12, 6), uk), "06/12/2026");
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_TRUE(tableDate(QDate(2026, 12, 6), us).endsWith("2026")); // never a two-digit year
}

namespace {

struct WallClockCase {
    const char *name;
    QDate date;
    QTime time;
};

// Moments around clock changes: Berlin's repeated hour (25 Oct 2009, 02:00 to
// 03:00 twice) and skipped hour (29 Mar 2009, 02:00 to 03:00), and São Paulo's
// missing midnight (4 Nov 2018 began at 01:00); then ordinary and early days.
const WallClockCase kMoments[] = {
    {"BerlinRepeatedHour", QDate(2009, 10, 25), QTime(2, 30)},
    {"BerlinAfterRepeatedHour", QDate(2009, 10, 25), QTime(3, 30)},
    {"BerlinSkippedHour", QDate(2009, 3, 29), QTime(2, 30)},
    {"BerlinAfterSkippedHour", QDate(2009, 3, 29), QTime(3, 30)},
    {"SaoPauloMissingMidnight", QDate(2018, 11, 4), QTime(0, 0)},
    {"SaoPauloAfterMidnight", QDate(2018, 11, 4), QTime(1, 30, 15)},
    {"Ordinary", QDate(2026, 12, 6), QTime(13, 5, 9)},
    {"DayZero", QDate(1899, 12, 30), QTime(0, 0)},
    {"BeforeDayZero", QDate(1850, 1, 1), QTime(23, 59, 59)},
};

class WallClockTimes : public ::testing::TestWithParam<const char *> {};

} // namespace

// A date-time is the clock reading itself: in every time zone it turns into the
// same day count, back into the same date and time, into the same DATE and TIME
// cells of a real-time row, and those cells read back into the same day count.
TEST_P(WallClockTimes, AreTheSameInEveryTimeZone)
{
    const test::ScopedTimeZone zone(GetParam());
    const QLocale uk(QLocale::English, QLocale::UnitedKingdom);
    MeterReading reading;
    for (const WallClockCase &m : kMoments) {
        SCOPED_TRACE(m.name);
        const double days = QDate(1899, 12, 30).daysTo(m.date) + m.time.msecsSinceStartOfDay() / 86400000.0;
        const QDateTime back = fromDays(days);
        EXPECT_EQ(back.date(), m.date);
        EXPECT_EQ(back.time(), m.time);
        const auto read = tableDateTime(tableDate(back.date(), uk), tableTime(back.time()), uk);
        ASSERT_TRUE(read.has_value());
        EXPECT_NEAR(*read, days, 1e-9);

        // A sample is stamped with the local clock; where this zone's clock
        // shows the moment, its row and its graph point carry exactly it.
        const QDateTime stamp(m.date, m.time);
        if (!stamp.isValid() || stamp.time() != m.time)
            continue;
        EXPECT_NEAR(toDays(stamp), days, 1e-9);
        const QStringList cells = realTimeRowCells(1, stamp, reading, {580, 'D'}, uk);
        EXPECT_EQ(cells[1], tableDate(m.date, uk));
        EXPECT_EQ(cells[2], m.time.toString("HH:mm:ss"));
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, WallClockTimes,
                         ::testing::Values("UTC", "Europe/Berlin", "America/Sao_Paulo", "Asia/Kolkata",
                                           "Australia/Lord_Howe"),
                         [](const auto &info) {
                             QString n = QString::fromLatin1(info.param);
                             return n.replace('/', '_').toStdString();
                         });
