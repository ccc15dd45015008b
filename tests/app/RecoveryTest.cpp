// SPDX-License-Identifier: GPL-3.0-or-later
// Nothing unsaved is lost by closing or killing the program: a run killed at
// one sample a second loses at most the row it was writing and comes back at
// the next start; an unsaved download is asked about and kept until saved.
#include "app/RecoveryFiles.h"
#include "app/TfrmMain.h"
#include "datalogger/TfrmDataLogger.h"
#include "realtime/RunJournal.h"

#include "../datalogger/DataLoggerTestSets.h"
#include "FailingDisk.h"
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
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <unistd.h>

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
    test::FailingDisk disk; // outlives the window
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
    // Cancel; Yes with the file dialog cancelled; Yes with a file that cannot
    // be written; Yes on a disk that is full.
    window.setDiskCalls(disk.calls());
    const struct {
        QMessageBox::StandardButton answer;
        QString file;
        int messages;
        bool diskFull;
    } keepsOpen[] = {{QMessageBox::Cancel, {}, 0, false},
                     {QMessageBox::Yes, {}, 0, false},
                     {QMessageBox::Yes, store.dir.filePath("no-such-folder/set.csv"), 1, false},
                     {QMessageBox::Yes, store.dir.filePath("set.csv"), 2, true}};
    for (const auto &k : keepsOpen) {
        answer = k.answer;
        file = k.file;
        disk.failAt = k.diskFull ? test::FailingDisk::Step::Sync : test::FailingDisk::Step::None;
        EXPECT_FALSE(window.close());
        if (k.diskFull) {
            EXPECT_FALSE(QFile::exists(k.file));
            ASSERT_FALSE(messages.isEmpty());
            EXPECT_TRUE(messages.last().contains("No space left on device")) << messages.last().toStdString();
        }
        EXPECT_TRUE(window.isVisible());
        EXPECT_TRUE(window.dataLoggerState().LoggerDataUnsaved);
        EXPECT_NE(window.dataLoggerWindow(), nullptr);
        EXPECT_TRUE(QFile::exists(keptPath));
        EXPECT_EQ(messages.size(), k.messages);
    }
    EXPECT_EQ(asked, 4);
    disk.failAt = test::FailingDisk::Step::None;

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
    EXPECT_EQ(asked, 5);
    EXPECT_FALSE(QFile::exists(keptPath));
}

namespace {

JournalSample journalRow(int n)
{
    JournalSample s;
    s.number = n;
    s.time = 46000.5 + n / 86400.0;
    s.rh = 40 + n;
    s.t1 = 21.5;
    s.t2 = 19.5;
    s.dewPoint = 9.5;
    s.cells = {QString::number(n), "06/12/2026", QStringLiteral("13:%1:00").arg(n, 2, 10, QLatin1Char('0')),
               QString::number(40 + n), "%RH", "21.5", "C", "19.5", "C", "9.5"};
    return s;
}

QByteArray journalBytes(int rows)
{
    QByteArray bytes = journalHeaderLine({580, 'D', 0.01});
    for (int n = 1; n <= rows; ++n)
        bytes += journalSampleLine(journalRow(n));
    return bytes;
}

// Where line `n` (0 = the header) of a journal begins.
qsizetype lineStart(const QByteArray &bytes, int n)
{
    qsizetype at = 0;
    for (int i = 0; i < n; ++i)
        at = bytes.indexOf('\n', at) + 1;
    return at;
}

QByteArray keptBytes()
{
    DataSetTable table;
    EXPECT_EQ(testsets::buildTable(table, 560, {testsets::workedExampleSet(), testsets::rampSet(40)}),
              kSetTableAccepted);
    return keptMemoryBytes(keepMemory(table, 560, '\r', 46000.25));
}

struct DamageCase {
    const char *name;
    bool memory;                               // a kept memory, else a run journal
    std::function<QByteArray()> bytes;
    const char *said;                          // in the question, or in the message when nothing can be restored
    int readable;                              // rows (sets for a memory) offered back; 0: none
};

void PrintTo(const DamageCase &c, std::ostream *os) { *os << c.name; }

class DamagedRecoveryFile : public ::testing::TestWithParam<DamageCase> {};

} // namespace

