// SPDX-License-Identifier: GPL-3.0-or-later
// Taking the port over for a download and handing it back. Port failures are
// swallowed here: the transfer sees them as silence and reports its code.
#include "datalogger/LoadData.h"

#include "datalogger/ComPortDownload.h"
#include "meter/MeterLink.h"
#include "meter/BusyFlag.h"
#include "meter/ModelTraits.h"
#include "meter/WaitMs.h"

#include <optional>

namespace vandrel {

namespace {

// How long the take-over waits for a running tick or receive handler.
constexpr int kBusyWaitLimitMs = 5000;

// The port from frame reception to the transfer: settle, drop what is
// queued, and open the device afresh for the transfer alone.
void takeOver(SerialLine &line, DownloadPort &port, bool stream, const DownloadTiming &timing, DownloadView &view)
{
    view.busyCursor(true);
    port.pause(timing.settleMs);
    if (stream) {
        line.purgeOutput();
        line.purgeInput();
    }
    const QString path = line.path();
    line.close();
    WaitMs(timing.closedMs);
    line.open(path);
    line.purgeOutput();
    line.purgeInput();
    port.pause(timing.reopenMs);
    view.busyCursor(false);
}

} // namespace

bool downloadCanStart(const MeterLink &link, DownloadView &view)
{
    if (!link.state().MeterConnected) {
        view.message(kNoMeterMessage);
        return false;
    }
    if (link.reading().RecOn) {
        view.message(kRecordingMessage);
        return false;
    }
    return true;
}

namespace {

int transfer(MeterLink &link, DataLoggerState &state, DownloadView &view, const DownloadTiming &timing,
             DownloadPort *transferPort, QByteArray *received)
{
    if (!downloadCanStart(link, view))
        return kDownloadPrecondition;
    BusyFlag busy(state.DownloadInProgress);
    const bool stream = downloadVariant(link.identity().ModelSuffix) == DownloadVariant::Stream;
    const int sampleSize = modelTraits(link.identity().MeterModel).sampleSize;
    if (!stream)
        openBlockProgress(view);
    MeterLink::PortLease lease = link.lendPort(kBusyWaitLimitMs);
    SerialLine &line = lease.line();
    std::optional<ComPortDownload> device;
    if (!transferPort && line.comPort())
        device.emplace(*line.comPort());
    DownloadPort *port = transferPort ? transferPort : device ? &*device : nullptr;
    if (!port)
        return kDownloadNoAnswer; // no device underneath to read a memory from
    takeOver(line, *port, stream, timing, view);
    const int result = stream ? DownloadStream(*port, view, sampleSize, state.Table, timing, received)
                              : DownloadBlocks(*port, view, sampleSize, state.Table, timing, received);
    // Closed for a moment before the lease gives the port back to frame reception.
    line.close();
    WaitMs(timing.closedMs);
    return result;
}

} // namespace

int LoadData(MeterLink &link, DataLoggerState &state, DownloadView &view, const DownloadTiming &timing,
             DownloadPort *transferPort, QByteArray *received)
{
    // The command again while a download takes the port over or runs (its
    // waits let events through): ignored, the port stays with the first one.
    if (state.DownloadInProgress)
        return kDownloadPrecondition;
    int result = kDownloadPrecondition;
    try {
        result = transfer(link, state, view, timing, transferPort, received);
    } catch (...) {
        // Nothing below is meant to throw; if something does, the lease has
        // given the port back before the exception travels on.
        view.busyCursor(false);
        throw;
    }
    if (result == kDownloadSuccess)
        state.LoggerDataUnsaved = true;
    else if (result != kDownloadPrecondition)
        view.message(downloadErrorText(result));
    return result;
}

} // namespace vandrel
