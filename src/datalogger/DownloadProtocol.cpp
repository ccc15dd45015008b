// SPDX-License-Identifier: GPL-3.0-or-later
// The memory transfer itself: polling the port's queue, waiting on deadlines
// (never spinning), block bookkeeping, retries and the result codes.
#include "datalogger/DownloadProtocol.h"

#include <algorithm>
#include <cstring>

namespace vandrel {

namespace {

constexpr int kFirstEndAddress = 273; // the stream variant refuses anything smaller
constexpr int kMaxEndAddress = kLoggerMemorySize;
constexpr int kEmptyReadPauseMs = 20;
// The stream is looked at once this many bytes can have come (a tenth of a
// second at 9600 baud): fewer wake-ups and progress repaints, same data.
constexpr int kStreamChunk = 96;
// Shorter naps than this are not worth a wake-up of their own.
constexpr int kShortestNapMs = 2;

// Waits until more input arrives or `deadline` (on the port's clock) passes.
// Returns false when waiting again would be pointless: the port broke.
bool waitUntil(DownloadPort &port, qint64 deadline)
{
    const qint64 left = deadline - port.elapsedMs();
    return port.waitForInput(static_cast<int>(std::clamp<qint64>(left, 1, 60000))) != WaitStatus::Broken;
}

// Bytes have begun to come and `missing` more are wanted: sleeps through the
// time the line needs for all but the last of them (never past `deadline`),
// so a slow line costs a few wake-ups per block rather than one per arrival;
// the last byte is then waited for as it arrives. Returns the bytes waiting.
// A port that does not know its rate never sleeps here.
int awaitLine(DownloadPort &port, int waiting, int wanted, qint64 deadline)
{
    const double rate = port.lineBytesPerSecond();
    const int missing = wanted - waiting;
    if (waiting <= 0 || rate <= 0.0 || missing <= 1)
        return waiting;
    const qint64 nap = std::min(static_cast<qint64>((missing - 1) * 1000.0 / rate), deadline - port.elapsedMs());
    if (nap < kShortestNapMs)
        return waiting;
    port.pause(static_cast<int>(nap));
    return port.inputCount();
}

// Reads `n` waiting bytes into `out`, or fewer if the port hands over fewer.
int readInto(DownloadPort &port, QByteArray &out, int n)
{
    const qsizetype before = out.size();
    out.resize(before + n);
    const int got = qMax(0, port.read(out.data() + before, n));
    out.resize(before + got);
    return got;
}

int finishMemory(const MemoryHeader &header, const QByteArray &image, int sampleSize, DataSetTable &table)
{
    if (header.SetCount == 0 || header.SetCount > kMaxSetCount)
        return kDownloadSetCountOutOfRange;
    const int built = BuildSetTable(header.SetCount, image, sampleSize, table);
    return built == kSetTableAccepted ? kDownloadSuccess : kDownloadMalformedSet;
}

// Waits for bytes after the port claimed `claimed` waiting bytes and then
// handed over none. Such a port makes waiting for input return at once, so a
// short plain pause keeps the loop from spinning until the deadline.
bool waitAfterEmptyRead(DownloadPort &port, int claimed, qint64 deadline)
{
    if (claimed <= 0)
        return waitUntil(port, deadline);
    port.pause(kEmptyReadPauseMs);
    return true;
}

// Stream: everything after the header until `expected` bytes are in. A pause
// longer than the chunk time breaks the transfer off; only bytes actually
// received restart that clock, so the transfer always ends.
bool receiveStream(DownloadPort &port, DownloadView &view, int expected, QByteArray &image,
                   const DownloadTiming &timing)
{
    qint64 received = 0;
    qint64 lastChunk = port.elapsedMs();
    QByteArray chunk;
    while (received < expected) {
        const int wanted = static_cast<int>(qMin<qint64>(expected - received, kStreamChunk));
        const int n = awaitLine(port, port.inputCount(), wanted, lastChunk + timing.headerMs);
        chunk.clear();
        const int got = n > 0 ? readInto(port, chunk, n) : 0;
        if (got == 0) {
            if (port.elapsedMs() - lastChunk > timing.headerMs)
                return false;
            if (!waitAfterEmptyRead(port, n, lastChunk + timing.headerMs + 1))
                return false;
            continue;
        }
        received += got;
        // Bytes beyond the announced end are dropped.
        const qsizetype room = expected - image.size();
        image.append(chunk.left(qMax<qsizetype>(0, room)));
        lastChunk = port.elapsedMs();
        view.progressReceived(static_cast<int>(qMin<qint64>(received, expected)));
    }
    return true;
}

} // namespace

quint8 blockChecksum(const char *block, int length)
{
    unsigned sum = 0;
    for (int i = 0; i < length; ++i)
        sum += static_cast<quint8>(block[i]);
    return static_cast<quint8>(sum & 0xFF);
}

int roundedTotal(int endAddress)
{
    const qint64 bytes = static_cast<qint64>(endAddress) + 1;
    return static_cast<int>((bytes + kBlockSize - 1) / kBlockSize * kBlockSize);
}

int DownloadStream(DownloadPort &port, DownloadView &view, int sampleSize, DataSetTable &table,
                   const DownloadTiming &timing, QByteArray *received)
{
    port.write(kRequest);
    const qint64 deadline = port.elapsedMs() + timing.headerMs;
    while (port.inputCount() < kHeaderSize && port.elapsedMs() < deadline) {
        if (awaitLine(port, port.inputCount(), kHeaderSize, deadline) < kHeaderSize && !waitUntil(port, deadline))
            break;
    }
    QByteArray headerBytes;
    if (port.inputCount() < kHeaderSize || readInto(port, headerBytes, kHeaderSize) < kHeaderSize)
        return kDownloadNoAnswer;
    const MemoryHeader header = parseMemoryHeader(headerBytes);
    if (header.EndAddress == kEmptyEndAddress)
        return kDownloadEmpty;
    if (header.EndAddress < kFirstEndAddress || header.EndAddress > kMaxEndAddress)
        return kDownloadEndOutOfRange;

    const int expected = header.EndAddress - (kHeaderSize - 1);
    view.progressOpened(expected, QString::number(expected));
    view.progressReceived(0);
    QByteArray image;
    image.reserve(expected);
    const bool complete = receiveStream(port, view, expected, image, timing);
    view.progressClosed();
    if (!complete)
        return kDownloadBrokeOff;
    if (received)
        *received = headerBytes + image;
    return finishMemory(header, image, sampleSize, table);
}

namespace {

struct BlockTransfer {
    DownloadPort &port;
    DownloadView &view;
    const DownloadTiming &timing;
    QByteArray buffer; // from memory address 0
    int retries = 0;
    int rounded = 0;     // 0 until the first block has told the end address
    int endAddress = -1; // -1 until known
    qint64 lastBlock = 0;
    bool quit = false;

