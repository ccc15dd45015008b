// SPDX-License-Identifier: GPL-3.0-or-later
// The data-logger window filled from recorded sets: the list, the table, the
// graph, the min/max block, the marker links, decoding progress and closing;
// recorded times in several time zones.
#include "DataLoggerTestSets.h"

#include "datalogger/DataLoggerCommand.h"
#include "datalogger/LoadData.h"
#include "datalogger/TfrmDataLogger.h"
#include "platform/MeterChart.h"
#include "platform/StringGrid.h"
#include "realtime/RealTimeRun.h"
#include "records/TableRow.h"
#include "realtime/TfrmScope.h"

#include "ScopedEnvironment.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMdiArea>
#include <QProgressBar>
#include <QScreen>

#include <gtest/gtest.h>

using namespace vandrel;
using namespace vandrel::testsets;

namespace {

struct ProgressLog {
    QList<int> opened;
    QList<int> positions;
    int closed = 0;
};

class RecordingProgress : public DecodeProgress {
public:
    explicit RecordingProgress(ProgressLog &log) : log_(log) {}
    ~RecordingProgress() override { ++log_.closed; }
    void position(int sample) override { log_.positions << sample; }

private:
    ProgressLog &log_;
};

// A shown window over `state`, its decoding progress recorded.
struct Shown {
    QMdiArea area;
    QPointer<TfrmDataLogger> w;
    ProgressLog progress;
    Shown(DataLoggerState &state, LoggerModel model)
    {
        area.resize(900, 700);
        area.show();
        w = new TfrmDataLogger(state, model);
        w->showIn(area, kDataLoggerCaption, QRect(0, 0, 880, 660), QSize(738, 570))->show();
        w->decodeProgress = [this](int n) {
            progress.opened << n;
            return std::make_unique<RecordingProgress>(progress);
        };
    }
    QString panel(int tag) const { return w->valuePanels[tag - 1]->text(); }
};

double at(int h, int m, int s) { return toDays(QDateTime(QDate(2009, 6, 15), QTime(h, m, s))); }

} // namespace

TEST(SetList, IntervalsAreMinutesAndSecondsOfAtLeastTwoDigits)
{
    EXPECT_EQ(intervalText(5), "00:05");
    EXPECT_EQ(intervalText(90), "01:30");
    EXPECT_EQ(intervalText(3600), "60:00");
    EXPECT_EQ(intervalText(6000), "100:00");
}

TEST(DataLoggerWindow, FillsListTableGraphAndExtremesFromTheFirstSet)
{
    DataLoggerState state;
    ASSERT_EQ(buildTable(state.Table, 560, {workedExampleSet(), rhOverloadedSet(3)}), kSetTableAccepted);
    Shown s(state, {560, 0});
    s.w->showDataSets();
    StringGrid &list = *s.w->Grid2;
    ASSERT_EQ(list.RowCount(), 3);
    EXPECT_EQ(list.Cells(0, 1), "1");
    EXPECT_EQ(list.Cells(1, 1), tableDate(QDate(2009, 6, 15)));
    EXPECT_EQ(list.Cells(2, 1), "14:30:00");
    EXPECT_EQ(list.Cells(3, 1), "01:00");
    EXPECT_EQ(list.Cells(4, 1), "3");
    EXPECT_EQ(list.Cells(3, 2), "00:05");
    EXPECT_EQ(list.Selection().Top, 1);

    StringGrid &t = *s.w->Grid1;
    ASSERT_EQ(t.ColCount(), 9);
    EXPECT_EQ(t.Cells(5, 0), "Temperature");
    EXPECT_EQ(t.Cells(7, 0), "");
    ASSERT_EQ(t.RowCount(), 4);
    const QStringList row2{"2", tableDate(QDate(2009, 6, 15)), "14:31:00", "OL", "%RH", "-10.0", "C", "", ""};
    for (int c = 0; c < 9; ++c)
        EXPECT_EQ(t.Cells(c, 2), row2.at(c)) << "column " << c;
    EXPECT_EQ(t.Cells(3, 3), "45.3");

    MeterChart &g = *s.w->Chart1;
    ASSERT_EQ(g.PointCount(), 3);
    EXPECT_NEAR(g.GetX(0, 1), at(14, 31, 0), 1e-9);
    EXPECT_NEAR(g.GetX(1, 2), at(14, 32, 0), 1e-9);
    EXPECT_NEAR(g.GetY(0, 1), 100.0, 1e-4) << "an overloaded value is still drawn";
    EXPECT_NEAR(g.GetY(1, 1), -10.0, 1e-4);
    EXPECT_EQ(g.graphOf(1)->valueAxis()->label(), QStringLiteral("TEMPERATURE (\u00b0C)"));

    EXPECT_EQ(s.panel(RhMax), "14:30:00\t45.3");
    EXPECT_EQ(s.panel(RhMin), "14:30:00\t45.3");
    EXPECT_EQ(s.panel(T1Max), "14:30:00\t25.0");
    EXPECT_EQ(s.panel(T1Min), "14:31:00\t-10.0");
    EXPECT_EQ(s.panel(DpMax), "");
    EXPECT_EQ(s.w->captions[T1Max - 1]->text(), "T MAX");
    EXPECT_TRUE(s.w->valuePanels[T2Max - 1]->isHidden());
    EXPECT_EQ(s.w->ExtremeRow(T1Min), 2);
    EXPECT_EQ(s.w->ExtremeRow(T2Max), 1);

    EXPECT_TRUE(g.MarkerShown());
    EXPECT_EQ(g.MarkerText(), "14:30:00 RH:45.3 T:25.0");
    EXPECT_EQ(s.progress.opened, QList<int>{3});
    EXPECT_EQ(s.progress.positions, (QList<int>{0, 1, 2}));
    EXPECT_EQ(s.progress.closed, 1);
    EXPECT_TRUE(t.isVisible());
}

