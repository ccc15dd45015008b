// SPDX-License-Identifier: GPL-3.0-or-later
// Tables drawn as graphs through the real code, with the message box and the
// progress window replaced by a recorder: series, values, times, the axis, failures.
#include "meter/DecodeFrame.h"
#include "platform/MeterChart.h"
#include "platform/StringGrid.h"
#include "realtime/GraphCells.h"
#include "realtime/GraphSetup.h"
#include "realtime/OutputToGraph.h"
#include "realtime/RealTimeRun.h"
#include "realtime/TableFileDialogs.h"
#include "records/TableRow.h"
#include "realtime/TfrmGraph.h"
#include "realtime/TfrmList.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <gtest/gtest.h>

using namespace vandrel;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);

struct RecordingUi : OutputGraphUi {
    QStringList messages;
    int progressMaximum = -1;
    QList<int> reports;
    bool progressOpen = false;
    std::function<void(int)> onReport; // plays what happens while rows are drawn

    struct Progress : GraphingProgress {
        RecordingUi &ui;
        explicit Progress(RecordingUi &u) : ui(u) { ui.progressOpen = true; }
        ~Progress() override { ui.progressOpen = false; }
        void report(int row) override
        {
            ui.reports << row;
            if (ui.onReport)
                ui.onReport(row);
        }
    };
    void showMessage(const QString &text) override { messages << text; }
    std::unique_ptr<GraphingProgress> showProgress(int maximum) override
    {
        progressMaximum = maximum;
        return std::make_unique<Progress>(*this);
    }
};

// A table window of rows one minute apart from 12 June 2026 13:00; cells
// given per row override columns 3.. (humidity, unit, T1, unit, T2, unit, dew point).
struct Table {
    QMdiArea area;
    TfrmList *window = new TfrmList;
    RecordingUi ui;
    QLocale locale;

    explicit Table(const QList<QStringList> &rows, const QLocale &l = kUs) : locale(l)
    {
        window->showIn(area, "/tmp/run.csv");
        StringGrid &g = *window->Grid1;
        g.setRowCount(static_cast<int>(rows.size()) + 1);
        for (int r = 1; r <= rows.size(); ++r) {
            g.setCells(0, r, QString::number(r));
            g.setCells(1, r, tableDate(QDate(2026, 6, 12), locale));
            g.setCells(2, r, tableTime(QTime(13, r - 1, 0)));
            const QStringList &cells = rows[r - 1];
            for (int c = 0; c < cells.size(); ++c)
                g.setCells(3 + c, r, cells[c]);
        }
    }
    StringGrid &grid() { return *window->Grid1; }
    TfrmGraph *draw() { return OutputToGraph(area, *window, ui, locale); }
    static double minute(int m) { return *tableDateTime("6/12/2026", tableTime(QTime(13, m, 0)), kUs); }
};

const QStringList kOne{"45.6", "%RH", "21.3", "C"};
const QStringList kTwo{"45.6", "%RH", "21.3", "C", "19.8", "C", "9.2"};

double temperatureMax(MeterChart &c) { return c.SetWorkingAxis(1), c.GetYMax(); }
double temperatureMin(MeterChart &c) { return c.SetWorkingAxis(1), c.GetYMin(); }

} // namespace

TEST(TableDateTime, ReadsTheTableFormatAsDaysSinceDayZero)
{
    EXPECT_DOUBLE_EQ(*tableDateTime("1/1/2000", "12:00:00", kUs), 36526.5);
    EXPECT_DOUBLE_EQ(*tableDateTime(tableDate(QDate(2026, 6, 12), kUs), "13:05:30", kUs),
                     toDays(QDateTime(QDate(2026, 6, 12), QTime(13, 5, 30))));
    EXPECT_FALSE(tableDateTime("13/13/2000", "12:00:00", kUs)); // no month 13 in any order
    EXPECT_FALSE(tableDateTime("1/1/2000", "12:60:00", kUs));
    EXPECT_FALSE(tableDateTime("", "", kUs));
}

TEST(GraphCellValue, OverloadsAreFarEdgesAndNumbersFollowTheLocale)
{
    EXPECT_EQ(graphCellValue("OL", kUs), 6553.5);
    EXPECT_EQ(graphCellValue("-OL", kUs), -6553.5);
    EXPECT_EQ(graphCellValue("21,5", QLocale(QLocale::German)), 21.5);
    EXPECT_EQ(graphCellValue("-3.25", kUs), -3.25);
    for (const char *bad : {"", "abc", "ol", "nan", "inf", "1e300"})
        EXPECT_FALSE(graphCellValue(bad, kUs)) << bad;
}

