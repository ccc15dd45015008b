// SPDX-License-Identifier: GPL-3.0-or-later
// Table files read into records and their figures as texts, against answers
// worked out by hand: the locale's decimal comma, overloaded and empty cells
// left out and counted, "—" for a channel with no usable value, the time a
// limit was crossed, condensation minutes, daily summaries and the crossings;
// the live alarm of a run and the limits as the settings keep them.
#include "insight/LimitSettings.h"
#include "insight/RecordSources.h"
#include "insight/StatsText.h"

#include "ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QSettings>
#include <QTemporaryDir>

#include <cmath>
#include <limits>
#include <map>
#include <string>

using namespace vandrel;

namespace {

struct Expect {
    const char *table; // "stats", "derived", "daily", "crossings"
    QString row;       // the first cell of the row
    int column;
    QString text;
};

struct FileCase {
    const char *what;
    const char *file;
    std::vector<Expect> expects;
    int rowsWithoutTime = 0;
};

StatsOptions humidityAbove65()
{
    StatsOptions o;
    o.limits[kHumidity].high = 65;
    o.limits[kHumidity].hysteresis = 1;
    return o;
}

QString cell(const TextTable &t, const QString &row, int column)
{
    for (const QStringList &r : t.rows) {
        if (!r.isEmpty() && r.front() == row)
            return column < r.size() ? r[column] : QStringLiteral("<no column %1>").arg(column);
    }
    return QStringLiteral("<no row ") + row + QLatin1Char('>');
}

} // namespace

TEST(RecordText, TableFilesReadIntoTheFiguresAReportShows)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    const FileCase cases[] = {
        {"two days of four channels, ten minutes apart",
         "07.12.2026\t23:40:00\t50,0\t%RH\t20,0\t\xC2\xB0""C\t15,0\t\xC2\xB0""C\t10,0\t\r\n"
         "07.12.2026\t23:50:00\t70,0\t%RH\t22,0\t\xC2\xB0""C\t11,0\t\xC2\xB0""C\t10,5\t\r\n"
         "08.12.2026\t00:00:00\t72,0\t%RH\tOL\t\xC2\xB0""C\t10,5\t\xC2\xB0""C\t10,0\t\r\n"
         "no date\there\t\r\n"
         "08.12.2026\t00:10:00\t60,0\t%RH\t\t\xC2\xB0""C\t16,0\t\xC2\xB0""C\t10,0\t\r\n"
         "08.12.2026\t00:20:00\t55,0\t%RH\t21,0\t\xC2\xB0""C\t16,0\t\xC2\xB0""C\t10,0\t\r\n",
         {{"stats", "Values", 1, "5"},
          {"stats", "Values", 2, "3"},
          {"stats", "Overloaded cells (left out)", 2, "1"},
          {"stats", "Empty cells (left out)", 2, "1"},
          {"stats", "Minimum", 1, "50,0"},
          {"stats", "Minimum at", 1, "07.12.2026 23:40:00"},
          {"stats", "Maximum", 1, "72,0"},
          {"stats", "Maximum at", 1, "08.12.2026 00:00:00"},
          {"stats", "Mean", 1, "61,4"},
          {"stats", "Mean", 2, "21,0"},
          {"stats", "Standard deviation", 2, "1,00"},
          // Raised at 23:50, cleared at 00:10 (60 is back by the hysteresis).
          {"stats", "Time above", 1, "00:20:00 (40,0 %)"},
          {"stats", "Time within", 1, "00:30:00 (60,0 %)"},
          {"stats", "Time below", 1, "—"},
          {"stats", "Time above", 2, "—"},
          {"stats", "Mean kinetic temperature", 1, ""},
          // T2 within 1 °C of the dew point at 23:50 and 00:00.
          {"derived", "Condensation risk (T2 at or below the dew point + 1,0 °C)", 1, "00:20:00 (40,0 %)"},
          {"daily", "07.12.2026", 1, "50,0"},
          {"daily", "07.12.2026", 3, "60,0"},
          {"daily", "07.12.2026", 4, "00:10:00"},
          {"daily", "08.12.2026", 3, "62,3"},
          {"daily", "08.12.2026", 4, "00:10:00"},
          {"daily", "08.12.2026", 5, "21,0"},
          {"crossings", "Humidity", 1, "above 65,0 %RH"},
          {"crossings", "Humidity", 2, "07.12.2026 23:50:00"},
          {"crossings", "Humidity", 3, "08.12.2026 00:10:00"},
          {"crossings", "Humidity", 4, "00:20:00"},
          {"crossings", "Humidity", 5, "72,0"}},
         1},
        {"a temperature that is overloaded throughout has no figures, and one of two temperatures",
         "07.12.2026\t10:00:00\t66,0\t%RH\tOL\t\xC2\xB0""F\t\t\t\r\n"
         "07.12.2026\t10:00:02\t67,0\t%RH\t-OL\t\xC2\xB0""F\t\t\t\r\n",
         {{"stats", "Values", 2, "0"},
          {"stats", "Overloaded cells (left out)", 2, "2"},
          {"stats", "Minimum", 2, "—"},
          {"stats", "Minimum at", 2, "—"},
          {"stats", "Mean", 2, "—"},
          {"stats", "Mean kinetic temperature", 2, "—"},
          {"stats", "Time above", 1, "00:00:04 (100,0 %)"},
          {"stats", "Time out of the meter's range", 2, "00:00:04 (100,0 %)"},
          {"stats", "Standard deviation", 1, "0,71"},
          {"derived", "Vapour pressure deficit, mean (kPa)", 1, "—"},
          {"crossings", "Humidity", 5, "67,0"},
          {"crossings", "Humidity", 3, "(still beyond at the end)"}}},
    };
    for (const FileCase &c : cases) {
        QByteArray bytes(c.file);
        QBuffer buffer(&bytes);
        ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
        const RecordFile file = readRecordFile(buffer, '\t', german);
        EXPECT_TRUE(file.error.isEmpty()) << c.what;
        EXPECT_EQ(file.notes.unreadable.count, c.rowsWithoutTime) << c.what;
        const StatsOptions o = humidityAbove65();
        const Record &r = file.record;
        const RecordStats s = computeStats(r, o);
        const std::map<std::string, TextTable> tables{
            {"stats", statisticsTable(r, s, o, german)},
            {"derived", derivedTable(r, s, o, german)},
            {"daily", dailyTable(r, dailySummaries(r, o), o, german)},
            {"crossings", crossingsTable(r, limitCrossings(r, o), german)}};
        for (const Expect &e : c.expects)
            EXPECT_EQ(cell(tables.at(e.table), e.row, e.column).toStdString(), e.text.toStdString()) << c.what << ": " << e.table << " " << e.row.toStdString();
    }
}