TEST(DataLoggerLayout, PaneHeightsFollowTheScreenHeight)
{
    struct Case {
        int screen, setList, graph;
    };
    const Case cases[] = {{480, 230, 300}, {600, 230, 300}, {601, 310, 400},
                          {768, 310, 400}, {769, 400, 500}, {1024, 400, 500}};
    for (const Case &c : cases) {
        const LoggerPaneHeights h = loggerPaneHeights(c.screen);
        EXPECT_EQ(h.setList, c.setList) << c.screen;
        EXPECT_EQ(h.graph, c.graph) << c.screen;
    }
}

// The set list and the graph keep their heights as the window grows, the
// sample table gets the rest; every heading and text shows whole.
TEST(DataLoggerWindow, TableGetsTheSpareHeightAndColumnsFitTheirTexts)
{
    DataLoggerState state;
    const QList<QByteArray> slow{value(50.0) + value(-12.5) + value(-33.3)};
    ASSERT_EQ(buildTable(state.Table, 580,
                         {twoTemperatureSet(), record(on15June(9, 0, 0), 6000, 0, slow),
                          record(on15June(9, 0, 0), 65535, 0, slow)}),
              kSetTableAccepted);
    Shown s(state, {580, 'D'});
    s.w->showDataSets();
    const QScreen *screen = QGuiApplication::primaryScreen();
    const LoggerPaneHeights want = loggerPaneHeights(screen->geometry().height());
    QWidget *graphPane = s.w->StaticText3->parentWidget();
    QWidget *tablePane = s.w->StaticText4->parentWidget();
    QWidget *listPane = s.w->StaticText1->parentWidget();
    int tableBefore = 0;
    for (int height : {720, 1000}) {
        s.w->subWindow()->resize(880, height);
        QCoreApplication::processEvents();
        EXPECT_EQ(graphPane->height(), want.graph) << height;
        EXPECT_EQ(listPane->height(), want.setList) << height;
        if (tableBefore > 0) {
            EXPECT_EQ(tablePane->height() - tableBefore, 280) << "all the extra height goes to the table";
        }
        tableBefore = tablePane->height();
    }

    EXPECT_EQ(s.w->Grid2->Cells(3, 2), "100:00");
    EXPECT_EQ(s.w->Grid2->Cells(3, 3), "1092:15");
    const int designList[] = {25, 44, 76, 38, 64};
    const int designTable[] = {51, 89, 83, 64, 38, 64, 51, 57, 51, 64};
    struct GridCase {
        StringGrid *grid;
        const int *design;
    };
    for (const GridCase &g : {GridCase{s.w->Grid2, designList}, GridCase{s.w->Grid1, designTable}}) {
        const QFontMetrics cells = g.grid->fontMetrics();
        const QFontMetrics headings = g.grid->horizontalHeader()->fontMetrics();
        for (int c = 0; c < g.grid->ColCount(); ++c) {
            const QString where = g.grid->objectName() + QStringLiteral(" column %1").arg(c);
            EXPECT_GE(g.grid->ColWidths(c), g.design[c]) << where.toStdString();
            EXPECT_GT(g.grid->ColWidths(c), headings.horizontalAdvance(g.grid->Cells(c, 0))) << where.toStdString();
            for (int r = 1; r < g.grid->RowCount(); ++r)
                EXPECT_GT(g.grid->ColWidths(c), cells.horizontalAdvance(g.grid->Cells(c, r))) << where.toStdString();
        }
    }
}

