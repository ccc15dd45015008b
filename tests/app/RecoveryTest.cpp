// SPDX-License-Identifier: GPL-3.0-or-later
// Nothing unsaved is lost by closing or killing the program: a run killed at
// one sample a second loses at most the row it was writing and comes back at
// the next start; an unsaved download is asked about and kept until saved.
#include "app/RecoveryFiles.h"
#include "app/TfrmMain.h"
#include "datalogger/TfrmDataLogger.h"
#include "realtime/RunJournal.h"

#include "MainWindowRig.h"
#include "SimProcess.h"
#include "TestSupport.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace vandrel;
using vandrel::test::AnsweringUi;
using vandrel::test::SettingsFile;
using vandrel::test::SimProcess;
using vandrel::test::waitUntil;

namespace {

// Complete output lines of the child; a piece after the last newline waits.
struct ChildOutput {
    QByteArray pending;
    QString journal;
    QStringList rows;

    void take(const QByteArray &bytes)
    {
        pending += bytes;
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromLocal8Bit(pending.left(end));
            pending.remove(0, end + 1);
            if (line.startsWith("JOURNAL "))
                journal = line.mid(8);
            else if (line.startsWith("ROW "))
                rows << line.mid(4);
        }
    }
};

} // namespace

TEST(RunJournalCrash, AKilledRunLosesAtMostTheRowBeingWrittenAndComesBack)
{
    SimProcess sim({"--model", "580", "--suffix", "D"});
    QTemporaryDir dir;
    const QString ini = dir.filePath("vandrel.ini");
    {
        QSettings s(ini, QSettings::IniFormat);
        s.setValue("RealTimeRate", 1);
    }
    const QString folder = dir.filePath("data");

    QProcess child;
    child.setProgram(QStringLiteral(VANDREL_RUN_CRASH_CHILD));
    child.setArguments({sim.device(), ini, folder});
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start();
    ASSERT_TRUE(child.waitForStarted(10000));
    ChildOutput out;
    const QDeadlineTimer deadline(120000);
    while (out.rows.size() < 5 && !deadline.hasExpired() && child.state() == QProcess::Running) {
        child.waitForReadyRead(1000);
        out.take(child.readAllStandardOutput());
    }
    ASSERT_GE(out.rows.size(), 5) << "the run did not get going";
    ASSERT_FALSE(out.journal.isEmpty());

    // A second program started now keeps its journal elsewhere.
    {
        RecoveryFiles second(folder);
        ASSERT_TRUE(second.active());
        EXPECT_NE(second.runJournalPath(), out.journal);
    }

    ASSERT_EQ(::kill(static_cast<pid_t>(child.processId()), SIGKILL), 0);
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
    out.take(child.readAllStandardOutput());

    // Every row reported was journaled before it was reported; at most one more,
    // written and not yet reported, and no line torn but the last.
    const JournalContents journal = readJournal(out.journal);
    ASSERT_TRUE(journal.hasHeader);
    EXPECT_EQ(journal.header.model, 580);
    EXPECT_EQ(journal.header.suffix, 'D');
    EXPECT_LE(journal.rejectedLines, 1);
    const int rows = static_cast<int>(journal.samples.size());
    ASSERT_GE(rows, out.rows.size());
    EXPECT_LE(rows, out.rows.size() + 1);
    for (int i = 0; i < rows; ++i) {
        EXPECT_EQ(journal.samples[i].number, i + 1);
        if (i < out.rows.size()) {
            EXPECT_EQ(journal.samples[i].cells.join('|'), out.rows[i]) << "row " << i + 1;
        }
    }

    // The next start offers the run back; Yes shows it as it was, paused and unsaved.
    QSettings settings(ini, QSettings::IniFormat);
    MainOptions options;
    options.systemPorts = false;
    options.settings = &settings;
    options.recoveryFolder = folder;
    QStringList questions;
    options.askRestore = [&](const QString &q) {
        questions << q;
        return true;
    };
    TfrmMain window(options);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 20000));
    EXPECT_EQ(questions, QStringList{restoreRunQuestion(rows)});
    EXPECT_EQ(window.recoveryFiles().runJournalPath(), out.journal); // the dead program's slot
    const StringGrid &grid = *window.realTime().RealTimeTableWindow()->Grid1;
    ASSERT_EQ(grid.RowCount(), rows + 1);
    const MeterChart &chart = *window.realTime().RealTimeGraphWindow()->Chart1;
    EXPECT_EQ(chart.SeriesCount(), 4);
    EXPECT_EQ(window.realTime().run().NextPointIndex, rows);
    for (int r = 1; r <= rows; ++r) {
        QStringList cells;
        for (int c = 0; c < grid.ColCount(); ++c)
            cells << grid.Cells(c, r);
        EXPECT_EQ(cells, journal.samples[r - 1].cells);
        // The chart keeps its values in single precision, as the run's graph did.
        EXPECT_EQ(chart.GetY(0, r - 1), static_cast<float>(journal.samples[r - 1].rh));
        EXPECT_EQ(chart.GetX(0, r - 1), journal.samples[r - 1].time);
    }
    EXPECT_FALSE(window.realTime().run().RealTimeRunning);
    EXPECT_TRUE(window.realTime().run().RealTimeUnsaved);
    EXPECT_TRUE(window.action("mnuStop")->isEnabled());
    EXPECT_EQ(readJournal(out.journal).samples.size(), rows);

    // Closing asks to save; No lets the run go, journal and all.
    int asked = 0;
    window.realTime().setAsk([&](const QString &) {
        ++asked;
        return QMessageBox::No;
    });
    EXPECT_TRUE(window.close());
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(QFile::exists(out.journal));
}

