// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated meter's byte handler. A download in progress takes the
// handshake bytes; any other byte ends it and is handled as usual, because a
// host that polls again has clearly given up on the transfer.
#include "MeterEngine.h"

#include <chrono>

namespace vandrel::sim {

namespace {

const char *stateName(DownloadSession::State s)
{
    switch (s) {
    case DownloadSession::State::Complete:
        return "complete";
    case DownloadSession::State::Quit:
        return "quit";
    case DownloadSession::State::Stopped:
        return "stopped";
    default:
        return "running";
    }
}

} // namespace

MeterEngine::MeterEngine(SimMeter meter, Bytes memory, std::uint32_t seed)
    : meter_(std::move(meter)), memory_(std::move(memory)), rng_(seed)
{
}

void MeterEngine::setScript(std::vector<Bytes> frames)
{
    script_ = std::move(frames);
    scriptPos_ = 0;
}

std::vector<Bytes> MeterEngine::receive(std::uint8_t byte, Clock::time_point now)
{
    std::vector<Bytes> out;
    if (now < faults_.silentUntil)
        return out;

    if (download_ && download_->awaitingAck()) {
        if (byte == kAckGood || byte == kAckBad || byte == kAckQuit) {
            lastHandshake_ = now;
            if (Bytes next = download_->onHandshake(byte); !next.empty())
                out.push_back(std::move(next));
            finishIfDone();
            return out;
        }
        abandonDownload("abandoned");
    }

    switch (byte) {
    case kIdentify:
        if (!faults_.noIdentification) {
            const auto id = meter_.identification();
            out.emplace_back(id.begin(), id.end());
        }
        break;
    case kPoll:
        if (faults_.garbage)
            out.push_back(garbage());
        out.push_back(pollAnswer(now));
        break;
    case kDownload:
        startDownload(out, now);
        break;
    default:
        meter_.pressKey(byte);
        break;
    }
    return out;
}

Bytes MeterEngine::pollAnswer(Clock::time_point now)
{
    if (lastPoll_)
        meter_.advance(std::chrono::duration<double>(now - *lastPoll_).count());
    lastPoll_ = now;
    if (!script_.empty()) {
        Bytes f = script_[scriptPos_];
        scriptPos_ = (scriptPos_ + 1) % script_.size();
        return f;
    }
    const Frame f = meter_.frame();
    return Bytes(f.begin(), f.end());
}

Bytes MeterEngine::garbage()
{
    // Never a start mark: a stray 0x02 would legitimately cost the host the
    // following frame, and this fault is about skipping noise, not losing frames.
    std::uniform_int_distribution<int> count(1, 4), value(0, 255);
    Bytes out(static_cast<std::size_t>(count(rng_)));
    for (auto &b : out) {
        do {
            b = static_cast<std::uint8_t>(value(rng_));
        } while (b == kFrameStart);
    }
    return out;
}

void MeterEngine::startDownload(std::vector<Bytes> &out, Clock::time_point now)
{
    abandonDownload("restarted");
    const auto variant = meter_.suffix() == '\r' ? DownloadVariant::Stream : DownloadVariant::Blocks;
    download_ = std::make_unique<DownloadSession>(memory_, variant, faults_.download);
    lastHandshake_ = now;
    events_.push_back(std::string("DOWNLOAD START ") + (variant == DownloadVariant::Stream ? "stream" : "blocks") +
                      " bytes=" + std::to_string(download_->totalBytes()));
    if (Bytes first = download_->start(); !first.empty())
        out.push_back(std::move(first));
    finishIfDone();
}

void MeterEngine::finishIfDone()
{
    if (!download_ || !download_->finished())
        return;
    events_.push_back(std::string("DOWNLOAD END ") + stateName(download_->state()) +
                      " sent=" + std::to_string(download_->bytesSent()) +
                      " resends=" + std::to_string(download_->resends()));
    download_.reset();
}

void MeterEngine::abandonDownload(const char *reason)
{
    if (!download_)
        return;
    events_.push_back(std::string("DOWNLOAD END ") + reason + " sent=" + std::to_string(download_->bytesSent()) +
                      " resends=" + std::to_string(download_->resends()));
    download_.reset();
}

void MeterEngine::checkTimeouts(Clock::time_point now)
{
    if (download_ && download_->awaitingAck() && now - lastHandshake_ >= kAckTimeout)
        abandonDownload("timeout");
}

std::optional<Clock::time_point> MeterEngine::nextDeadline() const
{
    if (download_ && download_->awaitingAck())
        return lastHandshake_ + kAckTimeout;
    return std::nullopt;
}

std::vector<std::string> MeterEngine::takeEvents()
{
    std::vector<std::string> e;
    e.swap(events_);
    return e;
}

} // namespace vandrel::sim
