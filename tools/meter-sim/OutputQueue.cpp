// SPDX-License-Identifier: GPL-3.0-or-later
// Scheduling of outgoing bytes: split pieces wait for their gap, and pacing
// is a byte credit that refills at the line rate and cannot be saved up.
#include "OutputQueue.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vandrel::sim {

bool OutputQueue::push(Bytes answer, Clock::time_point now)
{
    if (answer.empty())
        return true;
    if (queued_ + answer.size() > kMaxQueued)
        return false;
    const bool wasEmpty = pieces_.empty();
    queued_ += answer.size();
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
    if (wasEmpty)
        startHead(now);
    return true;
}

void OutputQueue::startHead(Clock::time_point now)
{
    if (pieces_.empty())
        return;
    headDue_ = now + pieces_.front().gapBefore;
    if (pace_ && creditAt(now) > 1.0) {
        // An idle line has no saved-up credit: the next byte goes at once,
        // the rest at the line rate.
        credit_ = 1.0;
        creditTime_ = now;
    }
}

double OutputQueue::creditAt(Clock::time_point now) const
{
    // Credit never piles up beyond one batch, so pacing cannot turn into a burst.
    const double elapsed = std::chrono::duration<double>(now - creditTime_).count();
    return std::min(credit_ + std::max(0.0, elapsed) * kBytesPerSecond,
                    std::max(credit_, static_cast<double>(kPaceBatch)));
}

std::span<const std::uint8_t> OutputQueue::ready(Clock::time_point now)
{
    if (pieces_.empty() || now < headDue_)
        return {};
    const Piece &p = pieces_.front();
    std::size_t n = p.bytes.size() - p.offset;
    if (pace_)
        n = std::min(n, static_cast<std::size_t>(std::floor(creditAt(now))));
    return {p.bytes.data() + p.offset, n};
}

void OutputQueue::consumed(std::size_t n, Clock::time_point now)
{
    if (pieces_.empty() || n == 0)
        return;
    if (pace_) {
        credit_ = creditAt(now) - static_cast<double>(n);
        creditTime_ = now;
    }
    Piece &p = pieces_.front();
    n = std::min(n, p.bytes.size() - p.offset);
    p.offset += n;
    queued_ -= n;
    if (p.offset == p.bytes.size()) {
        pieces_.pop_front();
        startHead(now);
    }
}

std::optional<OutputQueue::Clock::time_point> OutputQueue::nextDue(Clock::time_point now) const
{
    if (pieces_.empty())
        return std::nullopt;
    Clock::time_point due = std::max(now, headDue_);
    if (pace_) {
        const Piece &p = pieces_.front();
        const double want = static_cast<double>(std::min(kPaceBatch, p.bytes.size() - p.offset));
        const double missing = want - creditAt(due);
        // Rounded up to whole microseconds: a wake-up a hair too early would
        // find the credit still short and spin.
        if (missing > 0.0)
            due += std::chrono::ceil<std::chrono::microseconds>(
                std::chrono::duration<double>(missing / kBytesPerSecond + 1e-9));
    }
    return due;
}

void OutputQueue::clear()
{
    pieces_.clear();
    queued_ = 0;
}

} // namespace vandrel::sim
