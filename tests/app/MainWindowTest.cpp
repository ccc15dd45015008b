// SPDX-License-Identifier: GPL-3.0-or-later
// The main window offscreen: start-up finds the simulated meter past a device
// that cannot be opened and one that does not answer; settings, the model
// set-up, the commands of the shell and the About box; limits and statistics.
#include "app/AppVersion.h"
#include "app/CommandLine.h"
#include "app/InsightActions.h"
#include "app/Settings.h"
#include "app/TfrmAbout.h"
#include "app/TfrmMain.h"
#include "datalogger/TfrmDataLogger.h"
#include "platform/MeterChart.h"
#include "realtime/TfrmGraph.h"
#include "records/TableRow.h"

#include "MainWindowRig.h"
#include "SimProcess.h"
#include "TestSupport.h"

#include <QAction>
#include <QFile>
#include <QKeyEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QPrinter>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QMenuBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

using namespace vandrel;
using vandrel::test::AnsweringUi;
using vandrel::test::PtyPair;
using vandrel::test::SettingsFile;
using vandrel::test::SimProcess;
using vandrel::test::waitUntil;

TEST(MainWindowStartup, SearchSkipsBadDevicesAndShowsTheMeter)
{
    PtyPair silent;
    SimProcess sim({"--model", "540", "--suffix", "D"});
    SettingsFile store;
    MainOptions options = store.options({"/dev/vandrel-no-such-device", silent.path(), sim.device()});

    {
        TfrmMain window(options);
        window.show();
        ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 20000));
        EXPECT_EQ(window.statusText(), sim.device());
        auto *box = window.findChild<QComboBox *>("ComboBoxDeviceName");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->count(), 3); // the one not plugged in stays, to be tried when it is
        EXPECT_EQ(box->currentText(), sim.device());
        EXPECT_EQ(window.identity().MeterModel, 540);
        EXPECT_EQ(window.storedModel(), 540);
        EXPECT_FALSE(window.action("LoadData1")->isVisible());
        EXPECT_EQ(window.SampleSize(), 6);
        EXPECT_TRUE(window.link().aTimer().isActive());
        EXPECT_TRUE(window.link().mainTimer().isActive());
        // Frames arrive and are decoded.
        EXPECT_TRUE(waitUntil([&] { return !window.reading().RhText.isEmpty(); }, 5000));
        window.close();
    }
    // Closing wrote the settings.
    store.settings.sync();
    const AppSettings saved = AppSettings::load(store.settings);
    EXPECT_EQ(saved.RegModel, 540);
    EXPECT_EQ(saved.LastConnectedPort, 2);
    EXPECT_EQ(saved.RealTimeRate, 2);
}

TEST(MainWindowStartup, NoMeterShowsNoConnectionAndDefaults)
{
    SettingsFile store;
    TfrmMain window(store.options());
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 10000));
    EXPECT_EQ(window.statusText(), "No Connection");
    EXPECT_EQ(window.SampleRate(), 2);
    EXPECT_EQ(window.findChild<QLineEdit *>("MaskEdit1")->displayText(), "  00 : 02  ");
    EXPECT_EQ(window.findChild<QComboBox *>("ComboBoxDeviceName")->currentText(), "ComPort");
    EXPECT_TRUE(window.action("LoadData1")->isVisible()); // 580 until a meter says otherwise
    EXPECT_EQ(window.windowTitle(), "Vandrel for Humidity and Temperature Meter");
}

// The search lets events through while it waits for answers: the commands
// that open windows or use the port stay disabled until it has ended.
TEST(MainWindowStartup, WindowAndPortCommandsWaitForTheSearch)
{
    PtyPair silent;
    SimProcess sim({"--model", "580"});
    SettingsFile store;
    TfrmMain window(store.options({silent.path(), sim.device()}));
    const char *const commands[] = {"Open1",     "mnuPanel", "RealTimeGraph1", "RealTimeTabular1",
                                    "LoadData1", "Clear1",   "mnuRun"};
    auto *box = window.findChild<QComboBox *>("ComboBoxDeviceName");
    ASSERT_NE(box, nullptr);
    QStringList enabledDuringSearch;
    int searchSteps = 0;
    QObject::connect(&window.link(), &MeterLink::statusTextChanged, &window, [&](const QString &) {
        if (window.startupDone())
            return;
        ++searchSteps;
        for (const char *name : commands) {
            if (window.action(QLatin1String(name))->isEnabled())
                enabledDuringSearch << QLatin1String(name);
        }
        if (box->isEnabled())
            enabledDuringSearch << box->objectName();
    });
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 20000));
    ASSERT_TRUE(window.link().state().MeterConnected);

    // Both devices were announced, and the meter found, while the search ran.
    EXPECT_GE(searchSteps, 3);
    EXPECT_TRUE(enabledDuringSearch.isEmpty()) << qPrintable(enabledDuringSearch.join(QLatin1Char(' ')));
    for (const char *name : commands)
        EXPECT_TRUE(window.action(QLatin1String(name))->isEnabled()) << name;
    EXPECT_TRUE(box->isEnabled());
    window.close();
}