TEST(OutputToGraph, SeriesByTheSecondUnitColumnAndOnePointPerRow)
{
    Table two({kOne, kOne, kOne});
    TfrmGraph *g = two.draw();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->Chart1->SeriesCount(), 2);
    EXPECT_EQ(g->Chart1->PointCount(), 3);
    EXPECT_EQ(g->subWindow()->windowTitle(), "Graph of /tmp/run.csv");

    for (const char *unit : {"C", "F"}) {
        Table four({{"45.6", "%RH", "21.3", unit, "19.8", unit}, kTwo});
        EXPECT_EQ(four.draw()->Chart1->SeriesCount(), 4) << unit;
    }
}

TEST(OutputToGraph, DrawsEveryCellAtItsRowTimeAndSpansFirstToLastSample)
{
    Table t({kTwo, {"OL", "%RH", "-OL", "C", "19.5", "C", ""}, kTwo, kTwo});
    MeterChart &c = *t.draw()->Chart1;
    EXPECT_DOUBLE_EQ(c.GetXMin(), Table::minute(0));
    EXPECT_DOUBLE_EQ(c.GetXMax(), Table::minute(3));
    for (int s = 0; s < 3; ++s)
        EXPECT_DOUBLE_EQ(c.GetX(s, 1), Table::minute(1)) << s;
    EXPECT_DOUBLE_EQ(c.GetY(0, 1), 6553.5);
    EXPECT_DOUBLE_EQ(c.GetY(1, 1), -6553.5);
    EXPECT_FLOAT_EQ(c.GetY(2, 1), 19.5f);
    EXPECT_EQ(c.GetY(3, 1), kNullY); // no dew point in that row
    EXPECT_FLOAT_EQ(c.GetY(3, 2), 9.2f);
    // Overloads are not temperatures: the axis keeps its usual span.
    EXPECT_FLOAT_EQ(temperatureMax(c), 140.0f);
    EXPECT_FLOAT_EQ(temperatureMin(c), -40.0f);
    EXPECT_EQ(t.ui.progressMaximum, 4);
    EXPECT_EQ(t.ui.reports, (QList<int>{1, 2, 3, 4}));
    EXPECT_FALSE(t.ui.progressOpen);
    EXPECT_TRUE(t.ui.messages.isEmpty());
}

TEST(OutputToGraph, TemperatureAxisWidensToTheExtremesOfEitherTemperature)
{
    Table hot({kOne, {"45.6", "%RH", "120.0", "C"}});
    EXPECT_FLOAT_EQ(temperatureMax(*hot.draw()->Chart1), 152.0f);
    Table cold({{"45.6", "%RH", "21.3", "C", "-30.0", "C"}, kTwo});
    MeterChart &c = *cold.draw()->Chart1;
    EXPECT_FLOAT_EQ(temperatureMin(c), -53.0f);
    EXPECT_FLOAT_EQ(temperatureMax(c), 140.0f);
    Table german({{"45,6", "%RH", "120,0", "C"}}, QLocale(QLocale::German));
    MeterChart &d = *german.draw()->Chart1;
    EXPECT_FLOAT_EQ(d.GetY(0, 0), 45.6f);
    EXPECT_FLOAT_EQ(temperatureMax(d), 152.0f);
}

TEST(OutputToGraph, AnUnreadableCellLeavesOutOnlyItsOwnStep)
{
    Table t({kTwo, {"abc", "%RH", "22.0", "C", "x", "C", "9.0"}, kTwo, kTwo});
    t.grid().setCells(2, 3, "13:2x:00");
    MeterChart &c = *t.draw()->Chart1;
    EXPECT_EQ(c.GetY(0, 1), kNullY);
    EXPECT_FLOAT_EQ(c.GetY(1, 1), 22.0f);
    EXPECT_EQ(c.GetY(2, 1), kNullY);
    EXPECT_EQ(c.GetY(3, 1), kNullY); // the dew point goes with the unreadable T2
    // Row 3 has no time: no humidity point, its temperatures at row 2's time.
    EXPECT_EQ(c.GetY(0, 2), kNullY);
    EXPECT_FLOAT_EQ(c.GetY(1, 2), 21.3f);
    EXPECT_DOUBLE_EQ(c.GetX(1, 2), Table::minute(1));
    EXPECT_TRUE(t.ui.messages.isEmpty());
}