TEST(RecordText, LongListsAreCutAndSayHowManyWereLeftOut)
{
    // T1 across a high limit of 25 and back every other minute: one crossing
    // per two rows.
    Record hovering;
    hovering.values[kT1] = {};
    for (int i = 0; i < 2 * (kListedCrossings + 2); ++i) {
        hovering.seconds.push_back(60.0 * i);
        hovering.values[kT1].push_back(i % 2 ? 20.0 : 26.0);
    }
    StatsOptions o;
    o.limits[kT1].high = 25;
    const TextTable crossings = crossingsTable(hovering, limitCrossings(hovering, o), QLocale::c());
    EXPECT_EQ(crossings.rows.size(), kListedCrossings);
    EXPECT_EQ(crossings.notes, QStringList{"… and 2 more crossings not listed"});

    // Three rows a minute apart each hour: a gap of 57 minutes after each
    // three, 102 gaps in all.
    Record patchy;
    for (int i = 0; i < 3 * (kListedGaps + 3); ++i)
        patchy.seconds.push_back(3600.0 * (i / 3) + 60.0 * (i % 3));
    patchy.values[kT1].assign(patchy.seconds.size(), 20.0);
    const RecordStats s = computeStats(patchy);
    const TextTable gaps = gapsTable(recordGaps(patchy), s, QLocale::c());
    EXPECT_EQ(gaps.rows.size(), kListedGaps);
    // The first gap starts a usual interval after the third row, at 00:03:00.
    EXPECT_EQ(gaps.rows.front(), (QStringList{recordTimeText(180, QLocale::c()), "00:57:00"}));
    ASSERT_EQ(gaps.notes.size(), 2);
    EXPECT_EQ(gaps.notes[0], "… and 2 more gaps not listed");
    EXPECT_TRUE(gaps.notes[1].startsWith("Time not covered: 96:54:00.")) << gaps.notes[1].toStdString();
}