// A recovery file that cannot be read whole is kept beside itself, byte for
// byte, under a new name, and said so; what can be read is offered with how
// much that is; nothing is thrown away before the user answered.
TEST_P(DamagedRecoveryFile, IsKeptBesideAndWhatCanBeReadIsOffered)
{
    const DamageCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(c.memory ? "logger.memory" : "realtime.journal");
    const QByteArray bytes = c.bytes();
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    LeftWork said;
    int readable = 0;
    if (c.memory) {
        const LeftMemory left = readLeftMemory(path);
        said = left;
        readable = left.kept ? left.kept->setCount : 0;
        if (left.kept) {
            DataSetTable table;
            EXPECT_TRUE(rebuildSetTable(*left.kept, table));
        }
    } else {
        const LeftRun left = readLeftRun(path);
        said = left;
        readable = static_cast<int>(left.contents.samples.size());
    }
    EXPECT_EQ(readable, c.readable);
    const QString copy = QFileInfo(path).dir().filePath(c.memory ? "logger-damaged-1.memory"
                                                                 : "realtime-damaged-1.journal");
    EXPECT_EQ(said.damagedCopy, copy);
    EXPECT_TRUE(said.mayDiscard);
    QFile kept(copy);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), bytes);
    QFile original(path);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), bytes);
    // A start that ends before the answer, then another: still the one copy.
    EXPECT_EQ(c.memory ? readLeftMemory(path).damagedCopy : readLeftRun(path).damagedCopy, copy);
    EXPECT_EQ(QDir(QFileInfo(path).path()).entryList(QDir::Files).size(), 2);

    const QString text = c.readable > 0 ? said.question : said.message;
    EXPECT_EQ(c.readable > 0 ? said.message : said.question, QString());
    EXPECT_TRUE(text.contains(QString::fromUtf8(c.said))) << text.toStdString();
    EXPECT_TRUE(text.contains(QDir::toNativeSeparators(copy))) << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    HeaderMiddleLastAndMemory, DamagedRecoveryFile,
    ::testing::Values(
        DamageCase{"HeaderByte", false,
                   [] {
                       QByteArray b = journalBytes(23);
                       b[5] = 'x';
                       return b;
                   },
                   "all 23 rows could be read", 23},
        DamageCase{"MiddleLine", false,
                   [] {
                       QByteArray b = journalBytes(24);
                       b[lineStart(b, 12) + 4] ^= 0x04;
                       return b;
                   },
                   "23 of 24 rows could be read", 23},
        DamageCase{"LastLineCut", false, [] { return journalBytes(24).chopped(7); }, "23 of 24 rows could be read",
                   23},
        DamageCase{"TornLineGluedToTheNext", false,
                   [] {
                       const QByteArray b = journalBytes(24);
                       return b.left(lineStart(b, 12) + 25) + b.mid(lineStart(b, 13));
                   },
                   "23 of 24 rows could be read", 23},
        DamageCase{"FlippedBitInTheMemory", true,
                   [] {
                       QByteArray b = keptBytes();
                       // A letter of the image's base64 becomes its neighbour: still base64.
                       const qsizetype at = b.indexOf('B', b.indexOf('\n') + 1);
                       b[at] = 'C';
                       return b;
                   },
                   "could not be read whole; some values may be wrong", 2},
        DamageCase{"MemoryCut", true, [] { return keptBytes().left(40); },
                   "The unsaved DataLogger Data could not be read.", 0}),
    [](const ::testing::TestParamInfo<DamageCase> &info) { return std::string(info.param.name); });

namespace {

// A program that did not close normally left a 580D run of five rows and a
// download in `folder`; the next start is told Yes to both.
struct LeftBehind {
    SettingsFile store;
    QString folder = store.dir.filePath("data");
    QStringList questions;
    QStringList told;
    std::unique_ptr<TfrmMain> window;

    LeftBehind()
    {
        const QString slot = folder + "/session-1";
        EXPECT_TRUE(QDir().mkpath(slot));
        QFile journal(slot + "/realtime.journal");
        EXPECT_TRUE(journal.open(QIODevice::WriteOnly));
        journal.write(journalBytes(5));
        journal.close();
        QFile memory(slot + "/logger.memory");
        EXPECT_TRUE(memory.open(QIODevice::WriteOnly));
        memory.write(keptBytes());
    }

    void start(const QString &recoveryFolder, const DiskCalls *calls = nullptr)
    {
        MainOptions options = store.options();
        options.recoveryFolder = recoveryFolder;
        options.askRestore = [this](const QString &q) {
            questions << q;
            return true;
        };
        options.tell = [this](const QString &m) { told << m; };
        window = std::make_unique<TfrmMain>(options);
        if (calls)
            window->setDiskCalls(*calls);
        window->resize(1200, 900);
        window->show();
        EXPECT_TRUE(waitUntil([&] { return window->startupDone(); }, 20000));
    }
};

} // namespace

// The graph of a restored run draws the dew point its rows show.
TEST(RestoredRunAtStartUp, DrawsItsDewPointCurve)
{
    LeftBehind left;
    left.start(left.folder);
    EXPECT_EQ(left.questions.size(), 2);
    const MeterChart &chart = *left.window->realTime().RealTimeGraphWindow()->Chart1;
    ASSERT_EQ(chart.SeriesCount(), 4);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(chart.GetY(3, i), 9.5f) << "point " << i;
}

