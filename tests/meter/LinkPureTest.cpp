// SPDX-License-Identifier: GPL-3.0-or-later
// The pure pieces of the link: frame cutting over every way a stream can be
// chunked, the identification reply, the tick interval regulation and the
// order in which the search tries the ports, and the status text for devices
// that could not be opened.
#include "meter/FrameCutter.h"
#include "meter/MeterIdentity.h"
#include "meter/MeterLink.h"
#include "meter/PortAccess.h"
#include "meter/TickRegulation.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace vandrel;

namespace {

QByteArray bytes(std::initializer_list<int> b)
{
    QByteArray a;
    for (int v : b)
        a.append(char(v));
    return a;
}

const QByteArray kFrameA = bytes({0x02, 1, 2, 3, 4, 5, 6, 7, 8, 0x03});
const QByteArray kFrameB = bytes({0x02, 9, 9, 9, 9, 9, 9, 9, 9, 0x03});

struct CutCase {
    const char *name;
    QByteArray stream;
    std::vector<QByteArray> frames;
    int left; // bytes kept for later
};

QByteArray asBytes(const DisplayFrame &f) { return QByteArray(reinterpret_cast<const char *>(f.data()), 10); }

class CutFrames : public ::testing::TestWithParam<CutCase> {};

} // namespace

TEST_P(CutFrames, WholeStream)
{
    const CutCase &c = GetParam();
    QByteArray buffer = c.stream;
    std::vector<QByteArray> got;
    for (const auto &f : cutFrames(buffer))
        got.push_back(asBytes(f));
    EXPECT_EQ(got, c.frames);
    EXPECT_EQ(buffer.size(), c.left);
}

