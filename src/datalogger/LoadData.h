// SPDX-License-Identifier: GPL-3.0-or-later
// The logger-memory download as the menu command runs it: take the port away
// from frame reception, transfer, build the set table, and always give it back.
#pragma once

#include "datalogger/DownloadProtocol.h"

namespace vandrel {

class MeterLink;

// The data logger's process-wide state, owned by its module.
struct DataLoggerState {
    bool DownloadInProgress = false;
    bool LoggerDataUnsaved = false;
    DataSetTable Table;
};

inline const QString kNoMeterMessage = QStringLiteral("No thermometer is connected !");
inline const QString kRecordingMessage =
    QStringLiteral("The meter is recording data, please stop recording before loading data.");

// Whether a download may start: a meter is connected and not recording. When
// not, the reason has been shown through `view`.
bool downloadCanStart(const MeterLink &link, DownloadView &view);

// Downloads the meter's logger memory through the link's port. Whatever the
// result, the port is left open with frame reception attached and both link
// timers running. On 10 the state's table has been replaced and
// LoggerDataUnsaved is set; codes 1 to 6 have been shown through `view`;
// DownloadInProgress is clear again on return. Called again while a download
// runs (from an event during its waits), it does nothing and returns 0.
// `transferPort` replaces the real port for the transfer itself (tests);
// leave it null in the program. `received` (if given) gets the memory as the
// transfer received it (see DownloadStream).
int LoadData(MeterLink &link, DataLoggerState &state, DownloadView &view, const DownloadTiming &timing = {},
             DownloadPort *transferPort = nullptr, QByteArray *received = nullptr);

} // namespace vandrel
