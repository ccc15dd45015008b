// SPDX-License-Identifier: GPL-3.0-or-later
// Asking many serial devices at once whether a meter is there: "K" to every
// device, then polls to each one that answered with a model, until one of them
// sends a display frame. Pure bookkeeping over small line objects and a clock
// given by the caller, so every timing case can be tested without a device.
#pragma once

#include "meter/MeterIdentity.h"

#include <QByteArray>

#include <functional>
#include <vector>

namespace vandrel {

// One device as the probe uses it. Failures are the line's own business: a
// line that can no longer be written or read just delivers nothing.
class ProbeLine {
public:
    virtual ~ProbeLine() = default;
    virtual void write(char byte) = 0;
    // Everything received since the last call.
    virtual QByteArray readAvailable() = 0;
};

class ProbeSession {
public:
    // How long a device may take to answer "K" (some meters need most of a
    // second), and how long one that answered may take to send a frame.
    static constexpr int kReplyMs = 1000;
    static constexpr int kFrameMs = 1500;
    static constexpr int kPollMs = 300;

    enum class Stage { AwaitReply, AwaitFrame, Meter, NotAMeter };

    // Lines in order of preference; the session does not own them.
    explicit ProbeSession(std::vector<ProbeLine *> lines);

    // Sends "K" to every line.
    void start(qint64 nowMs);
    // Takes in what the lines received and moves each one on. Returns the
    // first line, in order of preference, that has proved to be a meter (a
    // known model, then a display frame), or -1.
    int step(qint64 nowMs);
    // Every line has been settled one way or the other.
    bool finished() const;

    Stage stage(int line) const { return entries_.at(static_cast<size_t>(line)).stage; }
    // Whether the line sent anything at all after "K".
    bool answered(int line) const { return entries_.at(static_cast<size_t>(line)).answered; }
    const MeterIdentity &identity(int line) const { return entries_.at(static_cast<size_t>(line)).identity; }

    // Told when a line answered "K" with a model and is now on trial.
    std::function<void(int line)> onAnswered;

private:
    struct Entry {
        ProbeLine *line = nullptr;
        Stage stage = Stage::AwaitReply;
        MeterIdentity identity;
        QByteArray received;
        bool answered = false;
        qint64 since = 0;
        qint64 lastPoll = 0;
    };
    void advance(int index, Entry &e, qint64 nowMs);

    std::vector<Entry> entries_;
};

} // namespace vandrel