TEST(DataLoggerWindow, ASetWithoutValidHumidityKeepsTheHumidityPanels)
{
    DataLoggerState state;
    ASSERT_EQ(buildTable(state.Table, 560, {workedExampleSet(), rhOverloadedSet(4)}), kSetTableAccepted);
    Shown s(state, {560, 0});
    s.w->showDataSets();
    s.w->Grid2Click(2);
    ASSERT_EQ(s.w->shownSet(), 1);
    EXPECT_EQ(s.w->Grid1->Cells(3, 1), "OL");
    EXPECT_EQ(s.w->Grid1->Cells(3, 2), "-OL");
    EXPECT_NEAR(s.w->Chart1->GetY(0, 0), 100.0, 1e-4);
    EXPECT_EQ(s.panel(RhMax), "14:30:00\t45.3") << "kept from the set shown before";
    EXPECT_EQ(s.panel(T1Max), "10:00:15\t30.0");

    s.w->Grid1Click(3);
    s.w->lblRHMAXClick(RhMax);
    EXPECT_EQ(s.w->Grid1->Selection().Top, 1);
    EXPECT_NEAR(s.w->Chart1->MarkerX(), s.w->Chart1->GetX(0, 0), 1e-9);
}

TEST(DataLoggerWindow, ClicksInTheListOutsideTheSetsDoNothing)
{
    DataLoggerState state;
    Shown s(state, {560, 0});
    s.w->Grid2Click(1); // the empty row after a failed download
    s.w->Grid2Click(0);
    EXPECT_EQ(s.w->shownSet(), -1);
    EXPECT_TRUE(s.progress.opened.isEmpty());

    ASSERT_EQ(buildTable(state.Table, 560, {workedExampleSet()}), kSetTableAccepted);
    s.w->showDataSets();
    s.w->Grid2Click(2);
    EXPECT_EQ(s.w->shownSet(), 0);
    EXPECT_EQ(s.progress.opened.size(), 1);
}

TEST(MarkerLinks, PanelsPointsAndRowsMoveTheMarkerAndTheSelection)
{
    DataLoggerState state;
    ASSERT_EQ(buildTable(state.Table, 560, {rampSet(300), workedExampleSet()}), kSetTableAccepted);
    Shown s(state, {560, 0});
    s.w->showDataSets();
    StringGrid &t = *s.w->Grid1;
    MeterChart &g = *s.w->Chart1;
    t.setMinimumHeight(300); // room for more than a few rows, so scrolling shows
    QCoreApplication::processEvents();
    const int visible = t.VisibleRowCount();
    ASSERT_GT(visible, 2);
    ASSERT_LT(visible, 200);

    // The ramp's highest T1 (29.9) is first reached at sample 199, repeated after.
    s.w->lblRHMAXClick(T1Max);
    EXPECT_EQ(s.w->ExtremeRow(T1Max), 200);
    EXPECT_EQ(t.Selection().Top, 200);
    EXPECT_EQ(t.Selection().Bottom, 200);
    EXPECT_EQ(t.TopRow(), 200 - visible / 2);
    EXPECT_NEAR(g.MarkerX(), g.GetX(0, 199), 1e-9);
    EXPECT_EQ(g.MarkerText(), QStringLiteral("%1 RH:%2 T:29.9").arg(t.Cells(2, 200), t.Cells(3, 200)));

    s.w->Chart1PointClick(0);
    EXPECT_EQ(t.Selection().Top, 1);
    EXPECT_EQ(t.TopRow(), 1);
    EXPECT_NEAR(g.MarkerX(), g.GetX(0, 0), 1e-9);

    s.w->Chart1PointClick(149);
    EXPECT_EQ(t.Selection().Top, 150);
    EXPECT_EQ(t.TopRow(), 150 - visible / 2);

    s.w->Grid1Click(7);
    EXPECT_NEAR(g.MarkerX(), g.GetX(0, 6), 1e-9);
    EXPECT_EQ(s.w->StaticText4->palette().color(QPalette::Window), QColor(Qt::blue));
    s.w->Chart1Click();
    EXPECT_EQ(s.w->StaticText3->palette().color(QPalette::Window), QColor(Qt::blue));
    EXPECT_NE(s.w->StaticText4->palette().color(QPalette::Window), QColor(Qt::blue));

    // A click past the points (a stale row) leaves the marker where it was.
    s.w->Grid1Click(5000);
    EXPECT_NEAR(g.MarkerX(), g.GetX(0, 6), 1e-9);
}