TEST(LiveLimits, OneNoticePerCrossingAndTheAlarmWhileBeyond)
{
    // Numbers as the tables write them: the locale's decimal comma.
    const test::ScopedDefaultLocale german(QLocale(QLocale::German, QLocale::Germany));
    constexpr double kGap = std::numeric_limits<double>::quiet_NaN();
    StatsOptions o;
    o.limits[kHumidity].high = 65;
    o.limits[kHumidity].delaySeconds = 10;
    o.limits[kT1].low = 10;
    o.limits[kT1].high = 30;
    o.limits[kT1].hysteresis = 0.5;
    struct Step {
        double seconds;
        std::array<double, kChannelCount> values; // humidity, T1, T2, dew point
        QStringList notices;
        QString alarm;
    };
    const Step steps[] = {
        {0, {66, 20, kGap, kGap}, {}, ""},
        {5, {67, 9.5, kGap, kGap}, {"T1 below 10,0 °C: 9,5 °C"}, "ALARM: T1 below 10,0 °C"},
        {10, {68, 10.2, kGap, kGap}, {"Humidity above 65,0 %RH: 68,0 %RH"}, "ALARM: Humidity above 65,0 %RH; T1 below 10,0 °C"},
        {12, {kGap, 10.5, kGap, kGap}, {}, "ALARM: Humidity above 65,0 %RH"},
        {14, {66, 9.0, kGap, kGap}, {"T1 below 10,0 °C: 9,0 °C"}, "ALARM: Humidity above 65,0 %RH; T1 below 10,0 °C"},
        {16, {60, 31, kGap, kGap}, {"T1 above 30,0 °C: 31,0 °C"}, "ALARM: Humidity above 65,0 %RH; T1 above 30,0 °C"},
        {26, {60, 29.5, kGap, kGap}, {}, ""},
    };
    LiveLimits live(o);
    for (const Step &s : steps) {
        EXPECT_EQ(live.feed(s.values, s.seconds), s.notices) << "at " << s.seconds << " s";
        EXPECT_EQ(live.alarmText().toStdString(), s.alarm.toStdString()) << "at " << s.seconds << " s";
    }
}

TEST(LiveLimits, ALimitKeepsItsUnitWhenTheMeterShowsTheOther)
{
    const test::ScopedDefaultLocale c(QLocale::c());
    StatsOptions o;
    o.limits[kT1].high = 25;
    o.limits[kT1].unit = 'C';
    o.limits[kT1].hysteresis = 1; // 1.8 °F
    LiveLimits live(o);
    const auto t1 = [](double v) { return std::array<double, kChannelCount>{50, v, NAN, NAN}; };
    EXPECT_TRUE(live.feed(t1(24.9), 0, 'C').isEmpty());
    EXPECT_TRUE(live.feed(t1(77.0), 1, 'F').isEmpty()) << "77.0 °F is 25 °C: not above";
    EXPECT_EQ(live.feed(t1(77.9), 2, 'F'), QStringList{"T1 above 25.0 °C: 77.9 °F"});
    EXPECT_EQ(live.alarmText(), QStringLiteral("ALARM: T1 above 25.0 °C"));
    EXPECT_TRUE(live.feed(t1(75.4), 3, 'F').isEmpty());
    EXPECT_EQ(live.alarmText(), QStringLiteral("ALARM: T1 above 25.0 °C")) << "75.4 °F is inside by less than 1.8 °F";
    live.feed(t1(75.2), 4, 'F');
    EXPECT_EQ(live.alarmText(), QString());
    EXPECT_EQ(live.feed(t1(INFINITY), 5, 'F'), QStringList{"T1 above 25.0 °C: OL"}) << "an overload is above";
}

TEST(LiveLimits, TheSettingsKeepWhatWasSetAndDropLimitsTheWrongWayRound)
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("limits.ini")), QSettings::IniFormat);
    StatsOptions o;
    o.limits[kHumidity].high = 65;
    o.limits[kHumidity].hysteresis = 2;
    o.limits[kHumidity].delaySeconds = 600;
    o.limits[kDewPoint].low = 22.1;
    o.limits[kDewPoint].unit = 'F';
    o.condensationMargin = 1.5;
    saveLimits(settings, o);
    StatsOptions back = loadLimits(settings);
    EXPECT_TRUE(back.limits == o.limits);
    EXPECT_EQ(back.condensationMargin, 1.5);
    settings.setValue(QStringLiteral("Limits/T1/Low"), 30);
    settings.setValue(QStringLiteral("Limits/T1/High"), 20);
    settings.setValue(QStringLiteral("Limits/T2/High"), QStringLiteral("warm"));
    back = loadLimits(settings);
    EXPECT_FALSE(back.limits[kT1].any());
    EXPECT_FALSE(back.limits[kT2].any());
    o.condensationMargin = kNone;
    saveLimits(settings, o);
    EXPECT_TRUE(std::isnan(loadLimits(settings).condensationMargin));
}
