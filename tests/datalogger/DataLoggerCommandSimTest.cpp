// SPDX-License-Identifier: GPL-3.0-or-later
// The data-logger command end to end against the simulated meter: the window
// opens, the download's sets appear in it, a failure leaves it open, and the
// command is ignored while a download runs.
#include "datalogger/DataLoggerCommand.h"
#include "datalogger/LoadData.h"
#include "datalogger/TfrmDataLogger.h"
#include "platform/StringGrid.h"

#include "LinkRig.h"
#include "SimProcess.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vandrel;
using vandrel::test::SimProcess;

namespace {

const DownloadTiming kTiming{300, 100, 300, 3000, 1500, 3000};

struct Messages : DownloadView {
    QStringList shown;
    void message(const QString &text) override { shown << text; }
};

// A connected 580D, a client area for the window and the command's state.
struct CommandRig {
    SimProcess sim{{"--model", "580", "--suffix", "D"}};
    vandrel::test::LinkRig rig;
    QMdiArea area;
    DataLoggerState state;
    QPointer<TfrmDataLogger> window;
    Messages view;

    bool connect()
    {
        area.resize(1000, 800);
        area.show();
        if (!rig.connectTo(sim.device()))
            return false;
        rig.link.startTimers();
        return true;
    }
    int command() { return downloadAndShowMemory(area, rig.link, state, window, view, kTiming); }
};

} // namespace

TEST(DataLoggerCommand, ShowsTheSimulatedMetersSetsInTheWindow)
{
    CommandRig c;
    ASSERT_TRUE(c.connect());
    auto &[sim, rig, area, state, window, view] = c;

    ASSERT_EQ(c.command(), kDownloadSuccess);
    EXPECT_TRUE(view.shown.isEmpty());
    ASSERT_TRUE(window);
    ASSERT_GT(state.Table.setCount(), 0);
    EXPECT_EQ(window->Grid2->RowCount(), state.Table.setCount() + 1);
    for (int i = 0; i < state.Table.setCount(); ++i)
        EXPECT_EQ(window->Grid2->Cells(4, i + 1), QString::number(state.Table.Sets.at(i).Count));
    EXPECT_EQ(window->shownSet(), 0);
    EXPECT_EQ(window->Grid1->ColCount(), 10);
    EXPECT_EQ(window->Grid1->Cells(9, 0), "Dewpoint");
    EXPECT_EQ(window->Grid1->RowCount(), state.Table.Sets.at(0).Count + 1);
    EXPECT_FALSE(window->Grid1->Cells(9, 1).isEmpty());
    EXPECT_TRUE(state.LoggerDataUnsaved);
    EXPECT_EQ(window->subWindow()->windowTitle(), "DataLogger");

    // Again with a transfer that breaks off: the window stays with what it showed.
    ASSERT_TRUE(sim.command("stop-after 500").startsWith("OK"));
    TfrmDataLogger *same = window;
    const QString firstCount = window->Grid2->Cells(4, 1);
    EXPECT_EQ(c.command(), kDownloadBrokeOff);
    EXPECT_EQ(window, same);
    EXPECT_EQ(window->Grid2->Cells(4, 1), firstCount);
    EXPECT_EQ(view.shown.size(), 1);

    // A different meter on the same port: the reused window follows its model.
    ASSERT_TRUE(sim.command("stop-after off").startsWith("OK"));
    ASSERT_TRUE(sim.command("model 560").startsWith("OK"));
    rig.identity.MeterModel = 560;
    rig.identity.ModelSuffix = 0;
    ASSERT_EQ(c.command(), kDownloadSuccess);
    EXPECT_EQ(window, same);
    EXPECT_EQ(window->Grid1->ColCount(), 9);
    EXPECT_EQ(window->Grid1->Cells(5, 0), "Temperature");
    EXPECT_EQ(window->Grid1->RowCount(), state.Table.Sets.at(0).Count + 1);
    EXPECT_EQ(window->Grid1->Cells(7, 1), "");
}