TEST(MainWindowPanel, PanelAtTopLeftAndReopenedFromTheViewMenu)
{
    SimProcess sim({"--model", "560"});
    SettingsFile store;
    TfrmMain window(store.options({sim.device()}));
    window.resize(1024, 768);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 20000));
    TfrmPanel *panel = window.panelController().panel();
    ASSERT_NE(panel, nullptr);
    auto *sub = qobject_cast<QMdiSubWindow *>(panel->parentWidget());
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->pos(), QPoint(0, 0));
    EXPECT_EQ(sub->windowTitle(), "Panel");
    EXPECT_EQ(panel->size(), QSize(128, 356));
    auto *picture = panel->findChild<QLabel *>("Image1");
    ASSERT_NE(picture, nullptr);
    EXPECT_FALSE(picture->pixmap().isNull()); // the 560's body picture was found beside the program

    sub->close();
    ASSERT_TRUE(waitUntil([&] { return window.panelController().panel() == nullptr; }));
    window.action("mnuPanel")->trigger();
    panel = window.panelController().panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->findChild<QLabel *>("Image1")->pixmap().isNull());
    window.action("mnuPanel")->trigger(); // already there: no second panel
    int panels = 0;
    for (QMdiSubWindow *w : window.mdiArea()->subWindowList())
        panels += qobject_cast<TfrmPanel *>(w->widget()) != nullptr;
    EXPECT_EQ(panels, 1);
}

TEST(MainWindowStartup, RealTimeWindowsAreLaidOutRightOfThePanel)
{
    SimProcess sim;
    SettingsFile store;
    TfrmMain window(store.options({sim.device()}));
    window.resize(1200, 900);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 20000));
    TfrmGraph *graph = window.realTime().RealTimeGraphWindow();
    TfrmList *table = window.realTime().RealTimeTableWindow();
    ASSERT_NE(graph, nullptr);
    ASSERT_NE(table, nullptr);
    const QRect panel = window.panelController().panel()->parentWidget()->frameGeometry();
    const bool tall = window.screen()->geometry().height() > 600;
    // Graph over table, right of the panel, together filling the client
    // area's height as the screen's design sizes share it (400:300, else 227:221).
    const int client = window.mdiArea()->viewport()->height();
    const QRect g = graph->subWindow()->geometry();
    const QRect t = table->subWindow()->geometry();
    EXPECT_EQ(g.topLeft(), QPoint(panel.width(), 0));
    EXPECT_EQ(t.topLeft(), QPoint(panel.width(), g.height()));
    EXPECT_EQ(g.height() + t.height(), client);
    EXPECT_NEAR(double(g.height()) / client, tall ? 400.0 / 700 : 227.0 / 448, 0.01);
    EXPECT_EQ(graph->windowTitle(), "Real Time Graph");
    EXPECT_EQ(table->windowTitle(), "Real Time Table");
    EXPECT_FALSE(table->Grid1->RowSelect());
    EXPECT_EQ(table->Grid1->Cells(5, 0), "T1"); // headings of the identified 580
    EXPECT_TRUE(window.action("mnuRun")->isEnabled());
    EXPECT_FALSE(window.action("mnuStop")->isEnabled());

    // F9 starts a run: Stop becomes available and the caption says Pause.
    window.action("mnuRun")->trigger();
    EXPECT_EQ(window.action("mnuRun")->text(), "Pause");
    EXPECT_TRUE(window.action("mnuStop")->isEnabled());
    EXPECT_EQ(window.action("mnuRun")->shortcut(), QKeySequence(Qt::Key_F9));
}

TEST(MainWindowClose, UnsavedSamplesAreNotLostByClosingTheProgram)
{
    SettingsFile store;
    TfrmMain window(store.options());
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 10000));
    window.realTime().run().RealTimeUnsaved = true;
    int asked = 0;
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    window.realTime().setAsk([&](const QString &) {
        ++asked;
        return answer;
    });
    EXPECT_FALSE(window.close());
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.link().mainTimer().isActive()); // still running

    answer = QMessageBox::No;
    EXPECT_TRUE(window.close());
    EXPECT_EQ(asked, 2);
}