// However the stream is chunked, the same frames come out in the same order.
TEST_P(CutFrames, EverySplitPoint)
{
    const CutCase &c = GetParam();
    for (int split = 1; split < c.stream.size(); ++split) {
        QByteArray buffer;
        std::vector<QByteArray> got;
        for (const QByteArray &chunk : {c.stream.left(split), c.stream.mid(split)}) {
            buffer.append(chunk);
            for (const auto &f : cutFrames(buffer))
                got.push_back(asBytes(f));
        }
        EXPECT_EQ(got, c.frames) << "split at " << split;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, CutFrames,
    ::testing::Values(CutCase{"garbage_before", bytes({0x55}) + kFrameA, {kFrameA}, 0},
                      CutCase{"bad_end_costs_ten", bytes({0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9}) + kFrameA, {kFrameA}, 0},
                      CutCase{"two_frames", kFrameA + kFrameB, {kFrameA, kFrameB}, 0},
                      CutCase{"partial_tail", kFrameA + kFrameB.left(6), {kFrameA}, 6},
                      CutCase{"no_start_at_all", QByteArray(25, char(0x41)), {}, 5},
                      CutCase{"zero_bytes_kept", bytes({0, 0, 0}) + kFrameA + bytes({0}), {kFrameA}, 1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CutFramesEdge, ShortBufferIsLeftAlone)
{
    QByteArray buffer = kFrameA.left(9);
    EXPECT_TRUE(cutFrames(buffer).empty());
    EXPECT_EQ(buffer, kFrameA.left(9));
}

TEST(CutFramesEdge, StartByteInsideBadFrameIsLostWithIt)
{
    // The ten bytes of a broken frame go together, even if a real start hides inside.
    QByteArray buffer = bytes({0x02, 1, 2}) + kFrameA + bytes({0, 0, 0});
    EXPECT_TRUE(cutFrames(buffer).empty());
    EXPECT_EQ(buffer.size(), 6);
}

TEST(IdentifyMeter, Replies)
{
    struct Case {
        QByteArray reply;
        bool ok;
        int model;
        char suffix;
    };
    const Case cases[] = {
        {"540D", true, 540, 'D'},
        {"580\r", true, 580, '\r'},
        {QByteArray("520\0", 4), true, 520, 0},
        {"999X", false, 999, 0},
        {"ABCD", true, 580, 0},
        {QByteArray("5\0\0\0", 4), true, 580, 0},
    };
    for (const Case &c : cases) {
        MeterIdentity id{123, 'Q'};
        EXPECT_EQ(IdentifyMeter(c.reply, id), c.ok) << c.reply.toStdString();
        EXPECT_EQ(id.MeterModel, c.model) << c.reply.toStdString();
        EXPECT_EQ(id.ModelSuffix, c.suffix) << c.reply.toStdString();
    }
}

TEST(TickRegulation, CorrectsLateAndEarlyTicks)
{
    EXPECT_EQ(regulateTickInterval(1000, 1300), 700);
    EXPECT_EQ(regulateTickInterval(1000, 1600), 500);
    EXPECT_EQ(regulateTickInterval(1000, 1500), 500);
    EXPECT_EQ(regulateTickInterval(1000, 700), 1300);
    EXPECT_EQ(regulateTickInterval(700, 700), 1000);
    EXPECT_EQ(regulateTickInterval(1000, 1000), 1000);
}

TEST(PortOpenFailures, StatusTextNamesTheMostTellingRefusal)
{
    const QString help = QStringLiteral(" \u2014 see Help \u203a Serial port access");
    struct Case {
        std::vector<std::pair<const char *, int>> failures;
        QString expected;
    };
    const Case cases[] = {
        {{}, QString()},
        // Broken or not a terminal: nothing the user can fix here.
        {{{"/dev/ttyS1", EIO}, {"/dev/ttyS2", ENOTTY}, {"/dev/ttyS3", 0}}, QString()},
        // Not there (yet): a device named on the command line, not plugged in.
        {{{"/dev/ttyS1", EIO}, {"/dev/ttyUSB9", ENOENT}}, "Device not found: /dev/ttyUSB9"},
        {{{"/dev/ttyUSB0", EACCES}}, "Permission denied: /dev/ttyUSB0" + help},
        {{{"/dev/ttyUSB0", EPERM}}, "Permission denied: /dev/ttyUSB0" + help},
        {{{"/dev/ttyACM0", EBUSY}}, "In use by another program: /dev/ttyACM0" + help},
        {{{"/dev/ttyACM0", EWOULDBLOCK}}, "In use by another program: /dev/ttyACM0" + help},
        // A refusal outweighs a busy device, wherever it came in the search.
        {{{"/dev/ttyS0", ENOENT}, {"/dev/ttyACM0", EBUSY}, {"/dev/ttyUSB0", EACCES}},
         "Permission denied: /dev/ttyUSB0" + help},
        {{{"/dev/ttyUSB0", EACCES}, {"/dev/ttyS0", EIO}, {"/dev/ttyUSB1", EACCES}},
         "Permission denied: /dev/ttyUSB0, /dev/ttyUSB1" + help},
    };
    PortOpenFailures failures;
    for (const Case &c : cases) {
        // Each search starts afresh.
        failures.note(QStringLiteral("/dev/ttyLEFTOVER"), EACCES);
        failures.clear();
        for (const auto &[path, error] : c.failures)
            failures.note(QString::fromLatin1(path), error);
        EXPECT_EQ(failures.statusText(), c.expected) << c.failures.size() << " failures";
    }
}

TEST(SearchOrder, NamedDevicesFirstInTheirOrderThenTheSystemListWithoutRepeats)
{
    const struct {
        QStringList preferred, system, order;
    } cases[] = {
        {{}, {"ttyS0", "ttyUSB0"}, {"ttyS0", "ttyUSB0"}},
        {{"/dev/ttyUSB1", "/dev/ttyS0"}, {"ttyS0", "ttyUSB0", "ttyUSB1"}, {"/dev/ttyUSB1", "/dev/ttyS0", "ttyUSB0"}},
        {{"/dev/pts/4", "ttyUSB0", "/dev/ttyUSB0", "/dev/pts/4"}, {"ttyUSB0"}, {"/dev/pts/4", "ttyUSB0"}},
        {{"", "/dev/ttyACM0"}, {}, {"/dev/ttyACM0"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PortList::preferredFirst(c.preferred, c.system), c.order) << c.preferred.join(' ').toStdString();
}

TEST(SearchOrder, TheListFollowsTheSystemsDevicesAndKeepsGivenPaths)
{
    const struct {
        QStringList ports, before, after, expected;
    } cases[] = {
        // A device that went away leaves, a new one joins at the end.
        {{"ttyS0", "ttyUSB0"}, {"ttyS0", "ttyUSB0"}, {"ttyS0", "ttyACM0"}, {"ttyS0", "ttyACM0"}},
        // A path given or typed stays, also when its device goes away.
        {{"/dev/pts/4", "ttyS0"}, {"ttyS0"}, {}, {"/dev/pts/4"}},
        // A new device already in the list by its path is not added again.
        {{"/dev/ttyUSB0"}, {}, {"ttyUSB0"}, {"/dev/ttyUSB0"}},
        {{}, {}, {"ttyUSB0", "ttyUSB1"}, {"ttyUSB0", "ttyUSB1"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PortList::followDevices(c.ports, c.before, c.after), c.expected) << c.ports.join(' ').toStdString();
}