// The command again while the first one takes the port over (its waits let
// events through): ignored, so the meter is asked for its memory only once.
TEST(DataLoggerCommand, SecondCommandDuringADownloadIsIgnored)
{
    CommandRig c;
    ASSERT_TRUE(c.connect());
    auto &[sim, rig, area, state, window, view] = c;
    int nested = -1;
    bool nestedDuringDownload = false;
    QTimer::singleShot(0, &area, [&] {
        nestedDuringDownload = state.DownloadInProgress;
        nested = c.command();
    });

    ASSERT_EQ(c.command(), kDownloadSuccess);
    ASSERT_TRUE(nestedDuringDownload);
    EXPECT_EQ(nested, kDownloadPrecondition);
    EXPECT_TRUE(view.shown.isEmpty());
    EXPECT_EQ(sim.received('P'), 1);
    EXPECT_GT(state.Table.setCount(), 0);
    EXPECT_TRUE(rig.port.hasOnRxChar()); // the port went back to frame reception once
}

namespace {

// The download's progress window with its messages kept, and every byte
// count its "bytes received" label showed on screen, in order.
struct PaintedProgress : QObject, ScopeDownloadView {
    using ScopeDownloadView::ScopeDownloadView;
    QStringList shown;
    QStringList messages;
    void message(const QString &text) override { messages << text; }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *label = qobject_cast<QLabel *>(watched);
        if (event->type() == QEvent::Paint && label && label->objectName() == "lblBytesReceived" &&
            (shown.isEmpty() || shown.last() != label->text()))
            shown << label->text();
        return false;
    }
};

} // namespace

TEST(DownloadProgressWindow, StreamTransferShowsTheBytesAsTheyArrive)
{
    // The stream variant opens its window once the header is in, after the
    // port take-over's last event wait, and then holds the thread until the
    // memory is in: at the meter's real rate that takes a while.
    SimProcess sim{{"--model", "580", "--suffix", "CR", "--pace"}};
    vandrel::test::LinkRig rig;
    QMdiArea area;
    area.resize(1000, 800);
    area.show();
    ASSERT_TRUE(rig.connectTo(sim.device()));
    ASSERT_EQ(rig.identity.ModelSuffix, '\r');
    rig.link.startTimers();
    DataLoggerState state;
    QPointer<TfrmDataLogger> window;
    QWidget parent;
    PaintedProgress view(&parent, state, window);
    qApp->installEventFilter(&view);

    ASSERT_EQ(downloadAndShowMemory(area, rig.link, state, window, view, kTiming), kDownloadSuccess);
    qApp->removeEventFilter(&view);
    EXPECT_TRUE(view.messages.isEmpty());
    const int total = state.Table.Image.size();
    ASSERT_GT(total, 0);
    ASSERT_GE(view.shown.size(), 3) << view.shown.join(' ').toStdString();
    EXPECT_EQ(view.shown.first(), "0");
    EXPECT_EQ(view.shown.last(), QString::number(total));
    for (int i = 1; i < view.shown.size(); ++i)
        EXPECT_LT(view.shown[i - 1].toInt(), view.shown[i].toInt()) << view.shown.join(' ').toStdString();
}

TEST(DownloadProgressWindow, ShowsBytesAndRefusesToCloseWhileTheDownloadRuns)
{
    QWidget parent;
    DataLoggerState state;
    ScopeDownloadView view(&parent, state);
    state.DownloadInProgress = true;
    view.progressOpened(98304, QString());
    TfrmScope *scope = view.scope();
    ASSERT_NE(scope, nullptr);
    EXPECT_EQ(scope->windowTitle(), "Data Retriving Progress");
    EXPECT_EQ(scope->SText1->text(), "bytes received");
    EXPECT_EQ(scope->SText2->text(), "total bytes");
    EXPECT_TRUE(scope->lblBytesReceived->isVisible());
    EXPECT_EQ(scope->lblBytesReceived->text(), "0");
    view.progressTotalText("4096");
    view.progressMaximum(4000);
    view.progressReceived(4096);
    EXPECT_EQ(scope->lblTotalBytes->text(), "4096");
    EXPECT_EQ(scope->lblBytesReceived->text(), "4096");
    EXPECT_EQ(scope->Progress1->value(), 4000);
    EXPECT_FALSE(scope->close());
    EXPECT_TRUE(scope->isVisible());
    view.progressClosed();
    EXPECT_EQ(view.scope(), nullptr);
}