TEST(MainWindowRun, RunStopWithSaveAndOpenTheFileAgain)
{
    SimProcess sim({"--model", "580", "--suffix", "D"});
    SettingsFile store;
    store.settings.setValue("RealTimeRate", 1);
    TfrmMain window(store.options({sim.device()}));
    window.resize(1200, 900);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 20000));
    ASSERT_EQ(window.SampleRate(), 1);
    QStringList messages;
    const QString file = store.dir.filePath("run.csv");
    window.setTableFileUi([&] {
        auto ui = std::make_unique<AnsweringUi>();
        ui->file = file;
        ui->messages = &messages;
        return ui;
    });
    window.realTime().setAsk([](const QString &) { return QMessageBox::Yes; });

    window.action("mnuRun")->trigger();
    StringGrid &grid = *window.realTime().RealTimeTableWindow()->Grid1;
    ASSERT_TRUE(waitUntil([&] { return grid.RowCount() >= 4; }, 15000)); // three samples, one a second
    window.action("mnuRun")->trigger(); // pause, so the table stands still
    QStringList rows;
    for (int r = 1; r < grid.RowCount(); ++r) {
        QStringList cells;
        for (int c = 1; c < 10; ++c)
            cells << grid.Cells(c, r);
        rows << cells.join(',') + ',';
    }

    window.action("mnuStop")->trigger(); // Yes: saved, then stopped and cleared
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_FALSE(window.realTime().run().RealTimeUnsaved);
    QFile saved(file);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(saved.readAll());
    EXPECT_EQ(text, rows.join("\r\n") + "\r\n");

    // Open it again: a new table window named after the file with the same cells.
    window.action("Open1")->trigger();
    TfrmList *opened = nullptr;
    for (QMdiSubWindow *w : window.mdiArea()->subWindowList())
        if (auto *t = qobject_cast<TfrmList *>(w->widget()); t && w->windowTitle() == file)
            opened = t;
    ASSERT_NE(opened, nullptr);
    ASSERT_EQ(opened->Grid1->RowCount(), rows.size() + 1);
    for (int r = 1; r <= rows.size(); ++r) {
        QStringList cells;
        for (int c = 1; c < 10; ++c)
            cells << opened->Grid1->Cells(c, r);
        EXPECT_EQ(cells.join(',') + ',', rows[r - 1]);
        EXPECT_EQ(opened->Grid1->Cells(0, r), QString::number(r));
    }
    EXPECT_EQ(opened->Grid1->Cells(9, 0), "Dewpoint");
    EXPECT_TRUE(opened->Grid1->RowSelect());
}

namespace {

// Answers the print dialogs: tables go to a PDF file, charts are counted.
class PdfPrintUi : public PrintUi {
public:
    QString file;
    int *charts = nullptr;
    bool askPrint(QPrinter &printer) override
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        return true;
    }
    bool askPrinterSetup(QPrinter &) override { return true; }
    bool printChart(MeterChart &, QPrinter &) override
    {
        ++*charts;
        return true;
    }
};

} // namespace

TEST(MainWindowPrint, PrintsTheActiveTableOrGraphAndNothingElse)
{
    SettingsFile store;
    TfrmMain window(store.options());
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 10000));
    int charts = 0;
    auto ui = std::make_unique<PdfPrintUi>();
    ui->file = store.dir.filePath("table.pdf");
    ui->charts = &charts;
    window.setPrintUi(std::move(ui));
    QAction *print = window.action("mnuPrint");
    ASSERT_TRUE(print->isEnabled());

    window.mdiArea()->setActiveSubWindow(window.realTime().RealTimeTableWindow()->subWindow());
    print->trigger();
    EXPECT_TRUE(QFile::exists(store.dir.filePath("table.pdf")));
    EXPECT_EQ(charts, 0);

    window.mdiArea()->setActiveSubWindow(window.realTime().RealTimeGraphWindow()->subWindow());
    print->trigger();
    EXPECT_EQ(charts, 1);

    QFile::remove(store.dir.filePath("table.pdf"));
    window.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(window.panelController().panel()->parentWidget()));
    print->trigger(); // the panel prints nothing
    EXPECT_FALSE(QFile::exists(store.dir.filePath("table.pdf")));
    EXPECT_EQ(charts, 1);
}

