// SPDX-License-Identifier: GPL-3.0-or-later
// What the meter still has to send, and when: answers may be cut into pieces
// with short gaps, and the line may be paced at the meter's real byte rate.
#pragma once

#include "LoggerMemory.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <span>

namespace vandrel::sim {

class OutputQueue {
public:
    using Clock = std::chrono::steady_clock;

    // 9600 baud with start and stop bits: 960 bytes per second.
    static constexpr double kBytesPerSecond = 960.0;
    // While pacing, wake for at least this many bytes at a time, so a long
    // transfer costs tens of wake-ups per second rather than a thousand.
    // Waking late costs nothing: the schedule runs from the start of the
    // transfer, so the bytes that came due meanwhile go out at once.
    static constexpr std::size_t kPaceBatch = 8;
    // Cap on what the queue holds; a host that never reads cannot make it grow.
    static constexpr std::size_t kMaxQueued = 1 << 20;

    explicit OutputQueue(std::uint32_t seed = 1) : rng_(seed) {}

    void setSplit(bool on) { split_ = on; }
    // With pacing switched on at `now`, what is queued goes out at the line rate from then on.
    void setPace(bool on, Clock::time_point now = {});
    bool split() const { return split_; }
    bool pace() const { return pace_; }

    // Queues one answer, to go out `delay` after the answer before it. With
    // splitting on it goes out in two or three pieces with 10 to 60 ms between
    // them. Returns false when the queue is full and the answer was dropped.
    bool push(Bytes answer, Clock::time_point now, std::chrono::milliseconds delay = {});

    // Bytes that may be written at `now` (empty when the next piece is not due
    // yet or pacing holds it back).
    std::span<const std::uint8_t> ready(Clock::time_point now);
    // Reports that the first `n` of the ready bytes were written at `now`.
    void consumed(std::size_t n, Clock::time_point now);

    // When ready() will next have bytes; nullopt when the queue is empty.
    std::optional<Clock::time_point> nextDue(Clock::time_point now) const;

    bool empty() const { return pieces_.empty(); }
    std::size_t queuedBytes() const { return queued_; }
    void clear();

private:
    struct Piece {
        Bytes bytes;
        std::size_t offset = 0;
        std::chrono::milliseconds gapBefore{0};
    };

    void startHead(Clock::time_point now, bool lineContinues);
    // Bytes of the current transmission whose ten bits are complete by `now`.
    std::size_t dueBy(Clock::time_point now) const;
    Clock::time_point lineFreeAt() const;

    std::deque<Piece> pieces_;
    std::size_t queued_ = 0;
    Clock::time_point headDue_{};
    // The paced line: when its current transmission began and how many bytes
    // of it have gone out. A byte is handed over once its ten bits have passed.
    Clock::time_point lineStart_{};
    std::size_t lineSent_ = 0;
    bool split_ = false;
    bool pace_ = false;
    std::mt19937 rng_;
};

} // namespace vandrel::sim
