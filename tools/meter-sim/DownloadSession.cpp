// SPDX-License-Identifier: GPL-3.0-or-later
// Block bookkeeping of the simulated download: which block is due, resending
// after "n", giving up on "Q", and the faults that tests ask for.
#include "DownloadSession.h"

#include <algorithm>
#include <numeric>

namespace vandrel::sim {

std::uint8_t blockChecksum(std::span<const std::uint8_t> block)
{
    return static_cast<std::uint8_t>(std::accumulate(block.begin(), block.end(), 0u) & 0xFF);
}

std::size_t transferLength(DownloadVariant variant, unsigned endAddress)
{
    std::size_t n = static_cast<std::size_t>(endAddress) + 1;
    if (variant == DownloadVariant::Blocks)
        n = (n + kBlockSize - 1) / kBlockSize * kBlockSize;
    return std::min(n, kMaxTransfer);
}

DownloadSession::DownloadSession(const Bytes &memory, DownloadVariant variant, DownloadFaults faults)
    : variant_(variant), faults_(faults)
{
    // The meter sends what its header claims, whatever the image holds; bytes
    // beyond the image read as erased memory.
    image_.assign(transferLength(variant, readHeader(memory).endAddress), 0xFF);
    std::copy_n(memory.begin(), std::min(memory.size(), image_.size()), image_.begin());
}

Bytes DownloadSession::limit(Bytes out)
{
    if (faults_.stopAfter >= 0 && sent_ + static_cast<long>(out.size()) >= faults_.stopAfter) {
        out.resize(static_cast<std::size_t>(std::max(0L, faults_.stopAfter - sent_)));
        state_ = State::Stopped;
    }
    sent_ += static_cast<long>(out.size());
    return out;
}

Bytes DownloadSession::start()
{
    if (variant_ == DownloadVariant::Stream) {
        state_ = State::Complete;
        return limit(image_);
    }
    if (image_.empty()) {
        state_ = State::Complete;
        return {};
    }
    return sendBlock();
}

Bytes DownloadSession::sendBlock()
{
    const auto first = image_.begin() + static_cast<std::ptrdiff_t>(block_ * kBlockSize);
    Bytes out(first, first + kBlockSize);
    out.push_back(blockChecksum(out));
    const bool corrupt = static_cast<int>(block_) == faults_.corruptBlock &&
                         (faults_.corruptTimes == 0 || corruptSent_ < faults_.corruptTimes);
    if (corrupt) {
        // A flipped bit on the line: the checksum no longer matches the data.
        out[kBlockSize / 2] ^= 0x10;
        ++corruptSent_;
    }
    state_ = State::AwaitingAck;
    return limit(std::move(out));
}

Bytes DownloadSession::onHandshake(std::uint8_t byte)
{
    if (state_ != State::AwaitingAck)
        return {};
    switch (byte) {
    case kAckGood:
        ++block_;
        if (block_ >= blockCount()) {
            state_ = State::Complete;
            return {};
        }
        return sendBlock();
    case kAckBad:
        ++resends_;
        return sendBlock();
    case kAckQuit:
        state_ = State::Quit;
        return {};
    default:
        return {};
    }
}

} // namespace vandrel::sim