TEST(MainWindowGraph, OutputToGraphFromAnOpenedTableAndTheCommandsThatFollowTheActiveWindow)
{
    SettingsFile store;
    const QString file = store.dir.filePath("old.txt");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QString date = tableDate(QDate(2026, 12, 6));
        for (int s = 0; s < 3; ++s)
            f.write(QString("%1\t13:05:0%2\t45.6\t%RH\t21.3\tC\t19.8\tC\t9.2\t\r\n").arg(date).arg(s).toUtf8());
    }
    TfrmMain window(store.options());
    window.resize(1200, 900);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 10000));
    QStringList messages;
    window.setTableFileUi([&] {
        auto ui = std::make_unique<AnsweringUi>();
        ui->file = file;
        ui->messages = &messages;
        return ui;
    });
    window.action("Open1")->trigger();
    QMdiSubWindow *tableWindow = window.mdiArea()->activeSubWindow();
    ASSERT_NE(tableWindow, nullptr);
    ASSERT_EQ(tableWindow->windowTitle(), file);
    EXPECT_TRUE(window.action("btnOutputGraph")->isEnabled());
    EXPECT_FALSE(window.findChild<QMenu *>("Graph1")->isEnabled());
    EXPECT_FALSE(window.action("mnuExportGraph")->isEnabled());

    window.action("btnOutputGraph")->trigger();
    QMdiSubWindow *graphWindow = window.mdiArea()->activeSubWindow();
    ASSERT_NE(graphWindow, tableWindow);
    auto *graph = qobject_cast<TfrmGraph *>(graphWindow->widget());
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(graphWindow->windowTitle(), "Graph of " + file); // its own caption, naming its table
    EXPECT_EQ(graph->Chart1->SeriesCount(), 4);  // "C" in the second unit column
    EXPECT_EQ(graph->Chart1->PointCount(), 3);
    EXPECT_NEAR(graph->Chart1->GetY(0, 2), 45.6, 1e-4);
    EXPECT_FALSE(window.action("btnOutputGraph")->isEnabled());
    EXPECT_TRUE(window.findChild<QMenu *>("Graph1")->isEnabled());
    EXPECT_TRUE(window.action("mnuExportGraph")->isEnabled());
    EXPECT_TRUE(messages.isEmpty());

    // Undo Zoom acts on the active graph only.
    window.action("SpeedButton1")->trigger();
    EXPECT_FALSE(graph->Chart1->IsZoomed());
}

TEST(MainWindowDataLogger, DownloadsTheMetersMemoryAndGivesThePortBack)
{
    SimProcess sim({"--model", "580", "--suffix", "D", "--sets", "2"});
    SettingsFile store;
    TfrmMain window(store.options({sim.device()}));
    window.resize(1200, 900);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 20000));
    ASSERT_TRUE(window.action("LoadData1")->isVisible());
    ASSERT_TRUE(window.action("LoadData1")->isEnabled());

    window.action("LoadData1")->trigger();
    TfrmDataLogger *logger = window.dataLoggerWindow();
    ASSERT_NE(logger, nullptr);
    EXPECT_EQ(window.dataLoggerState().Table.Sets.size(), 2u);
    EXPECT_TRUE(window.dataLoggerState().LoggerDataUnsaved);
    EXPECT_FALSE(window.dataLoggerState().DownloadInProgress);
    EXPECT_GT(logger->Grid1->RowCount(), 1); // the first set is shown
    // The port went back to the link: frames arrive again.
    EXPECT_TRUE(window.link().aTimer().isActive());
    EXPECT_TRUE(window.link().mainTimer().isActive());
    window.link().state().FrameSeen = false;
    EXPECT_TRUE(waitUntil([&] { return window.link().state().FrameSeen; }, 5000));

    // Graph commands follow the data-logger window.
    window.mdiArea()->setActiveSubWindow(logger->subWindow());
    EXPECT_TRUE(window.findChild<QMenu *>("Graph1")->isEnabled());
    EXPECT_FALSE(window.action("btnOutputGraph")->isEnabled());
    EXPECT_TRUE(window.action("mnuExportGraph")->isEnabled());

    // So do the statistics: the shown set, every sample, all four channels.
    const auto set = recordOfWindow(logger, &window.realTime(), window.identity(), *window.mdiArea());
    ASSERT_TRUE(set);
    EXPECT_EQ(set->input.header.source, "Data-logger set 1");
    EXPECT_EQ(set->input.header.model, "580D");
    EXPECT_EQ(set->input.notes.unreadable.count, 0);
    EXPECT_EQ(static_cast<int>(set->input.record.seconds.size()), logger->Grid1->RowCount() - 1);
    for (const Channel c : {kHumidity, kT1, kT2, kDewPoint})
        EXPECT_TRUE(set->input.record.has(c)) << c;
}

