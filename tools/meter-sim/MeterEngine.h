// SPDX-License-Identifier: GPL-3.0-or-later
// Everything the simulated meter does with a received byte: identification,
// poll answers, keys, the logger download and the protocol faults. No I/O.
#pragma once

#include "DownloadSession.h"
#include "SimMeter.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vandrel::sim {

using Clock = std::chrono::steady_clock;

inline constexpr std::uint8_t kIdentify = 'K';
inline constexpr std::uint8_t kPoll = 'A';
inline constexpr std::uint8_t kDownload = 'P';

// A meter waiting for a block acknowledgement gives up after this long.
inline constexpr std::chrono::seconds kAckTimeout{10};

struct EngineFaults {
    bool noIdentification = false;
    // How long the reply to "K" takes: some meters answer late.
    std::chrono::milliseconds identifyDelay{0};
    bool garbage = false;           // stray bytes before each poll answer
    Clock::time_point silentUntil{}; // everything received before this is ignored
    DownloadFaults download;
};

class MeterEngine {
public:
    MeterEngine(SimMeter meter, Bytes memory, std::uint32_t seed);

    // Handles one received byte at time `now`. Returns the answers to send, in
    // order; each answer is one unit (a frame, a block, a run of garbage).
    std::vector<Bytes> receive(std::uint8_t byte, Clock::time_point now);
    // How long after receiving `byte` its answers go out.
    std::chrono::milliseconds answerDelay(std::uint8_t byte) const
    {
        return byte == kIdentify ? faults_.identifyDelay : std::chrono::milliseconds(0);
    }

    // Gives up a download whose acknowledgement is overdue at `now`.
    void checkTimeouts(Clock::time_point now);
    // When checkTimeouts() next has something to do.
    std::optional<Clock::time_point> nextDeadline() const;

    // The host is gone (the line was unplugged): any transfer ends.
    void abandonDownload(const char *reason);

    // Lines for the operator about downloads starting and ending; drained by the caller.
    std::vector<std::string> takeEvents();

    SimMeter &meter() { return meter_; }
    const SimMeter &meter() const { return meter_; }
    void replaceMeter(SimMeter meter) { meter_ = std::move(meter); }
    EngineFaults &faults() { return faults_; }
    void setMemory(Bytes memory) { memory_ = std::move(memory); }
    const Bytes &memory() const { return memory_; }
    // Scripted answers to polls; empty = live frames.
    void setScript(std::vector<Bytes> frames);
    const DownloadSession *download() const { return download_.get(); }

private:
    Bytes pollAnswer(Clock::time_point now);
    Bytes garbage();
    void startDownload(std::vector<Bytes> &out, Clock::time_point now);
    void finishIfDone();

    SimMeter meter_;
    Bytes memory_;
    EngineFaults faults_;
    std::vector<Bytes> script_;
    std::size_t scriptPos_ = 0;
    std::unique_ptr<DownloadSession> download_;
    Clock::time_point lastHandshake_{};
    std::optional<Clock::time_point> lastPoll_;
    std::vector<std::string> events_;
    std::mt19937 rng_;
};

} // namespace vandrel::sim