TEST(TemperatureAxis, WidensAroundTheTemperatureExtremes)
{
    DecodedSet mild;
    mild.T1.take(10.0, 0, 1);
    mild.T1.take(30.0, 0, 2);
    EXPECT_FLOAT_EQ(temperatureAxisFor(mild).upper, 140.0f);
    EXPECT_FLOAT_EQ(temperatureAxisFor(mild).lower, -40.0f);
    DecodedSet hot = mild;
    hot.T1.take(150.0, 0, 3);
    EXPECT_FLOAT_EQ(temperatureAxisFor(hot).upper, 150.0f * 1.1f + 20.0f);
    DecodedSet cold;
    cold.T2.take(-100.0, 0, 1);
    EXPECT_FLOAT_EQ(temperatureAxisFor(cold).lower, -100.0f * 1.1f - 20.0f);

    DataLoggerState state;
    ASSERT_EQ(buildTable(state.Table, 560, {hotSet()}), kSetTableAccepted);
    Shown s(state, {560, 0});
    s.w->showDataSets();
    s.w->Chart1->SetWorkingAxis(1);
    EXPECT_FLOAT_EQ(static_cast<float>(s.w->Chart1->GetYMax()), 150.0f * 1.1f + 20.0f);
    EXPECT_FLOAT_EQ(static_cast<float>(s.w->Chart1->GetYMin()), -40.0f);
}

TEST(DataLoggerWindow, AnEmptySetShowsNoRowsAndKeepsThePanels)
{
    DataLoggerState state;
    ASSERT_EQ(buildTable(state.Table, 560, {workedExampleSet(), emptySet()}), kSetTableAccepted);
    Shown s(state, {560, 0});
    s.w->showDataSets();
    s.w->Grid2Click(2);
    EXPECT_EQ(s.w->shownSet(), 1);
    EXPECT_EQ(s.w->Grid1->Cells(0, 1), "");
    EXPECT_EQ(s.w->Grid1->Cells(3, 1), "");
    EXPECT_EQ(s.w->Chart1->PointCount(), 0);
    EXPECT_EQ(s.panel(T1Min), "14:31:00\t-10.0");
    s.w->lblRHMAXClick(T1Min); // no sample to point at: nothing breaks
}