// The transfer lets no events through, so a click on DataLogger made during
// it reaches the program only after the memory is in: it must not start a
// second download. The click here comes as the downloaded sets fill the
// window, before the command has returned.
TEST(MainWindowDataLogger, AClickMadeDuringTheTransferIsIgnored)
{
    SimProcess sim({"--model", "580", "--suffix", "CR", "--sets", "1"});
    SettingsFile store;
    TfrmMain window(store.options({sim.device()}));
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 20000));
    QAction *command = window.action("LoadData1");
    command->trigger();
    ASSERT_NE(window.dataLoggerWindow(), nullptr);
    ASSERT_EQ(sim.received('P'), 1);

    QMenuBar *bar = window.menuBar();
    const QPoint at = bar->actionGeometry(command).center();
    ASSERT_FALSE(at.isNull());
    bool clicked = false;
    const auto clickOnce = [&] {
        if (!std::exchange(clicked, true))
            QTest::mouseClick(bar, Qt::LeftButton, {}, at);
    };
    QAbstractItemModel *sets = window.dataLoggerWindow()->Grid1->model();
    QObject::connect(sets, &QAbstractItemModel::modelReset, &window, clickOnce);
    QObject::connect(sets, &QAbstractItemModel::rowsInserted, &window, clickOnce);
    command->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(clicked);
    EXPECT_EQ(sim.received('P'), 2);
    EXPECT_TRUE(command->isEnabled());
}

TEST(MainWindowSettings, StoredValuesAreReadAndZeroRateBecomesTwo)
{
    SettingsFile store;
    store.settings.setValue("RealTimeRate", 0);
    store.settings.setValue("RegModel", 560);
    store.settings.setValue("LastConnectedPort", "not a number");
    const AppSettings s = AppSettings::load(store.settings);
    EXPECT_EQ(s.RealTimeRate, 0);
    EXPECT_EQ(s.RegModel, 560);
    EXPECT_EQ(s.LastConnectedPort, 0);

    TfrmMain window(store.options());
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 10000));
    EXPECT_EQ(window.SampleRate(), 2);
}

// A stored sampling period the rate editor could not have produced, or one
// that is no number, gives the default 2 s; 0 to 3660 are taken as they are.
TEST(MainWindowSettings, RealTimeRateOutsideTheEditorsRangeBecomesTwo)
{
    const std::pair<QVariant, int> cases[] = {
        {0, 0},          {1, 1},         {3660, 3660},     {"90", 90},    {-1, 2},
        {3661, 2},       {86400, 2},     {"-5", 2},        {"abc", 2},    {"1:30", 2},
        {"4294967298", 2}, {QVariant(), 2},
    };
    for (const auto &[stored, rate] : cases) {
        SettingsFile store;
        if (stored.isValid())
            store.settings.setValue("RealTimeRate", stored);
        store.settings.sync();
        QSettings reread(store.settings.fileName(), QSettings::IniFormat);
        EXPECT_EQ(AppSettings::load(reread).RealTimeRate, rate) << qPrintable(stored.toString());
    }
}

// View › Panel size: the stored size is shown at start, a new choice applies
// to the panel at once and to a reopened one, and the choice is remembered.
TEST(MainWindowSettings, PanelSizeIsShownChangedAndRemembered)
{
    const std::pair<QVariant, int> stored[] = {{150, 150}, {200, 200}, {100, 100}, {175, 100},
                                               {0, 100},   {"abc", 100}, {QVariant(), 100}};
    for (const auto &[value, percent] : stored) {
        SettingsFile store;
        if (value.isValid())
            store.settings.setValue("PanelSize", value);
        EXPECT_EQ(AppSettings::load(store.settings).PanelSize, percent) << qPrintable(value.toString());
    }

    SettingsFile store;
    store.settings.setValue("PanelSize", 150);
    {
        TfrmMain window(store.options());
        window.resize(1000, 900);
        window.show();
        ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 10000));
        EXPECT_EQ(window.panelController().panel()->size(), QSize(192, 534));
        EXPECT_TRUE(window.action("mnuPanelSize150")->isChecked());
        window.action("mnuPanelSize200")->trigger();
        EXPECT_EQ(window.panelController().panel()->size(), QSize(256, 712));
        EXPECT_FALSE(window.action("mnuPanelSize150")->isChecked());
        window.panelController().panel()->parentWidget()->close();
        ASSERT_TRUE(waitUntil([&] { return window.panelController().panel() == nullptr; }));
        window.action("mnuPanel")->trigger();
        ASSERT_NE(window.panelController().panel(), nullptr);
        EXPECT_EQ(window.panelController().panel()->size(), QSize(256, 712));
        window.close();
    }
    store.settings.sync();
    EXPECT_EQ(AppSettings::load(store.settings).PanelSize, 200);
}

