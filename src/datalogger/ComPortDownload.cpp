// SPDX-License-Identifier: GPL-3.0-or-later
// ComPortDownload: the serial component seen through the download's small
// port interface. Every failure is caught here and remembered.
#include "datalogger/ComPortDownload.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace vandrel {

namespace {

// Restores the port's read timeout however the wait ends.
class ReadTimeoutScope {
public:
    ReadTimeoutScope(TComPort &port, int ms) : port_(port), saved_(port.ReadTotalTimeout())
    {
        port_.setReadTotalTimeout(ms);
    }
    ~ReadTimeoutScope() { port_.setReadTotalTimeout(saved_); }
    ReadTimeoutScope(const ReadTimeoutScope &) = delete;
    ReadTimeoutScope &operator=(const ReadTimeoutScope &) = delete;

private:
    TComPort &port_;
    int saved_;
};

} // namespace

ComPortDownload::ComPortDownload(TComPort &port) : port_(port) { clock_.start(); }

int ComPortDownload::inputCount()
{
    const int held = static_cast<int>(held_.size());
    if (broken_)
        return held;
    try {
        return held + port_.InputCount();
    } catch (const std::exception &) {
        broken_ = true;
        return held;
    }
}

int ComPortDownload::read(char *buffer, int length)
{
    if (length <= 0)
        return 0;
    const int fromHeld = qMin(length, static_cast<int>(held_.size()));
    memcpy(buffer, held_.constData(), static_cast<size_t>(fromHeld));
    held_.remove(0, fromHeld);
    if (fromHeld == length || broken_)
        return fromHeld;
    try {
        return fromHeld + qMax(0, port_.Read(buffer + fromHeld, length - fromHeld, false));
    } catch (const std::exception &) {
        broken_ = true;
        return fromHeld;
    }
}

void ComPortDownload::write(char byte)
{
    if (broken_)
        return;
    try {
        port_.Write(&byte, 1, false);
    } catch (const std::exception &) {
        broken_ = true;
    }
}

void ComPortDownload::drain()
{
    const int n = port_.InputCount();
    if (n <= 0)
        return;
    const qsizetype before = held_.size();
    held_.resize(before + n);
    const int got = qMax(0, port_.Read(held_.data() + before, n, false));
    held_.resize(before + got);
}

WaitStatus ComPortDownload::waitForInput(int ms)
{
    if (broken_)
        return WaitStatus::Broken;
    if (ms <= 0)
        return WaitStatus::Timeout;
    const qint64 start = clock_.elapsed();
    try {
        drain();
        // A read of one byte with a total timeout blocks in poll() until a
        // byte arrives or the time is up.
        ReadTimeoutScope scope(port_, ms);
        char byte = 0;
        if (port_.Read(&byte, 1, true) == 1) {
            held_.append(byte);
            return WaitStatus::Input;
        }
        return WaitStatus::Timeout;
    } catch (const std::exception &) {
        // The timeout comes back as a failure too (or as the silent abort);
        // one that comes early is a real failure of the device.
        if (clock_.elapsed() - start + 1 < ms || !port_.Active()) {
            broken_ = true;
            return WaitStatus::Broken;
        }
        return WaitStatus::Timeout;
    }
}

double ComPortDownload::lineBytesPerSecond()
{
    // A setting left to the driver leaves the rate unknown.
    if (port_.BaudRate() <= 0 || port_.DataBits() <= 0 || port_.Parity() == TParity::paDefault ||
        port_.StopBits() == TStopBits::sbDefault)
        return 0.0;
    const int parity = port_.Parity() == TParity::paNone ? 0 : 1;
    // One and a half stop bits count as one: erring short only wakes us early.
    const int stop = port_.StopBits() == TStopBits::sb2 ? 2 : 1;
    return port_.BaudRate() / static_cast<double>(1 + port_.DataBits() + parity + stop);
}

void ComPortDownload::pause(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace vandrel
