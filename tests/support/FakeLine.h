// SPDX-License-Identifier: GPL-3.0-or-later
// Serial devices played in-process behind the link's line interface, with a
// clock the test moves: a meter that answers "K" and polls after a delay,
// silent devices, echoing modems, devices that are refused, busy, missing or
// pulled out. Everything happens when the clock is moved, so a test of the
// search, the identification or the watchdog runs in microseconds and the
// same way every time (header only).
#pragma once

#include "meter/MeterLink.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <cerrno>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace vandrel::test {

// What sits at a device path.
struct FakeDevice {
    QByteArray reply;          // the answer to "K" (empty: none)
    qint64 replyAfterMs = 5;
    QByteArray pollAnswer;     // the answer to "A" (empty: none)
    qint64 answerAfterMs = 12;
    bool echo = false;         // answers every byte with the byte and "\r\nOK\r\n"
    int openError = 0;         // the system error an open meets (EACCES, EBUSY, ENOENT)
    QByteArray received;       // every byte it was sent

    static FakeDevice meter(const char *reply4, qint64 replyAfterMs = 5);
    static FakeDevice modem()
    {
        FakeDevice d;
        d.echo = true;
        return d;
    }
};

inline const QByteArray kFakeFrame("\x02\x10\x20\x30\x40\x50\x60\x70\x80\x03", 10);

inline FakeDevice FakeDevice::meter(const char *reply4, qint64 replyAfterMs)
{
    FakeDevice d;
    d.reply = QByteArray(reply4, 4);
    d.replyAfterMs = replyAfterMs;
    d.pollAnswer = kFakeFrame;
    return d;
}

class FakeLine;

// The devices by path, the clock, and the bytes under way.
class FakeBus {
public:
    std::map<QString, FakeDevice> devices;
    qint64 now = 0;

    FakeDevice &at(const QString &path) { return devices[path]; }
    // Moves the clock by `ms`, delivering whatever comes due on the way.
    void advance(qint64 ms);
    // Pulls the device out: its open line notices, as with an adapter pulled.
    void unplug(const QString &path);

    LinkClock clock()
    {
        return {[this] { return now; }, [this](int ms) { advance(ms); }, false};
    }
    SerialLineFactory factory();

    // Lines call these.
    void opened(FakeLine *line) { lines_.insert(line); }
    void closed(FakeLine *line)
    {
        lines_.erase(line);
        std::erase_if(due_, [line](const Due &d) { return d.line == line; });
    }
    void sent(FakeLine *line, const QString &path, char byte);

private:
    struct Due {
        qint64 at;
        FakeLine *line;
        QByteArray bytes;
    };
    std::vector<Due> due_;
    std::set<FakeLine *> lines_;
    friend class FakeLine;
};

class FakeLine : public SerialLine {
public:
    explicit FakeLine(FakeBus &bus) : bus_(bus) {}
    ~FakeLine() override { close(); }

    bool open(const QString &path) override
    {
        close();
        path_ = path;
        const auto it = bus_.devices.find(path);
        error_ = it == bus_.devices.end() ? ENOENT : it->second.openError;
        if (error_ != 0)
            return false;
        open_ = true;
        bus_.opened(this);
        return true;
    }
    void close() override
    {
        if (open_)
            bus_.closed(this);
        open_ = false;
        inbox_.clear();
    }
    bool isOpen() const override { return open_; }
    QString path() const override { return path_; }
    int error() const override { return error_; }
    QByteArray readAll() override { return std::exchange(inbox_, {}); }
    void write(char byte) override
    {
        if (open_)
            bus_.sent(this, path_, byte);
    }
    void purgeInput() override { inbox_.clear(); }
    void purgeOutput() override {}
    void setReadyHandler(std::function<void()> handler) override { ready_ = std::move(handler); }
    bool hasReadyHandler() const override { return static_cast<bool>(ready_); }
    void setVanishedHandler(std::function<void()> handler) override { vanished_ = std::move(handler); }

