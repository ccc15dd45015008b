// SPDX-License-Identifier: GPL-3.0-or-later
// Scheduling of outgoing bytes: split pieces wait for their gap, and pacing
// hands each byte over when its ten bits have passed since the start of the
// transmission, so late wake-ups never slow the line down.
#include "OutputQueue.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vandrel::sim {

bool OutputQueue::push(Bytes answer, Clock::time_point now, std::chrono::milliseconds delay)
{
    if (answer.empty())
        return true;
    if (queued_ + answer.size() > kMaxQueued)
        return false;
    const bool wasEmpty = pieces_.empty();
    queued_ += answer.size();
    const std::size_t first = pieces_.size();
    if (!split_ || answer.size() < 2) {
        pieces_.push_back({std::move(answer), 0, {}});
    } else {
        std::uniform_int_distribution<int> parts(2, 3), gap(10, 60);
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(parts(rng_)), answer.size());
        // n - 1 distinct cut points, so every piece holds at least one byte.
        std::vector<std::size_t> cuts;
        std::uniform_int_distribution<std::size_t> at(1, answer.size() - 1);
        while (cuts.size() + 1 < n) {
            const std::size_t c = at(rng_);
            if (std::find(cuts.begin(), cuts.end(), c) == cuts.end())
                cuts.push_back(c);
        }
        std::sort(cuts.begin(), cuts.end());
        cuts.push_back(answer.size());
        std::size_t begin = 0;
        for (std::size_t end : cuts) {
            const auto gapBefore = std::chrono::milliseconds(begin == 0 ? 0 : gap(rng_));
            pieces_.push_back({Bytes(answer.begin() + static_cast<std::ptrdiff_t>(begin),
                                     answer.begin() + static_cast<std::ptrdiff_t>(end)),
                               0, gapBefore});
            begin = end;
        }
    }
    pieces_[first].gapBefore += delay;
    if (wasEmpty)
        startHead(now, false);
    return true;
}

void OutputQueue::setPace(bool on, Clock::time_point now)
{
    if (on && !pace_) {
        // Bytes already waiting go out at the line rate from now on.
        lineStart_ = now;
        lineSent_ = 0;
    }
    pace_ = on;
}

void OutputQueue::startHead(Clock::time_point now, bool lineContinues)
{
    if (pieces_.empty())
        return;
    const Piece &head = pieces_.front();
    headDue_ = now + head.gapBefore;
    if (!pace_ || (lineContinues && head.gapBefore.count() == 0))
        return; // unpaced, or the next piece follows on the line without a pause
    // A new transmission starts when its piece is due, and not before the
    // line has finished the previous one.
    lineStart_ = std::max(headDue_, lineFreeAt());
    lineSent_ = 0;
}

OutputQueue::Clock::time_point OutputQueue::lineFreeAt() const
{
    return lineStart_ + std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(static_cast<double>(lineSent_) / kBytesPerSecond));
}

std::size_t OutputQueue::dueBy(Clock::time_point now) const
{
    if (now <= lineStart_)
        return 0;
    const double seconds = std::chrono::duration<double>(now - lineStart_).count();
    // The small allowance absorbs rounding when we wake exactly on time.
    return static_cast<std::size_t>(std::floor(seconds * kBytesPerSecond + 1e-6));
}

std::span<const std::uint8_t> OutputQueue::ready(Clock::time_point now)
{
    if (pieces_.empty() || now < headDue_)
        return {};
    const Piece &p = pieces_.front();
    std::size_t n = p.bytes.size() - p.offset;
    if (pace_) {
        const std::size_t due = dueBy(now);
        n = std::min(n, due > lineSent_ ? due - lineSent_ : 0);
    }
    return {p.bytes.data() + p.offset, n};
}

void OutputQueue::consumed(std::size_t n, Clock::time_point now)
{
    if (pieces_.empty() || n == 0)
        return;
    Piece &p = pieces_.front();
    n = std::min(n, p.bytes.size() - p.offset);
    p.offset += n;
    queued_ -= n;
    if (pace_)
        lineSent_ += n;
    if (p.offset == p.bytes.size()) {
        pieces_.pop_front();
        startHead(now, true);
    }
}

std::optional<OutputQueue::Clock::time_point> OutputQueue::nextDue(Clock::time_point now) const
{
    if (pieces_.empty())
        return std::nullopt;
    Clock::time_point due = std::max(now, headDue_);
    if (pace_) {
        const Piece &p = pieces_.front();
        const std::size_t want = lineSent_ + std::min(kPaceBatch, p.bytes.size() - p.offset);
        // Rounded up to whole microseconds: a wake-up a hair too early would
        // find the byte not yet due and spin.
        const Clock::time_point at =
            lineStart_ + std::chrono::ceil<std::chrono::microseconds>(
                             std::chrono::duration<double>(static_cast<double>(want) / kBytesPerSecond));
        due = std::max(due, at);
    }
    return due;
}

void OutputQueue::clear()
{
    pieces_.clear();
    queued_ = 0;
}

} // namespace vandrel::sim