// Closing with a run going and an unsaved download: No at the run's question
// and Cancel at the download's leaves the run going, with all its rows.
TEST(ClosingWithARunAndADownload, CancelAtTheSecondQuestionKeepsTheRunGoing)
{
    LeftBehind left;
    left.start(left.folder);
    TfrmMain &window = *left.window;
    ASSERT_NE(window.dataLoggerWindow(), nullptr);
    window.realTime().runOrPause();
    ASSERT_TRUE(window.realTime().run().RealTimeRunning);
    QStringList order;
    window.realTime().setAsk([&](const QString &) {
        order << "run";
        return QMessageBox::No;
    });
    window.dataLoggerWindow()->askSave = [&] {
        order << "download";
        return QMessageBox::Cancel;
    };
    EXPECT_FALSE(window.close());
    EXPECT_EQ(order, (QStringList{"run", "download"}));
    EXPECT_TRUE(window.realTime().run().RealTimeRunning);
    EXPECT_TRUE(window.realTime().run().RealTimeUnsaved);
    EXPECT_FALSE(window.realTime().samplingHeld());
    EXPECT_EQ(window.realTime().RealTimeTableWindow()->Grid1->RowCount(), 6);
    EXPECT_EQ(readJournal(window.recoveryFiles().runJournalPath()).samples.size(), 5);
}

// A data folder that cannot be made is said once at start-up, with the
// system's reason, and the status line keeps saying it.
TEST(RecoveryFolderAtStartUp, OneThatCannotBeMadeIsSaidOnce)
{
    LeftBehind left;
    QFile blocker(left.store.dir.filePath("a-file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString folder = blocker.fileName() + "/data";
    left.start(folder);
    EXPECT_EQ(left.told, QStringList{notProtectedMessage(folder, "Not a directory")});
    EXPECT_EQ(left.window->protectionStatus(), "Run not protected: Not a directory");
    EXPECT_TRUE(left.questions.isEmpty());
}

// The disk is full when a restored run goes on: the status line says so with
// the system's reason, the rows stay in the table, and the journal takes every
// one of them once the disk has room again.
TEST(RunOnAFullDisk, IsSaidOnTheStatusLineAndTheJournalCatchesUp)
{
    test::FailingDisk disk; // outlives the window, whose journal uses it to the end
    LeftBehind left;
    disk.failAt = test::FailingDisk::Step::Sync;
    const DiskCalls calls = disk.calls();
    left.start(left.folder, &calls);
    TfrmMain &window = *left.window;
    EXPECT_EQ(window.protectionStatus(), "Run not protected: No space left on device");
    window.realTime().runOrPause();
    const auto sample = [&] {
        window.realTime().run().TickCounter = window.SampleRate();
        window.realTime().sampleTick(QDateTime::currentDateTime());
    };
    sample();
    EXPECT_EQ(window.realTime().RealTimeTableWindow()->Grid1->RowCount(), 7);
    EXPECT_EQ(window.protectionStatus(), "Run not protected: No space left on device");

    disk.failAt = test::FailingDisk::Step::None;
    sample();
    EXPECT_EQ(window.protectionStatus(), QString());
    const JournalContents journal = readJournal(window.recoveryFiles().runJournalPath());
    EXPECT_FALSE(journal.damaged());
    const StringGrid &grid = *window.realTime().RealTimeTableWindow()->Grid1;
    ASSERT_EQ(journal.samples.size(), 7);
    for (int r = 1; r <= 7; ++r) {
        EXPECT_EQ(journal.samples[r - 1].number, r);
        EXPECT_EQ(journal.samples[r - 1].cells.value(2), grid.Cells(2, r)) << "row " << r;
    }
}

// A data folder that cannot be written is said once at start-up, and the run
// and the download a crashed program left in it are still offered, and left
// where they are.
TEST(RecoveryFolderAtStartUp, AReadOnlyOneStillOffersWhatCanBeRead)
{
    LeftBehind left;
    const QString slot = left.folder + "/session-1";
    for (const QString &f : {slot, left.folder})
        ASSERT_TRUE(QFile::setPermissions(f, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                                 QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    const auto writable = qScopeGuard([&] {
        for (const QString &f : {left.folder, slot})
            QFile::setPermissions(f, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    if (::access(QFile::encodeName(left.folder).constData(), W_OK) == 0)
        GTEST_SKIP() << "this user may write into any folder";
    left.start(left.folder);
    EXPECT_EQ(left.told, QStringList{notProtectedMessage(left.folder, "Permission denied")});
    EXPECT_EQ(left.window->protectionStatus(), "Run not protected: Permission denied");
    EXPECT_EQ(left.questions, (QStringList{restoreRunQuestion(5), restoreLoggerQuestion(2)}));
    EXPECT_EQ(left.window->realTime().RealTimeTableWindow()->Grid1->RowCount(), 6);
    EXPECT_NE(left.window->dataLoggerWindow(), nullptr);
    left.window->realTime().setAsk([](const QString &) { return QMessageBox::No; });
    left.window->dataLoggerWindow()->askSave = [] { return QMessageBox::No; };
    EXPECT_TRUE(left.window->close());
    EXPECT_EQ(readJournal(slot + "/realtime.journal").samples.size(), 5);
}