TEST(OutputToGraph, NoDataOrNoValidFirstOrLastTimeStopsWithItsMessage)
{
    Table empty(QList<QStringList>{QStringList{}});
    empty.grid().setCells(1, 1, "");
    EXPECT_EQ(empty.draw(), nullptr);
    EXPECT_EQ(empty.ui.messages, QStringList{"No data to graph !"});
    EXPECT_EQ(empty.area.subWindowList().size(), 1);

    for (int badRow : {1, 3}) {
        Table t({kOne, kOne, kOne});
        t.grid().setCells(1, badRow, "31/13/2026");
        TfrmGraph *g = t.draw();
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(t.ui.messages, QStringList{"'31/13/2026 13:0" + QString::number(badRow - 1) +
                                             ":00' is not a valid date and time"});
        EXPECT_EQ(g->Chart1->PointCount(), 0);
        EXPECT_EQ(t.ui.progressMaximum, -1);
        EXPECT_EQ(t.area.subWindowList().size(), 2);
    }
}

TEST(OutputToGraph, WindowsClosedWhileDrawingEndTheDrawingSafely)
{
    Table t({kOne, kOne, kOne, kOne});
    t.ui.onReport = [&](int row) {
        if (row == 2) {
            t.window->subWindow()->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    };
    TfrmGraph *g = t.draw();
    ASSERT_NE(g, nullptr);
    EXPECT_FLOAT_EQ(g->Chart1->GetY(0, 0), 45.6f);
    EXPECT_EQ(g->Chart1->GetY(0, 1), kNullY);

    Table u({kOne, kOne});
    u.ui.onReport = [&](int) {
        for (QMdiSubWindow *w : u.area.subWindowList())
            if (qobject_cast<TfrmGraph *>(w->widget()))
                w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    EXPECT_EQ(u.draw(), nullptr);
}

namespace {

struct DateCase {
    QLocale locale;
    const char *text;
    QDate date; // invalid: not a date
};

} // namespace

// The graph reads the dates the tables write (four-digit years, ASCII digits in
// every locale) and the system's short date with a two-digit year as other
// programs write it: 00-69 in the 2000s, 70-99 in the 1900s.
TEST(TableDateTime, ReadsFourDigitYearsAndTwoDigitYearsOfTheShortDate)
{
    const QLocale de(QLocale::German, QLocale::Germany);
    const QLocale uk(QLocale::English, QLocale::UnitedKingdom);
    const DateCase cases[] = {
        {kUs, "12/6/26", QDate(2026, 12, 6)},   {kUs, "12/6/2026", QDate(2026, 12, 6)},
        {kUs, "1/1/70", QDate(1970, 1, 1)},     {kUs, "12/31/69", QDate(2069, 12, 31)},
        {de, "06.12.26", QDate(2026, 12, 6)},   {de, "01.01.00", QDate(2000, 1, 1)},
        {de, "15.06.99", QDate(1999, 6, 15)},   {de, "06.12.2026", QDate(2026, 12, 6)},
        {de, "06.12.1926", QDate(1926, 12, 6)}, {uk, "06/12/09", QDate(2009, 12, 6)},
        {de, "06.13.26", QDate()},              {kUs, "12/6/", QDate()},
    };
    for (const DateCase &c : cases) {
        SCOPED_TRACE(c.text);
        const auto days = tableDateTime(c.text, "13:05:30", c.locale);
        ASSERT_EQ(days.has_value(), c.date.isValid());
        if (days) {
            EXPECT_DOUBLE_EQ(*days, QDate(1899, 12, 30).daysTo(c.date) + (13 * 3600 + 5 * 60 + 30) / 86400.0);
        }
    }

    const QDate written(2026, 12, 6);
    for (const QLocale &l : {QLocale::c(), kUs, de, uk, QLocale(QLocale::Swedish, QLocale::Sweden),
                             QLocale(QLocale::Arabic, QLocale::Egypt)}) {
        SCOPED_TRACE(qPrintable(l.name()));
        const QString text = tableDate(written, l);
        EXPECT_TRUE(text.contains("2026")) << "four ASCII digits of the year";
        const auto days = tableDateTime(text, "00:00:00", l);
        ASSERT_TRUE(days.has_value());
        EXPECT_DOUBLE_EQ(*days, QDate(1899, 12, 30).daysTo(written));
    }

    // A whole table of two-digit dates is drawn.
    Table t({kOne, kOne}, de);
    t.grid().setCells(1, 1, "12.06.26");
    t.grid().setCells(1, 2, "12.06.26");
    MeterChart &c = *t.draw()->Chart1;
    EXPECT_TRUE(t.ui.messages.isEmpty());
    EXPECT_DOUBLE_EQ(c.GetX(0, 1), Table::minute(1));
}

namespace {

struct LocalePair {
    const char *name;
    QLocale writer, reader;
};

class TablesFromAnotherMachine : public ::testing::TestWithParam<LocalePair> {};

} // namespace

// A real-time table saved under one locale, opened and drawn under another,
// in both file kinds: every point at its time, with its values.
TEST_P(TablesFromAnotherMachine, AreDrawnWithTheirDatesAndNumbers)
{
    const LocalePair &pair = GetParam();
    const MeterIdentity id{580, 'D'};
    const QDateTime first(QDate(2026, 12, 7), QTime(21, 35, 5));
    QMdiArea area;
    auto *written = new TfrmList;
    written->showIn(area, "written");
    StringGrid &rows = *written->Grid1;
    rows.setColCount(kTableColumns);
    rows.setRowCount(3);
    const auto setRow = [&rows](int row, const QStringList &cells) {
        for (int col = 0; col < cells.size(); ++col)
            rows.setCells(col, row, cells[col]);
    };
    MeterReading r;
    // 45.6 %RH, T1 -3.0 C, T2 19.8 C; then 12.3 %RH, 21.3 C, -200.7 C.
    DecodeFrame(r, {0x02, 0, 0x20, 0x01, 0xC8, 0x00, 0x1E, 0x00, 0xC6, 0x03}, id, first, pair.writer);
    setRow(1, realTimeRowCells(1, first, r, id, pair.writer));
    DecodeFrame(r, {0x02, 0, 0x08, 0x00, 0x7B, 0x00, 0xD5, 0x07, 0xD7, 0x03}, id, first.addSecs(10), pair.writer);
    setRow(2, realTimeRowCells(2, first.addSecs(10), r, id, pair.writer));

    for (const char sep : {'\t', ','}) {
        SCOPED_TRACE(sep == ',' ? "csv" : "txt");
        QByteArray bytes;
        QBuffer out(&bytes);
        out.open(QIODevice::WriteOnly);
        ASSERT_TRUE(writeTableRows(out, rows, {1, 2}, sep, nullptr).complete);
        out.close();
        QBuffer in(&bytes);
        in.open(QIODevice::ReadOnly);
        auto *opened = new TfrmList;
        opened->showIn(area, sep == ',' ? "opened.csv" : "opened.txt");
        ASSERT_TRUE(readTableRows(in, *opened->Grid1, sep, nullptr).complete);

        RecordingUi ui;
        TfrmGraph *graph = OutputToGraph(area, *opened, ui, pair.reader);
        ASSERT_NE(graph, nullptr);
        EXPECT_TRUE(ui.messages.isEmpty()) << qPrintable(ui.messages.value(0));
        MeterChart &c = *graph->Chart1;
        ASSERT_EQ(c.PointCount(), 2);
        EXPECT_DOUBLE_EQ(c.GetX(0, 0), toDays(first));
        EXPECT_DOUBLE_EQ(c.GetX(0, 1), toDays(first.addSecs(10)));
        const double expected[2][3] = {{45.6, -3.0, 19.8}, {12.3, 21.3, -200.0}};
        for (int p = 0; p < 2; ++p) {
            for (int s = 0; s < 3; ++s)
                EXPECT_FLOAT_EQ(c.GetY(s, p), static_cast<float>(expected[p][s])) << p << " " << s;
        }
        EXPECT_FLOAT_EQ(c.GetY(3, 0), -13.1f) << "the dew point, as the table shows it";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Locales, TablesFromAnotherMachine,
    ::testing::Values(LocalePair{"GermanReadInC", QLocale(QLocale::German, QLocale::Germany), QLocale::c()},
                      LocalePair{"CReadInGerman", QLocale::c(), QLocale(QLocale::German, QLocale::Germany)},
                      LocalePair{"GermanReadInUs", QLocale(QLocale::German, QLocale::Germany), kUs},
                      LocalePair{"UsReadInUs", kUs, kUs},
                      LocalePair{"SwedishReadInUs", QLocale(QLocale::Swedish, QLocale::Sweden), kUs},
                      LocalePair{"FrenchReadInC", QLocale(QLocale::French, QLocale::France), QLocale::c()},
                      LocalePair{"ArabicReadInGerman", QLocale(QLocale::Arabic, QLocale::Egypt),
                                 QLocale(QLocale::German, QLocale::Germany)}),
    [](const auto &info) { return std::string(info.param.name); });

namespace {

struct DewPointCase {
    const char *name;
    MeterIdentity id;
    std::uint8_t statusB;
    bool drawn;
};

class DewPointCurve : public ::testing::TestWithParam<DewPointCase> {};

} // namespace

// Only a dew point the meter's readings give is drawn: a meter without the
// dew-point variant, or an overloaded humidity, leaves the curve empty in the
// real-time graph and in the graph drawn from the real-time table alike.
TEST_P(DewPointCurve, IsDrawnOnlyFromAMeasuredDewPoint)
{
    const DewPointCase &c = GetParam();
    MeterReading r;
    DecodeFrame(r, {0x02, 0, c.statusB, 0x01, 0xF4, 0x00, 0xC8, 0x00, 0xC3, 0x03}, c.id,
                QDateTime(QDate(2026, 6, 12), QTime(13, 0)), kUs);

    MeterChart live;
    SetupMeterGraph(live, 10, 1, 0.5, c.id.MeterModel);
    int next = 0;
    AppendGraphSample(live, next, 0.1, r, 0.6);

    Table table({realTimeRowCells(1, QDateTime(QDate(2026, 6, 12), QTime(13, 0)), r, c.id, kUs).mid(3)});
    MeterChart &drawn = *table.draw()->Chart1;
    ASSERT_EQ(drawn.SeriesCount(), 4);
    if (c.drawn) {
        EXPECT_FLOAT_EQ(live.GetY(3, 0), static_cast<float>(r.DewPoint));
        EXPECT_FLOAT_EQ(drawn.GetY(3, 0), r.DewPointText.toFloat());
    } else {
        EXPECT_EQ(live.GetY(3, 0), kNullY);
        EXPECT_EQ(drawn.GetY(3, 0), kNullY);
    }
    EXPECT_FLOAT_EQ(live.GetY(2, 0), 19.5f) << "the other curves are drawn";
}

INSTANTIATE_TEST_SUITE_P(Meters, DewPointCurve,
                         ::testing::Values(DewPointCase{"Model580", {580, 0}, 0, false},
                                           DewPointCase{"Model540", {540, 0}, 0, false},
                                           DewPointCase{"Model580D", {580, 'D'}, 0, true},
                                           DewPointCase{"Model580DHumidityOverloaded", {580, 'D'}, 0x40, false}),
                         [](const auto &info) { return std::string(info.param.name); });

// A graph keeps one unit per axis, named on it: the unit of its first sample.
// A unit switched on the meter later is converted to it, in the live graph and
// in a graph drawn from the table, whose rows keep their own units.
TEST(GraphUnits, TheFirstSamplesUnitHoldsAndLaterSamplesAreConverted)
{
    // The title the chart is given; how much of it shows depends on the pane's height.
    const auto title = [](MeterChart &chart, int axis) {
        chart.SetWorkingAxis(axis);
        const QString text = chart.GetYLabel();
        chart.SetWorkingAxis(0);
        return text;
    };
    struct Sample {
        QString unit;
        double t1, t2, dewPoint;
    };
    const Sample celsius{"C", 25.0, 20.0, 10.0};
    const Sample fahrenheit{"F", 77.0, 68.0, 50.0};
    for (const auto &[first, second] : {std::pair{celsius, fahrenheit}, std::pair{fahrenheit, celsius}}) {
        SCOPED_TRACE(first.unit.toStdString());
        const QString label = QStringLiteral("TEMPERATURE (\u00b0") + first.unit + QLatin1Char(')');
        MeterChart live;
        SetupMeterGraph(live, 10, 1, 0.5, 580);
        EXPECT_EQ(title(live, 1), "TEMPERATURE") << "no unit before any data";
        int next = 0;
        QList<QStringList> rows;
        for (const Sample &s : {first, second}) {
            MeterReading r;
            r.TempUnit = s.unit;
            r.Rh = 45.6;
            r.T1 = s.t1;
            r.T2 = s.t2;
            r.DewPoint = s.dewPoint;
            r.HasDewPoint = true;
            AppendGraphSample(live, next, 0.1, r, 0.6 + next * 0.01);
            rows.append({"45.6", "%RH", QString::number(s.t1), s.unit, QString::number(s.t2), s.unit,
                         QString::number(s.dewPoint)});
        }
        rows.append({"45.6", "%RH", "OL", second.unit, "-OL", second.unit, ""}); // overloads are no temperatures
        Table table(rows);
        MeterChart &drawn = *table.draw()->Chart1;
        for (MeterChart *chart : {&live, &drawn}) {
            EXPECT_EQ(title(*chart, 1), label);
            EXPECT_EQ(title(*chart, 0), "HUMIDITY (%RH)");
            for (int point : {0, 1}) {
                EXPECT_NEAR(chart->GetY(1, point), first.t1, 1e-4) << point;
                EXPECT_NEAR(chart->GetY(2, point), first.t2, 1e-4) << point;
                EXPECT_NEAR(chart->GetY(3, point), first.dewPoint, 1e-4) << point;
            }
        }
        EXPECT_EQ(drawn.GetY(1, 2), kOverloadY);
        EXPECT_EQ(drawn.GetY(2, 2), -kOverloadY);
        EXPECT_EQ(table.grid().Cells(6, 2), second.unit) << "the rows keep their own units";

        // A cleared graph starts again with the unit of its next first sample.
        ClearGraph(live, 0.5, 0.1);
        next = 0;
        MeterReading r;
        r.TempUnit = second.unit;
        r.T1 = second.t1;
        AppendGraphSample(live, next, 0.1, r, 0.6);
        EXPECT_EQ(title(live, 1), QStringLiteral("TEMPERATURE (\u00b0") + second.unit + QLatin1Char(')'));
        EXPECT_NEAR(live.GetY(1, 0), second.t1, 1e-4);
    }
}

// The cells of a big table are read without the locale's readers where that
// cannot change a value: every text must still read exactly as they read it.
TEST(GraphCellReader, ReadsEveryTextAsTheLocaleReadersDo)
{
    const QLocale locales[] = {kUs, QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
                               QLocale(QLocale::Swedish, QLocale::Sweden), QLocale(QLocale::French, QLocale::France),
                               QLocale(QLocale::Arabic, QLocale::Egypt)};
    const char *numbers[] = {"45.6", "-3.25", "0.5", "0", "-0", "05.5", "007", "21,5", "-21,5", "1,234.5",
                             "1.234,5", "1e5", " 4.5", "4.5 ", "+4.5", ".5", "5.", "4..5", "-", "123456789012345",
                             "1234567890123456.5", "99999999999999.9", "OL", "-OL", "ol", "", "\xE2\x88\x92" "3.5",
                             "\xD9\xA4\xD9\xA5\xD9\xAB\xD9\xA6", "1e39", "nan"};
    const std::pair<const char *, const char *> times[] = {
        {"6/12/2026", "13:05:30"}, {"6/12/2026", "23:59:59"}, {"6/12/2026", "24:00:00"}, {"6/12/2026", "12:60:00"},
        {"6/12/2026", "1:05:30"},  {"12.06.2026", "13:05"},   {"12.06.2026", " 13:05:30"}, {"13/1/2000", "00:00:00"},
        {"13/1/2000", "00:00:01"}, {"12.06.26", "00:00:00"},  {"6/12/26", "\xD9\xA0\xD9\xA1:00:00"},
        {"", "12:00:00"},          {"6/12/2026", "12:00:00"}, {"2026-06-12", "12:00:00"}};
    for (const QLocale &l : locales) {
        SCOPED_TRACE(qPrintable(l.name()));
        GraphCellReader reader(l);
        for (const char *text : numbers) {
            SCOPED_TRACE(text);
            const QString q = QString::fromUtf8(text);
            EXPECT_EQ(reader.value(text), graphCellValue(q, l));
            const bool mark = q == "OL" || q == "-OL";
            EXPECT_EQ(reader.plainNumber(text), mark ? std::nullopt : graphCellValue(q, l));
        }
        // In this order each date is read after a different one and after itself.
        for (int pass = 0; pass < 2; ++pass) {
            for (const auto &[date, time] : times) {
                SCOPED_TRACE(std::string(date) + " " + time);
                EXPECT_EQ(reader.dateTime(date, time),
                          tableDateTime(QString::fromUtf8(date), QString::fromUtf8(time), l));
            }
        }
    }
}
