// SPDX-License-Identifier: GPL-3.0-or-later
// The whole download against the simulated meter on a pseudo-terminal: both
// variants bring its memory, a damaged block is asked for again, a transfer
// that stops reports its code, and the port always goes back to the link.
#include "datalogger/ComPortDownload.h"
#include "datalogger/LoadData.h"

#include "LinkRig.h"
#include "LoggerMemory.h"
#include "SimProcess.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vandrel;
using vandrel::test::SimProcess;
using vandrel::test::waitUntil;

namespace {

// Shorter settling around the reopen; the transfer's own times stay as they are.
const DownloadTiming kTiming{300, 100, 300, 3000, 1500, 3000};

struct Messages : DownloadView {
    QStringList shown;
    int opened = 0, closed = 0;
    void message(const QString &text) override { shown << text; }
    void progressOpened(int, const QString &) override { ++opened; }
    void progressClosed() override { ++closed; }
};

// Counts the waits of the real port that ended without input, to show that
// silence is waited out in a few blocking waits rather than a loop of quick
// looks. Waits that input ends are not counted: how many of those a transfer
// takes depends on how the system hands the bytes over, not on the program.
class CountingPort : public DownloadPort {
public:
    explicit CountingPort(TComPort &port) : inner_(port) {}
    int silentWaits = 0;
    int inputCount() override { return inner_.inputCount(); }
    int read(char *b, int n) override { return inner_.read(b, n); }
    void write(char c) override { inner_.write(c); }
    WaitStatus waitForInput(int ms) override
    {
        const WaitStatus status = inner_.waitForInput(ms);
        if (status == WaitStatus::Timeout)
            ++silentWaits;
        return status;
    }
    void pause(int ms) override { inner_.pause(ms); }
    qint64 elapsedMs() override { return inner_.elapsedMs(); }

private:
    ComPortDownload inner_;
};

// A logger memory of our own making, so the test knows every byte of it.
struct MemoryFile {
    QTemporaryDir dir;
    sim::Bytes memory;
    QString path;
    MemoryFile(int model, int sets)
        : memory(sim::buildMemory(sim::plausibleSets(sets, 11), sampleSizeFor(model))),
          path(dir.filePath("memory.bin"))
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(reinterpret_cast<const char *>(memory.data()), static_cast<qint64>(memory.size()));
    }
    QByteArray image() const
    {
        const QByteArray all(reinterpret_cast<const char *>(memory.data()), static_cast<qsizetype>(memory.size()));
        return all.mid(256, sim::readHeader(memory).endAddress - 255);
    }
};

struct Rig : vandrel::test::LinkRig {
    int frames = 0;
    Rig() { QObject::connect(&link, &MeterLink::frameDecoded, [this] { ++frames; }); }

    // `framesWithinMs`: a meter that does not say its model is decoded only
    // once it has been taken for the remembered one.
    void expectGivenBack(int framesWithinMs = 5000)
    {
        EXPECT_TRUE(port.Active());
        EXPECT_TRUE(port.hasOnRxChar());
        EXPECT_TRUE(link.aTimer().isActive());
        EXPECT_TRUE(link.mainTimer().isActive());
        const int before = frames;
        EXPECT_TRUE(waitUntil([&] { return frames > before; }, framesWithinMs)) << "no frames after the download";
    }
};

struct Variant {
    const char *name;
    const char *model;
    const char *suffix;
};

} // namespace

class FullDownload : public ::testing::TestWithParam<Variant> {};

TEST_P(FullDownload, BringsTheMetersMemoryAndGivesThePortBack)
{
    const Variant &v = GetParam();
    MemoryFile mem(QString(v.model).toInt(), 4);
    SimProcess sim({"--model", v.model, "--suffix", v.suffix, "--memory", mem.path});
    Rig rig;
    ASSERT_TRUE(rig.connectTo(sim.device()));
    rig.link.startTimers();
    DataLoggerState state;
    Messages view;

    EXPECT_EQ(LoadData(rig.link, state, view, kTiming), kDownloadSuccess);
    EXPECT_EQ(state.Table.Image, mem.image());
    EXPECT_EQ(state.Table.setCount(), 4);
    EXPECT_TRUE(state.LoggerDataUnsaved);
    EXPECT_FALSE(state.DownloadInProgress);
    EXPECT_TRUE(view.shown.isEmpty());
    EXPECT_EQ(view.opened, 1);
    EXPECT_EQ(view.closed, 1);
    EXPECT_EQ(sim.received('P'), 1);
    rig.expectGivenBack();
}

