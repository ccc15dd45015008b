// SPDX-License-Identifier: GPL-3.0-or-later
// Taking the port over for a download and handing it back. Port failures are
// swallowed here: the transfer sees them as silence and reports its code.
#include "datalogger/LoadData.h"

#include "datalogger/ComPortDownload.h"
#include "meter/MeterLink.h"
#include "meter/WaitMs.h"

namespace vandrel {

namespace {

// How long the take-over waits for a running tick or receive handler. Only a
// handler further down this very stack can stay busy that long, and it cannot
// finish before we return, so after this the download goes ahead (every port
// call in those handlers tolerates a closed port).
constexpr int kBusyWaitLimitMs = 5000;
constexpr int kBusyPollMs = 10;

template <typename F>
void quietly(F &&f)
{
    try {
        f();
    } catch (const std::exception &) {
    }
}

void waitWhileBusy(const bool &busy)
{
    for (int waited = 0; busy && waited < kBusyWaitLimitMs; waited += kBusyPollMs)
        WaitMs(kBusyPollMs);
}

// Clears a flag however the scope is left.
class ClearOnExit {
public:
    explicit ClearOnExit(bool &flag) : flag_(flag) {}
    ~ClearOnExit() { flag_ = false; }
    ClearOnExit(const ClearOnExit &) = delete;
    ClearOnExit &operator=(const ClearOnExit &) = delete;

private:
    bool &flag_;
};

void takeOver(MeterLink &link, DownloadPort &port, bool stream, const DownloadTiming &timing,
              DownloadView &view)
{
    TComPort &com = link.port();
    waitWhileBusy(link.state().MainTimerBusy);
    link.stopTimers();
    view.busyCursor(true);
    port.pause(timing.settleMs);
    if (stream) {
        quietly([&] { com.PurgeOutput(); });
        quietly([&] { com.PurgeInput(); });
    }
    waitWhileBusy(link.state().RxBusy);
    quietly([&] { com.Close(); });
    com.setOnRxChar(nullptr);
    WaitMs(timing.closedMs);
    quietly([&] { com.Open(); });
    quietly([&] { com.PurgeOutput(); });
    quietly([&] { com.PurgeInput(); });
    port.pause(timing.reopenMs);
    view.busyCursor(false);
}

// Frame reception back on the port, the port reopened, both timers running.
void giveBack(MeterLink &link, const DownloadTiming &timing)
{
    TComPort &com = link.port();
    quietly([&] { com.setActive(false); });
    com.setOnRxChar([&link] { link.Comm1RxChar(); });
    WaitMs(timing.closedMs);
    quietly([&] { com.setActive(true); });
    link.mainTimer().start();
    link.aTimer().start();
}

int transfer(MeterLink &link, DataLoggerState &state, DownloadView &view, const DownloadTiming &timing,
             DownloadPort &port, QByteArray *received)
{
    if (!link.state().MeterConnected) {
        view.message(kNoMeterMessage);
        return kDownloadPrecondition;
    }
    if (link.reading().RecOn) {
        view.message(kRecordingMessage);
        return kDownloadPrecondition;
    }
    state.DownloadInProgress = true;
    ClearOnExit clear(state.DownloadInProgress);
    const bool stream = link.identity().ModelSuffix == '\r';
    const int sampleSize = sampleSizeFor(link.identity().MeterModel);
    if (!stream)
        openBlockProgress(view);
    takeOver(link, port, stream, timing, view);
    return stream ? DownloadStream(port, view, sampleSize, state.Table, timing, received)
                  : DownloadBlocks(port, view, sampleSize, state.Table, timing, received);
}

} // namespace

int LoadData(MeterLink &link, DataLoggerState &state, DownloadView &view, const DownloadTiming &timing,
             DownloadPort *transferPort, QByteArray *received)
{
    // The command again while a download takes the port over or runs (its
    // waits let events through): ignored, the port stays with the first one.
    if (state.DownloadInProgress)
        return kDownloadPrecondition;
    ComPortDownload comPort(link.port());
    DownloadPort &port = transferPort ? *transferPort : comPort;
    int result = kDownloadPrecondition;
    try {
        result = transfer(link, state, view, timing, port, received);
    } catch (...) {
        // Nothing below is meant to throw; if something does, the port still
        // goes back before the exception travels on.
        view.busyCursor(false);
        giveBack(link, timing);
        throw;
    }
    giveBack(link, timing);
    if (result == kDownloadSuccess)
        state.LoggerDataUnsaved = true;
    else if (result != kDownloadPrecondition)
        view.message(downloadErrorText(result));
    return result;
}

} // namespace vandrel
