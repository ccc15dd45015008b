// SPDX-License-Identifier: GPL-3.0-or-later
// Probing many devices at once, on in-process devices and a clock the test
// moves: who counts as the meter, how long each may take, and what each is sent.
#include "meter/PortProbe.h"

#include <gtest/gtest.h>

#include <map>

using namespace vandrel;

namespace {

const QByteArray kFrame("\x02\x10\x20\x30\x40\x50\x60\x70\x80\x03", 10);

// A device scripted by the time after "K" at which it answers, and what it
// answers to "K" and to each "A".
struct FakeLine : ProbeLine {
    QByteArray reply;         // answer to "K" (empty: none)
    qint64 replyAfterMs = 0;  // ... this long after "K"
    QByteArray pollAnswer;    // answer to every "A" (empty: none)
    QByteArray sent;
    qint64 now = 0;
    std::multimap<qint64, QByteArray> due;

    void write(char byte) override
    {
        sent += byte;
        if (byte == 'K' && !reply.isEmpty())
            due.emplace(now + replyAfterMs, reply);
        if (byte == 'A' && !pollAnswer.isEmpty())
            due.emplace(now + 15, pollAnswer);
    }
    QByteArray readAvailable() override
    {
        QByteArray out;
        while (!due.empty() && due.begin()->first <= now) {
            out += due.begin()->second;
            due.erase(due.begin());
        }
        return out;
    }
};

FakeLine meter(const char *reply, qint64 afterMs)
{
    FakeLine l;
    l.reply = QByteArray(reply, 4);
    l.replyAfterMs = afterMs;
    l.pollAnswer = kFrame;
    return l;
}

FakeLine echoingModem()
{
    FakeLine l;
    l.reply = "K\r\nOK\r\n";
    l.replyAfterMs = 2;
    l.pollAnswer = "A\r\nOK\r\n";
    return l;
}

// Runs the probe in 10 ms steps, as the link does. Returns the meter's line
// and the time it was known, or -1 and the time every line was settled.
std::pair<int, qint64> run(std::vector<FakeLine> &lines, qint64 limitMs = 10000)
{
    std::vector<ProbeLine *> ptrs;
    for (FakeLine &l : lines)
        ptrs.push_back(&l);
    ProbeSession probe(ptrs);
    probe.start(0);
    for (qint64 t = 0; t <= limitMs; t += 10) {
        for (FakeLine &l : lines)
            l.now = t;
        const int found = probe.step(t);
        if (found >= 0 || probe.finished())
            return {found, t};
    }
    return {-2, limitMs};
}

} // namespace

TEST(PortProbe, MeterIsTheFirstThatAnswersWithAModelAndThenSendsAFrame)
{
    struct Case {
        const char *what;
        std::vector<FakeLine> lines;
        int meter;
        qint64 notAfterMs;
    };
    FakeLine silent;
    std::vector<Case> cases = {
        {"behind seven silent devices, found without waiting for them",
         {silent, silent, silent, silent, silent, silent, silent, meter("580D", 5)}, 7, 40},
        {"a meter slow to answer still counts", {silent, meter("520\0", 900)}, 1, 930},
        {"an echoing modem answers first but sends no frame", {echoingModem(), meter("560\0", 30)}, 1, 60},
        {"two meters at once: the order of the list decides", {meter("540D", 5), meter("520\0", 5)}, 0, 30},
        {"a reply past the window is no meter", {meter("580D", 1010)}, -1, 1010},
        {"an unknown model is no meter", {meter("999X", 5)}, -1, 10},
        {"nothing at all", {silent, silent}, -1, 1000},
    };
    for (Case &c : cases) {
        const auto [found, at] = run(c.lines);
        EXPECT_EQ(found, c.meter) << c.what;
        EXPECT_LE(at, c.notAfterMs) << c.what;
    }
}

TEST(PortProbe, AnAnsweringDeviceWithoutFramesIsPolledForItsTrialThenGivenUp)
{
    std::vector<FakeLine> lines{echoingModem()};
    std::vector<ProbeLine *> ptrs{&lines[0]};
    ProbeSession probe(ptrs);
    int answered = -1;
    probe.onAnswered = [&](int line) { answered = line; };
    probe.start(0);
    qint64 t = 0;
    for (; t <= 5000 && !probe.finished(); t += 10) {
        lines[0].now = t;
        EXPECT_EQ(probe.step(t), -1);
    }
    EXPECT_EQ(answered, 0);
    EXPECT_EQ(probe.stage(0), ProbeSession::Stage::NotAMeter);
    // Its trial ran from its answer for the frame window, with one poll
    // right away and one every poll period after it.
    EXPECT_GE(t, ProbeSession::kFrameMs);
    EXPECT_LE(t, ProbeSession::kFrameMs + 30);
    EXPECT_EQ(lines[0].sent, "K" + QByteArray(1 + ProbeSession::kFrameMs / ProbeSession::kPollMs - 1, 'A'));
}

TEST(PortProbe, TheMeterKeepsTheIdentityOfItsReply)
{
    std::vector<FakeLine> lines{FakeLine{}, meter("540D", 20)};
    std::vector<ProbeLine *> ptrs{&lines[0], &lines[1]};
    ProbeSession probe(ptrs);
    probe.start(0);
    int found = -1;
    for (qint64 t = 0; t < 2000 && found < 0; t += 10) {
        lines[0].now = lines[1].now = t;
        found = probe.step(t);
    }
    ASSERT_EQ(found, 1);
    EXPECT_EQ(probe.identity(1).MeterModel, 540);
    EXPECT_EQ(probe.identity(1).ModelSuffix, 'D');
    EXPECT_EQ(lines[0].sent, "K"); // the silent one was asked once, never polled
}