    void refuse()
    {
        ++retries;
        view.blockRetried(retries);
        port.write(kAckBad);
        lastBlock = port.elapsedMs();
    }

    // False when the port handed over nothing: no block came, none is refused.
    bool takeBlock()
    {
        QByteArray block;
        const int got = readInto(port, block, kBlockSize + 1);
        if (got == 0)
            return false;
        if (got < kBlockSize + 1) {
            refuse();
            return true;
        }
        if (blockChecksum(block.constData(), kBlockSize) == static_cast<quint8>(block.at(kBlockSize))) {
            buffer.append(block.constData(), kBlockSize);
            port.write(kAckGood);
            view.progressReceived(static_cast<int>(buffer.size()));
        } else {
            // The damaged block is never kept; the meter sends it again.
            refuse();
        }
        if (endAddress < 0 && buffer.size() >= kBlockSize) {
            endAddress = parseMemoryHeader(buffer).EndAddress;
            rounded = roundedTotal(endAddress);
            view.progressTotalText(QString::number(rounded));
            view.progressMaximum(endAddress + 1);
        }
        lastBlock = port.elapsedMs();
        return true;
    }

    // An incomplete block waited too long: thrown away and asked for again.
    bool dropPartial(int waiting)
    {
        QByteArray junk;
        if (readInto(port, junk, waiting) == 0)
            return false;
        refuse();
        return true;
    }

