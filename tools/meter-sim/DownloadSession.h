// SPDX-License-Identifier: GPL-3.0-or-later
// The meter's side of a logger-memory download: either one plain stream, or
// 64-byte blocks each followed by a checksum byte and answered "y", "n" or "Q".
#pragma once

#include "LoggerMemory.h"

#include <cstdint>
#include <span>

namespace vandrel::sim {

inline constexpr std::size_t kBlockSize = 64;
inline constexpr std::size_t kMaxTransfer = 131072; // a broken header never sends more
inline constexpr std::uint8_t kAckGood = 'y', kAckBad = 'n', kAckQuit = 'Q';

enum class DownloadVariant { Stream, Blocks };

// Faults a download can be asked to show.
struct DownloadFaults {
    int corruptBlock = -1;  // block index (from 0) sent damaged; -1 = none
    int corruptTimes = 1;   // how many times it goes out damaged; 0 = every time
    long stopAfter = -1;    // the meter falls silent after this many bytes; -1 = never
};

// Sum of the block's bytes modulo 256: the byte that follows each block.
std::uint8_t blockChecksum(std::span<const std::uint8_t> block);

// How many bytes a variant sends for a memory whose header names `endAddress`:
// up to and including that address, rounded up to whole blocks for the block
// variant, and never more than kMaxTransfer.
std::size_t transferLength(DownloadVariant variant, unsigned endAddress);

class DownloadSession {
public:
    enum class State { Sending, AwaitingAck, Complete, Quit, Stopped };

    DownloadSession(const Bytes &memory, DownloadVariant variant, DownloadFaults faults);

    // Bytes to send in answer to the request; for the stream variant this is
    // the whole transfer.
    Bytes start();

    // Answer to a handshake byte while a block awaits its acknowledgement.
    // Returns the next bytes to send (often none).
    Bytes onHandshake(std::uint8_t byte);

    // The meter gives up on the transfer (host gone or silent too long).
    void abandon() { state_ = State::Quit; }

    State state() const { return state_; }
    bool awaitingAck() const { return state_ == State::AwaitingAck; }
    bool finished() const { return state_ != State::AwaitingAck && state_ != State::Sending; }
    DownloadVariant variant() const { return variant_; }
    std::size_t totalBytes() const { return image_.size(); }
    std::size_t blockCount() const { return image_.size() / kBlockSize; }
    std::size_t currentBlock() const { return block_; }
    long bytesSent() const { return sent_; }
    int resends() const { return resends_; }

private:
    Bytes sendBlock();
    Bytes limit(Bytes out);

    DownloadVariant variant_;
    DownloadFaults faults_;
    Bytes image_; // exactly what goes out, padded with 0xFF
    State state_ = State::Sending;
    std::size_t block_ = 0;
    int corruptSent_ = 0;
    int resends_ = 0;
    long sent_ = 0;
};

} // namespace vandrel::sim
