// SPDX-License-Identifier: GPL-3.0-or-later
// The two ways a meter hands over its logger memory: one plain stream, or
// 64-byte blocks with a checksum, each answered "y" (good), "n" (again) or "Q".
#pragma once

#include "datalogger/DownloadPort.h"
#include "datalogger/LoggerRecords.h"

namespace vandrel {

// Results of a download. 1 to 5 are errors shown with their number.
enum DownloadResult : int {
    kDownloadPrecondition = 0, // its message has been shown already
    kDownloadNoAnswer = 1,
    kDownloadEndOutOfRange = 2,
    kDownloadBrokeOff = 3,
    kDownloadSetCountOutOfRange = 4,
    kDownloadMalformedSet = 5,
    kDownloadEmpty = 6,
    kDownloadSuccess = 10,
};

struct DownloadTiming {
    int settleMs = 2000;       // before the port is closed
    int closedMs = 100;        // with the port closed
    int reopenMs = 1000;       // after reopening, before "P"
    int headerMs = 3000;       // for the header, and between stream chunks
    int partialBlockMs = 1500; // an incomplete block is refused after this
    int silenceMs = 3000;      // ends the block transfer
};

inline constexpr int kBlockSize = 64;
inline constexpr int kMaxRetries = 20;
inline constexpr char kRequest = 'P', kAckGood = 'y', kAckBad = 'n', kAckQuit = 'Q';

// Sum of the block's bytes modulo 256.
quint8 blockChecksum(const char *block, int length);

// The end address rounded up to whole blocks: the bytes the block variant expects.
int roundedTotal(int endAddress);

// Both send "P" and receive the memory. On kDownloadSuccess `table` has been
// replaced; on any other result it is untouched. When the whole memory came
// in (success, or a memory that does not decode), `received` (if given) gets
// it from address 0 to its end address, as the meter sent it. The block variant expects
// its progress window to be open already (it opens before the port is taken
// over); the stream variant opens its own once the header is in. Both leave
// the progress window closed.
int DownloadStream(DownloadPort &port, DownloadView &view, int sampleSize, DataSetTable &table,
                   const DownloadTiming &timing = {}, QByteArray *received = nullptr);
int DownloadBlocks(DownloadPort &port, DownloadView &view, int sampleSize, DataSetTable &table,
                   const DownloadTiming &timing = {}, QByteArray *received = nullptr);

// The block variant's window before the transfer: range of the largest memory, no total yet.
void openBlockProgress(DownloadView &view);

// The message box text of a failed download (codes 1 to 6); empty for others.
QString downloadErrorText(int code);

} // namespace vandrel