    void deliver(const QByteArray &bytes)
    {
        if (!open_)
            return;
        inbox_ += bytes;
        if (ready_)
            ready_();
    }
    void vanish()
    {
        close();
        if (vanished_)
            vanished_();
    }

private:
    FakeBus &bus_;
    QString path_;
    bool open_ = false;
    int error_ = 0;
    QByteArray inbox_;
    std::function<void()> ready_;
    std::function<void()> vanished_;
};

inline SerialLineFactory FakeBus::factory()
{
    return [this] { return std::make_unique<FakeLine>(*this); };
}

inline void FakeBus::sent(FakeLine *line, const QString &path, char byte)
{
    FakeDevice &d = devices[path];
    d.received += byte;
    if (d.echo)
        due_.push_back({now + 2, line, QByteArray(1, byte) + "\r\nOK\r\n"});
    else if (byte == 'K' && !d.reply.isEmpty())
        due_.push_back({now + d.replyAfterMs, line, d.reply});
    else if (byte == 'A' && !d.pollAnswer.isEmpty())
        due_.push_back({now + d.answerAfterMs, line, d.pollAnswer});
}

inline void FakeBus::advance(qint64 ms)
{
    const qint64 end = now + ms;
    for (;;) {
        // The earliest delivery that is due by the end, in the order sent.
        auto next = due_.end();
        for (auto it = due_.begin(); it != due_.end(); ++it) {
            if (it->at <= end && (next == due_.end() || it->at < next->at))
                next = it;
        }
        if (next == due_.end())
            break;
        const Due d = *next;
        due_.erase(next);
        now = std::max(now, d.at);
        if (lines_.count(d.line))
            d.line->deliver(d.bytes);
    }
    now = end;
}

inline void FakeBus::unplug(const QString &path)
{
    devices.erase(path);
    const std::set<FakeLine *> open = lines_;
    for (FakeLine *line : open) {
        if (line->path() == path)
            line->vanish();
    }
}

// A link over fake lines, driven poll by poll and tick by tick.
struct FakeLinkRig {
    FakeBus bus;
    FakeLine line{bus};
    MeterReading reading;
    MeterIdentity identity;
    MeterLink link{line, bus.factory(), reading, identity, bus.clock()};
    QStringList statuses;
    int frames = 0;
    qint64 nextPoll = 0;
    qint64 nextTick = 1000;

    FakeLinkRig()
    {
        QObject::connect(&link, &MeterLink::statusTextChanged, [this](const QString &s) { statuses << s; });
        QObject::connect(&link, &MeterLink::frameDecoded, [this] { ++frames; });
    }
    // Runs the poll every 300 ms and the tick every second for `ms`, with
    // the events that the link posts to itself in between.
    void run(qint64 ms)
    {
        const qint64 end = bus.now + ms;
        while (bus.now < end) {
            const qint64 next = std::min({nextPoll, nextTick, end});
            bus.advance(std::max<qint64>(0, next - bus.now));
            QCoreApplication::processEvents();
            if (!link.running())
                continue;
            // A search inside a step moves the clock on: the timers then
            // carry on from its end rather than firing to catch up.
            if (bus.now >= nextPoll) {
                link.poll();
                nextPoll = std::max(nextPoll + MeterLink::kPollMs, bus.now + 1);
            }
            if (bus.now >= nextTick) {
                link.tick();
                nextTick = std::max<qint64>(nextTick + 1000, bus.now + 1);
            }
        }
    }
    // Runs until `pred` holds, at most `ms`; returns whether it held.
    bool runUntil(const std::function<bool()> &pred, qint64 ms)
    {
        for (qint64 spent = 0; spent < ms; spent += 10) {
            if (pred())
                return true;
            run(10);
        }
        return pred();
    }
    void start()
    {
        nextPoll = bus.now;
        nextTick = bus.now + 1000;
        link.startTimers();
    }
};

} // namespace vandrel::test