    void abandon()
    {
        port.write(kAckQuit);
        view.progressClosed();
        quit = true;
    }

    // A meter that keeps sending past the announced end would never fall
    // silent; once every block is in, more blocks end the transfer.
    bool complete() const { return rounded > 0 && buffer.size() >= rounded; }

    void run();
};

void BlockTransfer::run()
{
    lastBlock = port.elapsedMs();
    for (;;) {
        if (rounded > kLoggerMemorySize || retries > kMaxRetries) {
            abandon();
            return;
        }
        // The queue is looked at before the clock: a block that came in while
        // this thread was not running (a busy machine) arrived within the
        // silence and is taken, not mistaken for the end of the transfer.
        const int n = awaitLine(port, port.inputCount(), kBlockSize + 1, lastBlock + timing.partialBlockMs + 1);
        if (n > kBlockSize) {
            if (complete()) {
                abandon();
                return;
            }
            if (takeBlock())
                continue;
        } else {
            const qint64 sinceBlock = port.elapsedMs() - lastBlock;
            if (sinceBlock >= timing.silenceMs)
                return;
            if (n > 0 && sinceBlock > timing.partialBlockMs) {
                if (dropPartial(n))
                    continue;
            } else {
                const qint64 deadline = lastBlock + (n > 0 ? timing.partialBlockMs + 1 : timing.silenceMs);
                if (!waitUntil(port, deadline))
                    return;
                continue;
            }
        }
        // The port claimed bytes and handed over none. Nothing was received,
        // so the silence clock keeps running and ends the transfer; the
        // pause keeps this from spinning meanwhile.
        if (port.elapsedMs() - lastBlock >= timing.silenceMs)
            return;
        port.pause(kEmptyReadPauseMs);
    }
}

} // namespace

void openBlockProgress(DownloadView &view)
{
    view.progressOpened(kLoggerMemorySize, QString());
    view.progressReceived(0);
}

int DownloadBlocks(DownloadPort &port, DownloadView &view, int sampleSize, DataSetTable &table,
                   const DownloadTiming &timing, QByteArray *received)
{
    port.write(kRequest);
    BlockTransfer t{port, view, timing, {}};
    t.run();
    if (!t.quit)
        view.progressClosed();

    if (t.buffer.size() < kHeaderSize)
        return kDownloadNoAnswer;
    if (t.buffer.size() < static_cast<qint64>(t.endAddress) + 1)
        return kDownloadBrokeOff;
    const MemoryHeader header = parseMemoryHeader(t.buffer);
    if (header.SetCount == 0 && header.EndAddress == kEmptyEndAddress)
        return kDownloadEmpty;
    // The padding of the last block is not part of the memory.
    const qsizetype imageLength = qMax<qsizetype>(0, static_cast<qsizetype>(header.EndAddress) + 1 - kHeaderSize);
    if (received)
        *received = t.buffer.left(kHeaderSize + imageLength);
    return finishMemory(header, t.buffer.mid(kHeaderSize, imageLength), sampleSize, table);
}

QString downloadErrorText(int code)
{
    if (code >= 1 && code <= 5)
        return QStringLiteral("There was error when reading data from meter,")
               + QStringLiteral("please click DataLogger from menu to try again. Error number=")
               + QString::number(code);
    if (code == kDownloadEmpty)
        return QStringLiteral("There was not any data recorded in momery of meter !");
    return {};
}

} // namespace vandrel