// Window › Cascade steps the windows down without squeezing any of them below
// a usable size, and leaves the fixed-size panel as it is.
TEST(MainWindowCommands, CascadeKeepsEveryWindowUsable)
{
    SettingsFile store;
    TfrmMain window(store.options());
    window.resize(700, 520);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 10000));
    QMap<QMdiSubWindow *, QSize> before;
    for (QMdiSubWindow *w : window.mdiArea()->subWindowList())
        before.insert(w, w->size());
    ASSERT_EQ(before.size(), 3);
    window.action("Cascade1")->trigger();
    QSet<int> lefts;
    for (QMdiSubWindow *w : window.mdiArea()->subWindowList()) {
        const QSize was = before.value(w);
        lefts.insert(w->x());
        if (qobject_cast<TfrmPanel *>(w->widget())) {
            EXPECT_EQ(w->size(), was);
            continue;
        }
        EXPECT_GE(w->width(), std::min(was.width(), 320)) << qPrintable(w->windowTitle());
        EXPECT_GE(w->height(), std::min(was.height(), 200)) << qPrintable(w->windowTitle());
        EXPECT_LE(w->width(), was.width()) << qPrintable(w->windowTitle());
    }
    EXPECT_EQ(lefts.size(), 3) << "each window one step further";
}

TEST(MainWindowCommands, RateEditorAndToolbarHints)
{
    SettingsFile store;
    TfrmMain window(store.options());
    auto *edit = window.findChild<QLineEdit *>("MaskEdit1");
    edit->setText("  01 : 30  ");
    EXPECT_EQ(window.SampleRate(), 90);
    edit->setText("  75 : 10  ");
    EXPECT_EQ(window.SampleRate(), 3610);
    EXPECT_EQ(edit->displayText(), "  60 : 10  ");

    // Typed: the text is edited in place, the cursor stays where the user put
    // it, and only a finished text is a rate.
    const auto press = [edit](int key, const QString &text = {}) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(edit, &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(edit, &up);
    };
    edit->setText("  00 : 02  ");
    press(Qt::Key_End);
    press(Qt::Key_Backspace);
    EXPECT_EQ(edit->displayText(), "  00 : 0_  ");
    EXPECT_EQ(edit->cursorPosition(), 8);
    EXPECT_EQ(window.SampleRate(), 2) << "a half edit is no rate";
    press(Qt::Key_5, "5");
    EXPECT_EQ(edit->displayText(), "  00 : 05  ");
    EXPECT_EQ(window.SampleRate(), 5) << "a finished text counts at once";
    press(Qt::Key_Backspace);
    press(Qt::Key_Return);
    EXPECT_EQ(edit->displayText(), "  00 : 05  ") << "an unfinished edit gives way to the rate in force";
    EXPECT_EQ(window.SampleRate(), 5);
    press(Qt::Key_Home);
    for (const char *digit : {"0", "0", "0", "0"})
        press(Qt::Key_0, digit);
    EXPECT_EQ(edit->displayText(), "  00 : 00  ");
    EXPECT_EQ(window.SampleRate(), 5) << "00 : 00 only once the edit ends";
    press(Qt::Key_Return);
    EXPECT_EQ(window.SampleRate(), 0);

    for (auto [name, hint] : {std::pair{"btnOpen", "Open File"}, std::pair{"btnSave", "Save"},
                              std::pair{"btnPrint", "Print tabular or graph"},
                              std::pair{"btnStop", "Stop Real Time Graph and Table"},
                              std::pair{"btnOutputGraph", "Output data to graph"},
                              std::pair{"SpeedButton1", "Zoom out the graph"}, std::pair{"btnHelp", "Help"}}) {
        auto *b = window.findChild<QToolButton *>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->toolTip(), hint) << name;
    }
    EXPECT_EQ(window.action("mnuRun")->shortcut(), QKeySequence(Qt::Key_F9));
    EXPECT_FALSE(window.action("mnuRun")->isEnabled()); // no meter yet
}

TEST(MainWindowModel, ApplyModelFollowsTheIdentifiedMeter)
{
    SettingsFile store;
    TfrmMain window(store.options());
    const_cast<MeterIdentity &>(window.identity()).MeterModel = 520;
    window.ApplyModel();
    EXPECT_EQ(window.storedModel(), 520);
    EXPECT_EQ(window.SampleSize(), 4);
    EXPECT_FALSE(window.action("LoadData1")->isVisible());
    const_cast<MeterIdentity &>(window.identity()).MeterModel = 0;
    window.ApplyModel();
    EXPECT_EQ(window.identity().MeterModel, 520);
    const_cast<MeterIdentity &>(window.identity()).MeterModel = 999; // unknown: stored, nothing else changes
    window.ApplyModel();
    EXPECT_EQ(window.storedModel(), 999);
    EXPECT_EQ(window.SampleSize(), 4);
    EXPECT_FALSE(window.action("LoadData1")->isVisible());
}