namespace {

// What the data-logger window shows: the set list and the shown set's table.
QStringList shownByLogger(TfrmDataLogger &w)
{
    QStringList cells;
    for (StringGrid *grid : {w.Grid2, w.Grid1})
        for (int r = 0; r < grid->RowCount(); ++r)
            for (int c = 0; c < grid->ColCount(); ++c)
                cells << grid->Cells(c, r);
    return cells;
}

} // namespace

// Closing the program asks about an unsaved download as closing its window
// does, and stays open unless the data was saved or declined; until then the
// download is kept on disk, and a program that did not close normally gets it
// back at its next start.
TEST(MainWindowDataLogger, ClosingTheProgramAsksAboutTheDownloadAndACrashDoesNotLoseIt)
{
    SimProcess sim({"--model", "580", "--suffix", "D", "--sets", "2"});
    SettingsFile store;
    MainOptions options = store.options({sim.device()});
    options.recoveryFolder = store.dir.filePath("data");
    TfrmMain window(options);
    window.resize(1200, 900);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.startupDone(); }, 20000));
    window.action("LoadData1")->trigger();
    TfrmDataLogger *logger = window.dataLoggerWindow();
    ASSERT_NE(logger, nullptr);
    ASSERT_TRUE(window.dataLoggerState().LoggerDataUnsaved);
    const QString keptPath = window.recoveryFiles().loggerMemoryPath();
    ASSERT_TRUE(QFile::exists(keptPath));
    const QStringList shown = shownByLogger(*logger);

    QStringList messages;
    QString file;
    window.setTableFileUi([&] {
        auto ui = std::make_unique<AnsweringUi>();
        ui->file = file;
        ui->messages = &messages;
        return ui;
    });
    int asked = 0;
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    logger->askSave = [&] {
        ++asked;
        return answer;
    };
    // Cancel; Yes with the file dialog cancelled; Yes with a file that cannot be written.
    const struct {
        QMessageBox::StandardButton answer;
        QString file;
        int messages;
    } keepsOpen[] = {{QMessageBox::Cancel, {}, 0},
                     {QMessageBox::Yes, {}, 0},
                     {QMessageBox::Yes, store.dir.filePath("no-such-folder/set.csv"), 1}};
    for (const auto &k : keepsOpen) {
        answer = k.answer;
        file = k.file;
        EXPECT_FALSE(window.close());
        EXPECT_TRUE(window.isVisible());
        EXPECT_TRUE(window.dataLoggerState().LoggerDataUnsaved);
        EXPECT_NE(window.dataLoggerWindow(), nullptr);
        EXPECT_TRUE(QFile::exists(keptPath));
        EXPECT_EQ(messages.size(), k.messages);
    }
    EXPECT_EQ(asked, 3);

    // The program is killed now: the next start finds the kept download (here
    // in a folder of its own, as the live program still holds this one).
    const QString crashed = store.dir.filePath("crashed");
    ASSERT_TRUE(QDir().mkpath(crashed + "/session-1"));
    ASSERT_TRUE(QFile::copy(keptPath, crashed + "/session-1/logger.memory"));
    {
        MainOptions again = store.options();
        again.recoveryFolder = crashed;
        QStringList questions;
        again.askRestore = [&](const QString &q) {
            questions << q;
            return true;
        };
        TfrmMain next(again);
        next.resize(1200, 900);
        next.show();
        ASSERT_TRUE(waitUntil([&] { return next.startupDone(); }, 10000));
        EXPECT_EQ(questions, QStringList{restoreLoggerQuestion(2)});
        ASSERT_NE(next.dataLoggerWindow(), nullptr);
        EXPECT_EQ(shownByLogger(*next.dataLoggerWindow()), shown);
        EXPECT_TRUE(next.dataLoggerState().LoggerDataUnsaved);
        // Saved: the kept copy goes, and closing asks nothing.
        const QString saved = store.dir.filePath("restored.csv");
        next.setTableFileUi([&] {
            auto ui = std::make_unique<AnsweringUi>();
            ui->file = saved;
            ui->messages = &messages;
            return ui;
        });
        next.mdiArea()->setActiveSubWindow(next.dataLoggerWindow()->subWindow());
        next.action("mnuSave")->trigger();
        EXPECT_TRUE(QFile::exists(saved));
        EXPECT_FALSE(QFile::exists(next.recoveryFiles().loggerMemoryPath()));
        next.dataLoggerWindow()->askSave = [] {
            ADD_FAILURE() << "asked after the data was saved";
            return QMessageBox::Cancel;
        };
        EXPECT_TRUE(next.close());
    }

    // No: the program closes and the kept download goes with it.
    answer = QMessageBox::No;
    EXPECT_TRUE(window.close());
    EXPECT_EQ(asked, 4);
    EXPECT_FALSE(QFile::exists(keptPath));
}
