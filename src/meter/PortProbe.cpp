// SPDX-License-Identifier: GPL-3.0-or-later
// The probe's bookkeeping. A device counts as the meter only once a known
// model in its reply is followed by a display frame: modems echo "K" and
// receivers chatter, and either can look like a reply.
#include "meter/PortProbe.h"

#include "meter/FrameCutter.h"

namespace vandrel {

ProbeSession::ProbeSession(std::vector<ProbeLine *> lines)
{
    entries_.reserve(lines.size());
    for (ProbeLine *line : lines) {
        Entry e;
        e.line = line;
        entries_.push_back(e);
    }
}

void ProbeSession::start(qint64 nowMs)
{
    for (Entry &e : entries_) {
        e.since = nowMs;
        e.line->write('K');
    }
}

void ProbeSession::advance(int index, Entry &e, qint64 nowMs)
{
    e.received += e.line->readAvailable();
    e.answered = e.answered || !e.received.isEmpty();
    if (e.stage == Stage::AwaitReply) {
        if (e.received.size() >= 4) {
            MeterIdentity id;
            if (!IdentifyMeter(e.received.left(4), id)) {
                e.stage = Stage::NotAMeter;
                return;
            }
            e.identity = id;
            e.received.remove(0, 4);
            e.stage = Stage::AwaitFrame;
            e.since = nowMs;
            e.lastPoll = nowMs;
            e.line->write('A');
            if (onAnswered)
                onAnswered(index);
        } else if (nowMs - e.since >= kReplyMs) {
            e.stage = Stage::NotAMeter;
            return;
        }
    }
    if (e.stage != Stage::AwaitFrame)
        return;
    if (!cutFrames(e.received).empty()) {
        e.stage = Stage::Meter;
    } else if (nowMs - e.since >= kFrameMs) {
        e.stage = Stage::NotAMeter;
    } else if (nowMs - e.lastPoll >= kPollMs) {
        e.lastPoll = nowMs;
        e.line->write('A');
    }
}

int ProbeSession::step(qint64 nowMs)
{
    int found = -1;
    for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
        Entry &e = entries_[static_cast<size_t>(i)];
        if (e.stage == Stage::AwaitReply || e.stage == Stage::AwaitFrame)
            advance(i, e, nowMs);
        if (e.stage == Stage::Meter && found < 0)
            found = i;
    }
    return found;
}

bool ProbeSession::finished() const
{
    for (const Entry &e : entries_) {
        if (e.stage == Stage::AwaitReply || e.stage == Stage::AwaitFrame)
            return false;
    }
    return true;
}

} // namespace vandrel