INSTANTIATE_TEST_SUITE_P(Variants, FullDownload,
                         ::testing::Values(Variant{"Stream", "580", "CR"}, Variant{"BlocksDewPoint", "580", "D"},
                                           Variant{"Blocks560", "560", "none"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(BlockDownload, DamagedBlockIsAskedForAgainAndTheMemoryIsStillRight)
{
    MemoryFile mem(580, 3);
    SimProcess sim({"--model", "580", "--memory", mem.path, "--corrupt-block", "3"});
    Rig rig;
    ASSERT_TRUE(rig.connectTo(sim.device()));
    rig.link.startTimers();
    DataLoggerState state;
    Messages view;

    EXPECT_EQ(LoadData(rig.link, state, view, kTiming), kDownloadSuccess);
    EXPECT_EQ(state.Table.Image, mem.image());
    EXPECT_EQ(sim.received('n'), 1);
    rig.expectGivenBack();
}

class StoppedDownload : public ::testing::TestWithParam<Variant> {};

TEST_P(StoppedDownload, ReportsBrokenOffKeepsTheOldTableAndGivesThePortBack)
{
    const Variant &v = GetParam();
    MemoryFile mem(580, 4);
    SimProcess sim({"--model", v.model, "--suffix", v.suffix, "--memory", mem.path, "--stop-after", "500"});
    Rig rig;
    ASSERT_TRUE(rig.connectTo(sim.device()));
    rig.link.startTimers();
    DataLoggerState state;
    state.Table.Image = "previous";
    Messages view;
    CountingPort counting(rig.port);

    EXPECT_EQ(LoadData(rig.link, state, view, kTiming, &counting), kDownloadBrokeOff);
    EXPECT_EQ(view.shown, QStringList{downloadErrorText(kDownloadBrokeOff)});
    EXPECT_EQ(state.Table.Image, QByteArray("previous"));
    EXPECT_FALSE(state.LoggerDataUnsaved);
    EXPECT_FALSE(state.DownloadInProgress);
    EXPECT_EQ(view.closed, 1);
    // Seconds of silence (a broken-off block, then the end), waited out in
    // blocking waits: a few when the machine is idle, a few more when a busy
    // machine wakes them early, never the thousands of a loop that spins.
    EXPECT_GE(counting.silentWaits, 1);
    EXPECT_LE(counting.silentWaits, 40);
    rig.expectGivenBack();
}

INSTANTIATE_TEST_SUITE_P(Variants, StoppedDownload,
                         ::testing::Values(Variant{"Stream", "580", "CR"}, Variant{"Blocks", "580", "D"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(DownloadPreconditions, NoMeterOrRecordingSendsNothingAndLeavesTheLinkRunning)
{
    {
        SimProcess sim({"--no-id"});
        Rig rig;
        ASSERT_FALSE(rig.connectTo(sim.device()));
        rig.link.startTimers();
        DataLoggerState state;
        Messages view;
        EXPECT_EQ(LoadData(rig.link, state, view, kTiming), kDownloadPrecondition);
        EXPECT_EQ(view.shown, QStringList{kNoMeterMessage});
        EXPECT_EQ(view.opened, 0);
        EXPECT_EQ(sim.received('P'), 0);
        rig.expectGivenBack(3 * MeterLink::kIdentifyGiveUpMs);
    }
    {
        SimProcess sim;
        Rig rig;
        ASSERT_TRUE(rig.connectTo(sim.device()));
        rig.link.startTimers();
        rig.reading.RecOn = true;
        DataLoggerState state;
        Messages view;
        EXPECT_EQ(LoadData(rig.link, state, view, kTiming), kDownloadPrecondition);
        EXPECT_EQ(view.shown, QStringList{kRecordingMessage});
        EXPECT_EQ(sim.received('P'), 0);
        rig.expectGivenBack();
    }
}

TEST(DownloadPreconditions, EmptyMemoryIsReportedAsSuch)
{
    SimProcess sim({"--model", "580", "--sets", "0"});
    Rig rig;
    ASSERT_TRUE(rig.connectTo(sim.device()));
    DataLoggerState state;
    Messages view;
    EXPECT_EQ(LoadData(rig.link, state, view, kTiming), kDownloadEmpty);
    EXPECT_EQ(view.shown, QStringList{downloadErrorText(kDownloadEmpty)});
    rig.expectGivenBack();
}