// A meter found after start-up (here one plugged in later, as a 520, where
// the settings remembered a 580) is shown, tabled and graphed as what it is.
TEST(MainWindowModel, AMeterFoundAfterStartUpBringsItsModel)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("meter");
    SettingsFile store;
    TfrmMain window(store.options({path}));
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 20000));
    ASSERT_EQ(window.identity().MeterModel, 580);
    ASSERT_EQ(window.realTime().RealTimeGraphWindow()->Chart1->SeriesCount(), 4);

    // The later search keeps the commands that use the port disabled, as the first one does.
    QStringList enabledDuringSearch;
    QObject::connect(&window.link(), &MeterLink::statusTextChanged, &window, [&] {
        if (!window.link().searching())
            return;
        for (const char *name : {"LoadData1", "mnuRun", "mnuPanel"}) {
            if (window.action(QLatin1String(name))->isEnabled())
                enabledDuringSearch << QLatin1String(name);
        }
    });
    SimProcess sim({"--link", path, "--model", "520"});
    ASSERT_TRUE(waitUntil([&] { return window.link().state().MeterConnected; }, 20000));
    EXPECT_TRUE(enabledDuringSearch.isEmpty()) << qPrintable(enabledDuringSearch.join(QLatin1Char(' ')));
    EXPECT_EQ(window.identity().MeterModel, 520);
    EXPECT_EQ(window.storedModel(), 520);
    EXPECT_EQ(window.SampleSize(), 4);
    EXPECT_FALSE(window.action("LoadData1")->isVisible());
    EXPECT_EQ(window.realTime().RealTimeGraphWindow()->Chart1->SeriesCount(), 2);
    const StringGrid &table = *window.realTime().RealTimeTableWindow()->Grid1;
    const QStringList headings = tableHeadings(520);
    for (int c = 0; c < headings.size(); ++c)
        EXPECT_EQ(table.Cells(c, 0), headings.at(c)) << c;
    window.close();
}

// With no program to show web pages, Help › Contents says where the page is
// instead of doing nothing.
TEST(MainWindowHelp, WithoutAProgramToShowItTheHelpPageIsNamed)
{
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/vandrel-no-such-folder");
    SettingsFile store;
    MainOptions options = store.options();
    QStringList told;
    options.tell = [&](const QString &message) { told << message; };
    TfrmMain window(options);
    window.action("Content1")->trigger();
    qputenv("PATH", path);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.first().contains(QStringLiteral("VandrelHelp.htm"))) << told.first().toStdString();
}

TEST(AboutBox, ShowsTheBuildVersionEachTime)
{
    for (int i = 0; i < 2; ++i) {
        TfrmAbout about;
        EXPECT_EQ(about.versionText(), VANDREL_VERSION);
        EXPECT_EQ(about.windowTitle(), "About Vandrel for Humidity Temperature Meter");
    }
}

TEST(CommandLine, RepeatedPortsKeepTheirOrder)
{
    const struct {
        QStringList arguments;
        QStringList ports;
    } cases[] = {
        {{"vandrel", "--port", "/dev/ttyUSB1", "--port", "/dev/ttyACM0"}, {"/dev/ttyUSB1", "/dev/ttyACM0"}},
        {{"vandrel", "--port=/dev/ttyS2", "--demo", "--port", "/dev/ttyS0", "--port", "/dev/ttyS1"},
         {"/dev/ttyS2", "/dev/ttyS0", "/dev/ttyS1"}},
    };
    for (const auto &c : cases) {
        const CommandLine parsed = CommandLine::parse(c.arguments);
        EXPECT_FALSE(parsed.exitNow) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(parsed.ports, c.ports) << c.arguments.join(' ').toStdString();
    }
}

TEST(CommandLine, Options)
{
    CommandLine c = CommandLine::parse({"vandrel"});
    EXPECT_FALSE(c.exitNow);
    EXPECT_FALSE(c.demo);
    EXPECT_TRUE(c.ports.isEmpty());

    c = CommandLine::parse({"vandrel", "--port", "/dev/ttyUSB3", "--demo", "--demo-model", "560"});
    EXPECT_EQ(c.ports, QStringList({"/dev/ttyUSB3"}));
    EXPECT_TRUE(c.demo);
    EXPECT_EQ(c.demoModel, "560");
    EXPECT_EQ(c.demoSuffix, "D");

    c = CommandLine::parse({"vandrel", "--version"});
    EXPECT_TRUE(c.exitNow);
    EXPECT_EQ(c.exitCode, 0);
    EXPECT_TRUE(c.output.contains(VANDREL_VERSION));

    c = CommandLine::parse({"vandrel", "--help"});
    EXPECT_TRUE(c.output.contains("--demo"));
    EXPECT_TRUE(c.output.startsWith("Usage: vandrel"));

    for (const QStringList &bad : {QStringList{"vandrel", "--bogus"}, QStringList{"vandrel", "--demo-model", "530"},
                                   QStringList{"vandrel", "--port"}}) {
        c = CommandLine::parse(bad);
        EXPECT_TRUE(c.exitNow) << bad.join(' ').toStdString();
        EXPECT_EQ(c.exitCode, 2) << bad.join(' ').toStdString();
    }
}