TEST(DecodeProgressWindow, ShowsItsCaptionTextAndBarThenGoesAway)
{
    QWidget parent;
    {
        auto progress = openDecodeProgress(&parent, 42);
        TfrmScope *scope = parent.findChild<TfrmScope *>();
        ASSERT_NE(scope, nullptr);
        EXPECT_EQ(scope->windowTitle(), "data decoding progress");
        EXPECT_TRUE(scope->isVisible());
        EXPECT_TRUE(scope->SText1->isVisible());
        EXPECT_EQ(scope->SText1->text(), "Now is decoding data,please wait !");
        EXPECT_EQ(scope->Progress1->maximum(), 42);
        EXPECT_FALSE(scope->BitBtn1->isVisible());
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        progress->position(17);
        EXPECT_EQ(scope->Progress1->value(), 17);
    }
    EXPECT_EQ(parent.findChild<TfrmScope *>(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(DataLoggerWindow, DewPointModelHasTheDewPointColumnPanelsAndMarkerText)
{
    DataLoggerState state;
    ASSERT_EQ(buildTable(state.Table, 580, {twoTemperatureSet()}), kSetTableAccepted);
    Shown s(state, {580, 'D'});
    s.w->showDataSets();
    StringGrid &t = *s.w->Grid1;
    ASSERT_EQ(t.ColCount(), 10);
    EXPECT_EQ(t.Cells(5, 0), "T1");
    EXPECT_EQ(t.Cells(7, 0), "T2");
    EXPECT_EQ(t.Cells(9, 0), "Dewpoint");
    EXPECT_EQ(t.Cells(7, 1), "-200");
    EXPECT_EQ(t.Cells(8, 1), "F");
    EXPECT_FALSE(t.Cells(9, 1).isEmpty());
    EXPECT_EQ(s.w->unitPictures[T1Max - 1]->text(), QStringLiteral("\u00b0F"));
    EXPECT_FALSE(s.panel(DpMax).isEmpty());
    EXPECT_EQ(s.panel(T2Min), "08:00:00\t-200.0");
    EXPECT_EQ(s.w->Chart1->MarkerText(), QStringLiteral("08:00:00 RH:50.0 T1:20.0 T2:-200 DP:") + t.Cells(9, 1));
}

TEST(ClosingTheWindow, AsksAboutUnsavedDataAndKeepsItUnlessSavedOrDeclined)
{
    DataLoggerState state;
    state.LoggerDataUnsaved = true;
    Shown s(state, {560, 0});
    int asked = 0, saves = 0;
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    bool saveWorks = false;
    s.w->askSave = [&] { ++asked; return answer; };
    s.w->saveCommand = [&] { ++saves; return saveWorks; };

    EXPECT_FALSE(s.w->close());
    answer = QMessageBox::Yes;
    EXPECT_FALSE(s.w->close()) << "a cancelled save must not lose the download";
    EXPECT_EQ(saves, 1);
    state.DownloadInProgress = true;
    EXPECT_FALSE(s.w->close());
    EXPECT_EQ(asked, 2) << "no question while a download runs";
    state.DownloadInProgress = false;
    saveWorks = true;
    EXPECT_TRUE(s.w->close());
    EXPECT_EQ(saves, 2);

    Shown plain(state, {560, 0});
    state.LoggerDataUnsaved = false;
    plain.w->askSave = [&] { ++asked; return QMessageBox::Cancel; };
    EXPECT_TRUE(plain.w->close());
    EXPECT_EQ(asked, 3);

    Shown declined(state, {560, 0});
    state.LoggerDataUnsaved = true;
    declined.w->askSave = [] { return QMessageBox::No; };
    EXPECT_TRUE(declined.w->close());
}

namespace {

// A model 560 set of five samples every half hour from `start`, T1 rising from 20.0.
QByteArray halfHourlySet(QDate date, QTime start)
{
    QList<QByteArray> samples;
    for (int i = 0; i < 5; ++i)
        samples << value(50.0) + value(20.0 + i);
    return record(QDateTime(date, start, Qt::UTC), 1800, 0, samples);
}

class LoggerTimesInZone : public ::testing::TestWithParam<const char *> {};

} // namespace

// Recorded times are the meter's clock readings: across São Paulo's missing
// midnight and Berlin's skipped and repeated hours every row, the set list, the
// extremes and the marker show them half an hour apart, in every time zone.
TEST_P(LoggerTimesInZone, ShowTheMetersClockAcrossClockChanges)
{
    const test::ScopedTimeZone zone(GetParam());
    const struct {
        QDate date;
        QTime start;
    } sets[] = {{QDate(2018, 11, 4), QTime(0, 0)}, {QDate(2009, 10, 25), QTime(1, 30)},
                {QDate(2009, 3, 29), QTime(1, 30)}};
    DataLoggerState state;
    ASSERT_EQ(buildTable(state.Table, 560,
                         {halfHourlySet(sets[0].date, sets[0].start), halfHourlySet(sets[1].date, sets[1].start),
                          halfHourlySet(sets[2].date, sets[2].start)}),
              kSetTableAccepted);
    Shown s(state, {560, 0});
    s.w->showDataSets();
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        s.w->Grid2Click(k + 1);
        ASSERT_EQ(s.w->shownSet(), k);
        const QString date = tableDate(sets[k].date);
        EXPECT_EQ(s.w->Grid2->Cells(1, k + 1), date);
        EXPECT_EQ(s.w->Grid2->Cells(2, k + 1), tableTime(sets[k].start));
        const double first =
            QDate(1899, 12, 30).daysTo(sets[k].date) + sets[k].start.msecsSinceStartOfDay() / 86400000.0;
        for (int i = 0; i < 5; ++i) {
            const QString time = tableTime(sets[k].start.addSecs(1800 * i));
            EXPECT_EQ(s.w->Grid1->Cells(1, i + 1), date) << i;
            EXPECT_EQ(s.w->Grid1->Cells(2, i + 1), time) << i;
            EXPECT_NEAR(s.w->Chart1->GetX(0, i), first + i / 48.0, 1e-9) << i;
        }
        EXPECT_EQ(s.panel(T1Min), tableTime(sets[k].start) + "\t20.0");
        EXPECT_EQ(s.panel(T1Max), tableTime(sets[k].start.addSecs(7200)) + "\t24.0");
        EXPECT_TRUE(s.w->Chart1->MarkerText().startsWith(tableTime(sets[k].start) + " RH:"));
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, LoggerTimesInZone,
                         ::testing::Values("UTC", "Europe/Berlin", "America/Sao_Paulo", "Asia/Kolkata"),
                         [](const auto &info) {
                             QString n = QString::fromLatin1(info.param);
                             return n.replace('/', '_').toStdString();
                         });

namespace {

struct FarDewPointCase {
    const char *name;
    QList<QByteArray> samples;
    int maxRow, minRow; // 0: no sample gives that extreme, so it shows no value
};

class FarDewPoints : public ::testing::TestWithParam<FarDewPointCase> {};

} // namespace

// Overloaded readings give dew points far beyond any search start, or none
// at all. An extreme is always a sample's own; one that no sample gives shows
// no value (not the previous set's, not the search's starting value), and its
// panel selects row 1.
TEST_P(FarDewPoints, ExtremesAreSamplesOwnOrShowNoValue)
{
    const FarDewPointCase &c = GetParam();
    DataLoggerState state;
    ASSERT_EQ(buildTable(state.Table, 580, {twoTemperatureSet(), record(on15June(9, 0, 0), 60, 0, c.samples)}),
              kSetTableAccepted);
    Shown s(state, {580, 'D'});
    s.w->showDataSets();
    ASSERT_FALSE(s.panel(DpMax).isEmpty());
    ASSERT_FALSE(s.panel(DpMin).isEmpty());
    s.w->Grid2Click(2);
    ASSERT_EQ(s.w->shownSet(), 1);
    StringGrid &t = *s.w->Grid1;
    for (const auto &[tag, row] : {std::pair{int(DpMax), c.maxRow}, std::pair{int(DpMin), c.minRow}}) {
        SCOPED_TRACE(tag);
        if (row > 0) {
            EXPECT_EQ(s.panel(tag), t.Cells(2, row) + "\t" + t.Cells(9, row));
            EXPECT_EQ(s.w->ExtremeRow(tag), row);
            continue;
        }
        EXPECT_EQ(s.panel(tag), "");
        EXPECT_EQ(s.w->ExtremeRow(tag), 1);
        s.w->Grid1Click(2);
        s.w->lblRHMAXClick(tag);
        EXPECT_EQ(t.Selection().Top, 1);
        EXPECT_NEAR(s.w->Chart1->MarkerX(), s.w->Chart1->GetX(0, 0), 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sets, FarDewPoints,
    ::testing::Values(
        FarDewPointCase{"AboveTheSearchStart",
                        {value(309.3) + value(3270.7) + value(20.0), value(310.0) + value(3263.9) + value(20.0)},
                        1, 2},
        FarDewPointCase{"BelowTheSearchStart",
                        {value(321.9) + value(3273.8) + value(20.0), value(322.6) + value(3267.2) + value(20.0)},
                        1, 2},
        FarDewPointCase{"NoneUsable",
                        {value(0.0) + value(20.0) + value(20.0), value(0.0) + value(21.0) + value(20.0)}, 0, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ContrastRatio, FollowsTheLuminanceFormula)
{
    struct Case {
        QColor a, b;
        double ratio;
    };
    const Case cases[] = {
        {Qt::black, Qt::white, 21.0},
        {Qt::white, Qt::white, 1.0},
        {QColor(0xff, 0xff, 0x00), QColor(0xc0, 0xc0, 0xc0), 1.69},
        {QColor(0x00, 0xff, 0xff), QColor(0xc0, 0xc0, 0xc0), 1.45},
        {QColor(0x80, 0x80, 0x80), Qt::white, 3.95},
    };
    for (const Case &c : cases) {
        EXPECT_NEAR(contrastRatio(c.a, c.b), c.ratio, 0.01) << c.a.name().toStdString();
        EXPECT_NEAR(contrastRatio(c.b, c.a), c.ratio, 0.01);
    }
}

TEST(DataLoggerWindow, MinMaxCaptionsReadAtLeastFourAndAHalfToOne)
{
    DataLoggerState state;
    ASSERT_EQ(buildTable(state.Table, 580, {twoTemperatureSet()}), kSetTableAccepted);
    Shown s(state, {580, 'D'});
    s.w->showDataSets();
    for (QLabel *caption : s.w->captions) {
        SCOPED_TRACE(caption->text().toStdString());
        ASSERT_TRUE(caption->isVisible());
        // What the user sees: the caption's own pixels, its corner the
        // background and its most contrasting pixel the text.
        const QImage image = caption->grab().toImage();
        const QColor back = image.pixelColor(1, 1);
        double best = 1.0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                best = std::max(best, contrastRatio(back, image.pixelColor(x, y)));
        EXPECT_GE(best, 4.5);
    }
}

TEST(DataLoggerWindow, OnlyWhatTheMeterMeasuresIsNamedAndOneTemperatureHasOneName)
{
    struct Case {
        int model;
        char suffix;
        bool dewPoint;
        const char *temperature; // the legend's name of T1
        const char *caption;     // its min/max caption
    };
    const Case cases[] = {
        {560, 0, false, "T", "T MAX"},
        {560, 'D', false, "T", "T MAX"},
        {580, 0, false, "T1", "T1 MAX"},
        {580, 'D', true, "T1", "T1 MAX"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.model * 10 + (c.suffix != 0));
        DataLoggerState state;
        const QByteArray set = c.model == 560 ? workedExampleSet() : twoTemperatureSet();
        ASSERT_EQ(buildTable(state.Table, c.model, {set}), kSetTableAccepted);
        Shown s(state, {c.model, c.suffix});
        s.w->showDataSets();
        MeterChart &g = *s.w->Chart1;
        QStringList legend;
        for (int i = 0; i < g.customPlot()->legend->itemCount(); ++i) {
            if (auto *item = qobject_cast<QCPPlottableLegendItem *>(g.customPlot()->legend->item(i)))
                legend << item->plottable()->name();
        }
        EXPECT_EQ(legend.contains("Dewpoint"), c.dewPoint) << legend.join(',').toStdString();
        EXPECT_TRUE(legend.contains(QString::fromLatin1(c.temperature))) << legend.join(',').toStdString();
        EXPECT_EQ(s.w->captions[T1Max - 1]->text(), c.caption);
        // The marker names T1 as the legend and the captions do.
        EXPECT_TRUE(g.MarkerText().contains(QStringLiteral(" %1:").arg(QString::fromLatin1(c.temperature))))
            << g.MarkerText().toStdString();
        for (int tag : {DpMax, DpMin}) {
            EXPECT_EQ(s.w->captions[tag - 1]->isVisible(), c.dewPoint);
            EXPECT_EQ(s.w->valuePanels[tag - 1]->isVisible(), c.dewPoint);
        }
    }
}

TEST(DataLoggerWindow, ASetOverMidnightDatesItsExtremesAndMarker)
{
    struct Case {
        QDateTime start;
        const char *rhMax;
        const char *marker;
    };
    // RH 40.0, 60.0, 50.0 one hour apart.
    const Case cases[] = {
        {QDateTime(QDate(2009, 6, 15), QTime(23, 0, 0)), "16 Jun 00:00:00\t60.0", " 23:00:00 RH:40.0 T:20.0"},
        {QDateTime(QDate(2009, 6, 15), QTime(20, 0, 0)), "21:00:00\t60.0", "20:00:00 RH:40.0 T:20.0"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rhMax);
        DataLoggerState state;
        const QByteArray set = record(c.start, 3600, 0,
                                      {value(40.0) + value(20.0), value(60.0) + value(21.0), value(50.0) + value(22.0)});
        ASSERT_EQ(buildTable(state.Table, 560, {set}), kSetTableAccepted);
        Shown s(state, {560, 0});
        s.w->showDataSets();
        EXPECT_EQ(s.panel(RhMax), c.rhMax);
        const QString marker = s.w->Chart1->MarkerText();
        const bool dated = QString::fromLatin1(c.marker).startsWith(QLatin1Char(' '));
        EXPECT_TRUE(marker.endsWith(QString::fromLatin1(c.marker).trimmed())) << marker.toStdString();
        EXPECT_EQ(marker.startsWith(tableDate(QDate(2009, 6, 15)) + QLatin1Char(' ')), dated) << marker.toStdString();
    }
}