// A table opened from a file and drawn as a graph: the graph draws the
// stored limits, new limits redraw every graph and are remembered, and the
// statistics of the graph are those of the span it shows once zoomed.
TEST(MainWindowInsight, AGraphDrawsTheLimitsAndItsZoomedSpanIsWhatTheFiguresCover)
{
    SettingsFile store;
    store.settings.setValue("Limits/Humidity/High", 65);
    const QString file = store.dir.filePath("cellar.csv");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QLocale locale;
        for (int i = 0; i < 30; ++i) {
            const QDateTime t(QDate(2026, 12, 7), QTime(10, i, 0));
            f.write((tableDate(t.date(), locale) + ',' + tableTime(t.time()) + ',' +
                     QString::number(50 + i) + ",%RH," + QString::number(20) + ",C,,,\r\n")
                        .toUtf8());
        }
    }
    TfrmMain window(store.options());
    window.resize(1200, 900);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 20000));
    window.setTableFileUi([&] {
        auto ui = std::make_unique<AnsweringUi>();
        ui->file = file;
        return ui;
    });
    window.action("Open1")->trigger();
    window.action("btnOutputGraph")->trigger();
    auto *graph = qobject_cast<TfrmGraph *>(window.mdiArea()->activeSubWindow()->widget());
    ASSERT_NE(graph, nullptr);
    MeterChart &chart = *graph->Chart1;
    EXPECT_EQ(chart.LevelLines(0), std::vector<double>{65});
    EXPECT_TRUE(chart.LevelLines(1).empty());

    StatsOptions limits;
    limits.limits[kHumidity].high = 70;
    limits.limits[kT1].low = 18;
    limits.limits[kT1].delaySeconds = 300;
    window.insight().setLimits(limits);
    EXPECT_EQ(chart.LevelLines(0), std::vector<double>{70});
    EXPECT_EQ(chart.LevelLines(1), std::vector<double>{18});
    EXPECT_TRUE(loadLimits(store.settings).limits == limits.limits);

    const auto whole = recordOfWindow(graph, &window.realTime(), window.identity(), *window.mdiArea());
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->input.record.seconds.size(), 30u);
    EXPECT_EQ(whole->input.header.source, "Table: " + TfrmGraph::tableCaptionOf(graph->windowTitle()));

    chart.resize(900, 600);
    QCoreApplication::processEvents();
    chart.Refresh();
    QCustomPlot *plot = chart.customPlot();
    const QRect pane = plot->axisRect(0)->rect();
    const QPointF from(pane.left() + pane.width() * 0.3, pane.top() + 5);
    const QPointF to(pane.left() + pane.width() * 0.6, pane.bottom() - 5);
    for (const auto &[type, at, button, buttons] :
         {std::tuple{QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::MouseButtons(Qt::LeftButton)},
          std::tuple{QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::MouseButtons(Qt::LeftButton)},
          std::tuple{QEvent::MouseMove, to, Qt::NoButton, Qt::MouseButtons(Qt::LeftButton)},
          std::tuple{QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::MouseButtons(Qt::NoButton)}}) {
        QMouseEvent event(type, at, plot->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(plot, &event);
    }
    ASSERT_TRUE(chart.IsZoomed());
    const auto span = recordOfWindow(graph, &window.realTime(), window.identity(), *window.mdiArea());
    ASSERT_TRUE(span);
    const std::vector<double> &t = span->input.record.seconds;
    ASSERT_FALSE(t.empty());
    EXPECT_LT(t.size(), 30u);
    EXPECT_GE(t.front(), chart.ShownXMin() * 86400 - 1e-3);
    EXPECT_LE(t.back(), chart.ShownXMax() * 86400 + 1e-3);
    // The rows just outside the span are left out, those inside are all there.
    EXPECT_LT(t.front() - 60, chart.ShownXMin() * 86400);
    EXPECT_GT(t.back() + 60, chart.ShownXMax() * 86400);
    EXPECT_EQ(span->input.header.source, "Table: " + TfrmGraph::tableCaptionOf(graph->windowTitle()) + " (the zoomed span)");
}
