// SPDX-License-Identifier: GPL-3.0-or-later
// The download command: the link as the program runs it, the program's own
// download (take-over, protocol, give-back), then the set files and the image.
#include "cli/DownloadCommand.h"

#include "cli/CliLink.h"
#include "cli/CliOptions.h"
#include "cli/StopSignals.h"
#include "datalogger/ComPortDownload.h"
#include "datalogger/LoadData.h"
#include "datalogger/LoggerTable.h"
#include "records/TableFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>

#include <cstdio>
#include <unistd.h>

namespace vandrel::cli {

namespace {

constexpr int kRedrawMs = 200;

// Written whole or not at all: a failure leaves any earlier file as it was.
bool writeWhole(const QString &path, const QByteArray &bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        printError(QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), f.errorString()));
        return false;
    }
    return true;
}

QString setFileName(const QString &folder, int number, bool tab)
{
    const QString name = QStringLiteral("set-%1.%2")
                             .arg(number, 2, 10, QLatin1Char('0'))
                             .arg(tab ? QStringLiteral("txt") : QStringLiteral("csv"));
    return QDir(folder).filePath(name);
}

bool writeSet(const DataSetTable &table, int index, const LoggerModel &model, const QString &path)
{
    const DecodedSet decoded = decodeSetSamples(table, index, model.MeterModel, model.ModelSuffix);
    const std::string text =
        sampleTableText(decoded, table.Sets.at(index).Unit, model, tableSeparator(path));
    if (!writeWhole(path, QByteArray::fromStdString(text)))
        return false;
    std::printf("%s\n", QDir::toNativeSeparators(path).toLocal8Bit().constData());
    std::fflush(stdout);
    return true;
}

// The folders a command made for its files, so that a command that writes
// nothing leaves nothing behind.
class MadeFolders {
public:
    bool make(const QString &path)
    {
        QStringList missing;
        for (QString p = QDir::cleanPath(QFileInfo(path).absoluteFilePath()); !QFileInfo::exists(p);) {
            missing << p;
            const QString up = QFileInfo(p).absolutePath();
            if (up == p)
                break;
            p = up;
        }
        if (!QDir().mkpath(path))
            return false;
        made_ += missing; // deepest first
        return true;
    }
    // Removes the folders made, as long as they are empty.
    void removeEmpty() const
    {
        for (const QString &p : made_)
            QDir().rmdir(p);
    }

private:
    QStringList made_;
};

// Where the files go must exist, and must not mix with another download's
// sets, before the meter is asked for anything.
Refusal prepareOutput(const CliOptions &o, MadeFolders &folders)
{
    if (const Refusal refusal = downloadOutputRefusal(o))
        return refusal;
    const QString folder = o.set > 0 ? QFileInfo(o.out).absolutePath() : o.out;
    if (!folders.make(folder))
        return {kExitFailed, QStringLiteral("cannot create the folder %1").arg(QDir::toNativeSeparators(folder))};
    if (!o.raw.isEmpty() && !folders.make(QFileInfo(o.raw).absolutePath()))
        return {kExitFailed,
                QStringLiteral("cannot create the folder of %1").arg(QDir::toNativeSeparators(o.raw))};
    return {};
}

int stoppedBy(int signalNumber)
{
    printError(QStringLiteral("download stopped by %1; no file written")
                   .arg(QLatin1String(StopSignals::name(signalNumber))));
    return StopSignals::exitStatus(signalNumber);
}

// The old set files go only once new ones are about to take their place.
bool removeSetFiles(const QString &folder)
{
    for (const QString &name : setFilesIn(folder)) {
        QFile f(QDir(folder).filePath(name));
        if (!f.remove()) {
            printError(QStringLiteral("cannot remove %1: %2")
                           .arg(QDir::toNativeSeparators(f.fileName()), f.errorString()));
            return false;
        }
    }
    return true;
}

int writeEverySet(const DataSetTable &table, const LoggerModel &model, const CliOptions &o, StopSignals &stop)
{
    if (o.force && !removeSetFiles(o.out))
        return kExitFailed;
    QStringList written;
    for (int i = 0; i < table.setCount(); ++i) {
        if (stop.poll() != 0) {
            // Half a download's sets would pass for a whole one.
            for (const QString &path : written)
                QFile::remove(path);
            return stoppedBy(stop.received());
        }
        const QString path = setFileName(o.out, i + 1, o.tab);
        if (!writeSet(table, i, model, path))
            return kExitFailed;
        written << path;
    }
    return 0;
}

int downloadAndSave(CliLink &link, const CliOptions &o, StopSignals &stop)
{
    ComPortDownload comPort(link.port());
    StoppablePort port(comPort, [&stop] { return stop.poll() != 0; });
    TerminalDownloadView view(::isatty(STDERR_FILENO) == 1);
    view.silenceWhen([&port] { return port.hasStopped(); });
    DataLoggerState state;
    QByteArray received;
    const int result = LoadData(link.link(), state, view, {}, &port, &received);
    if (stop.poll() != 0)
        return stoppedBy(stop.received());
    // The image is kept whenever it came in whole, also when it does not decode:
    // that is when it is wanted most.
    if (!o.raw.isEmpty() && !received.isEmpty() && !writeWhole(o.raw, received))
        return kExitFailed;
    if (result == kDownloadEmpty)
        return kExitEmpty;
    if (result != kDownloadSuccess)
        return kExitFailed;
    const LoggerModel model{link.identity().MeterModel, link.identity().ModelSuffix};
    const DataSetTable &table = state.Table;
    if (o.set > 0) {
        if (o.set > table.setCount()) {
            printError(QStringLiteral("there is no set %1: the meter's memory holds %2").arg(o.set).arg(table.setCount()));
            return kExitFailed;
        }
        return writeSet(table, o.set - 1, model, o.out) ? 0 : kExitFailed;
    }
    return writeEverySet(table, model, o, stop);
}

} // namespace

QString progressText(int bytes, const QString &total, qint64 bytesPerSecond)
{
    const QString totalText = total.isEmpty() ? QStringLiteral("?") : total;
    QString text = QStringLiteral("%1 of %2 bytes").arg(bytes).arg(totalText);
    if (bytesPerSecond <= 0)
        return text;
    text += QStringLiteral(", %1 bytes/s").arg(bytesPerSecond);
    bool known = false;
    const qint64 all = total.toLongLong(&known);
    if (known && all >= bytes) {
        const qint64 left = (all - bytes + bytesPerSecond - 1) / bytesPerSecond;
        text += QStringLiteral(", %1:%2 left").arg(left / 60).arg(left % 60, 2, 10, QLatin1Char('0'));
    }
    return text;
}

void TerminalDownloadView::progressOpened(int, const QString &totalText)
{
    open_ = true;
    total_ = totalText;
    bytes_ = 0;
    clock_.invalidate();
    draw(true);
}

void TerminalDownloadView::progressTotalText(const QString &text)
{
    total_ = text;
    draw(false);
}

void TerminalDownloadView::progressReceived(int bytes)
{
    bytes_ = bytes;
    if (!clock_.isValid() && bytes > 0) {
        clock_.start();
        firstBytes_ = bytes;
    }
    receivedAtMs_ = clock_.isValid() ? clock_.elapsed() : 0;
    draw(false);
}

void TerminalDownloadView::progressClosed()
{
    if (!open_)
        return;
    draw(true);
    open_ = false;
    if (show_) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
}

void TerminalDownloadView::message(const QString &text)
{
    if (silenced_ && silenced_())
        return;
    printError(terminalMessage(text));
}

void TerminalDownloadView::draw(bool force)
{
    if (!show_ || !open_)
        return;
    if (!force && sinceDrawn_.isValid() && sinceDrawn_.elapsed() < kRedrawMs)
        return;
    sinceDrawn_.start();
    // The silence that ends a transfer is no part of its rate.
    const qint64 rate = receivedAtMs_ > 0 ? static_cast<qint64>(bytes_ - firstBytes_) * 1000 / receivedAtMs_ : 0;
    const QString text = progressText(bytes_, total_, rate);
    // Blanks over what a longer line before left behind.
    const QString padded = text.leftJustified(drawnWidth_);
    drawnWidth_ = text.size();
    std::fprintf(stderr, "\r%s", padded.toLocal8Bit().constData());
    std::fflush(stderr);
}

QString downloadFailureText(int code)
{
    QString why;
    switch (code) {
    case kDownloadNoAnswer:
        why = QStringLiteral("the meter did not answer the request for its memory");
        break;
    case kDownloadEndOutOfRange:
        why = QStringLiteral("the meter announced a memory end outside its logger memory");
        break;
    case kDownloadBrokeOff:
        why = QStringLiteral("the transfer broke off before the whole memory came in (the line fell silent, or a "
                             "block kept failing its check)");
        break;
    case kDownloadSetCountOutOfRange:
        why = QStringLiteral("the memory names no set, or more sets than a meter holds");
        break;
    case kDownloadMalformedSet:
        why = QStringLiteral("a set in the memory is malformed and cannot be read");
        break;
    default:
        return {};
    }
    return QStringLiteral("download failed (error %1): %2").arg(code).arg(why);
}

QString terminalMessage(const QString &text)
{
    // The window's text of a failed transfer sends the user to a menu and
    // gives only a number.
    for (int code = kDownloadNoAnswer; code <= kDownloadMalformedSet; ++code) {
        if (text == downloadErrorText(code))
            return downloadFailureText(code);
    }
    return text;
}

Refusal downloadOutputRefusal(const CliOptions &o)
{
    const QFileInfo out(o.out);
    const bool there = out.exists() || out.isSymLink();
    const QString path = QDir::toNativeSeparators(o.out);
    // A name like "new.csv" would otherwise become a folder of that name.
    if (o.set == 0 && (there ? !out.isDir() : isTableFileName(o.out)))
        return {kExitUsage, QStringLiteral("without --set, --out names the folder that receives every set, not a "
                                           "file like %1; give --set N to write one set's file")
                                .arg(path)};
    if (o.set > 0 && out.isDir())
        return {kExitUsage, QStringLiteral("%1 is a folder; with --set, --out names the set's table file").arg(path)};
    if (o.force)
        return {};
    // One rule for the file of one set and the set files of a folder: what
    // is there is replaced only when asked for.
    if (o.set > 0)
        return there ? Refusal{kExitFailed, QStringLiteral("%1 already exists; give --force to replace it").arg(path)}
                     : Refusal{};
    const QStringList stale = setFilesIn(o.out);
    if (stale.isEmpty())
        return {};
    return {kExitFailed, QStringLiteral("%1 already holds the set files of another download (%2); give --force to "
                                        "replace them")
                             .arg(path, stale.join(QStringLiteral(", ")))};
}

bool isTableFileName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("csv") || suffix == QLatin1String("txt") || suffix == QLatin1String("tsv");
}

QStringList setFilesIn(const QString &folder)
{
    static const QRegularExpression setFile(QStringLiteral("^set-[0-9]{2,}\\.(csv|txt)$"));
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    names.removeIf([](const QString &name) { return !setFile.match(name).hasMatch(); });
    return names;
}

bool StoppablePort::stopped()
{
    if (!stopped_ && stopRequested_ && stopRequested_()) {
        stopped_ = true;
        // A meter in the middle of sending its memory is told to give up,
        // once it listens for an answer.
        if (requested_) {
            waitForQuietLine();
            inner_.write(kAckQuit);
        }
    }
    return stopped_;
}

void StoppablePort::waitForQuietLine()
{
    const qint64 limit = inner_.elapsedMs() + kQuietLimitMs;
    QByteArray junk;
    while (inner_.elapsedMs() < limit) {
        const int waiting = inner_.inputCount();
        if (waiting > 0) {
            junk.resize(waiting);
            inner_.read(junk.data(), waiting);
        }
        if (inner_.waitForInput(kQuietMs) != WaitStatus::Input)
            return;
    }
}

void StoppablePort::write(char byte)
{
    if (stopped())
        return;
    if (byte == kRequest)
        requested_ = true;
    inner_.write(byte);
}

WaitStatus StoppablePort::waitForInput(int ms)
{
    const qint64 end = inner_.elapsedMs() + ms;
    for (;;) {
        if (stopped())
            return WaitStatus::Broken;
        const qint64 left = end - inner_.elapsedMs();
        if (left <= 0)
            return WaitStatus::Timeout;
        const WaitStatus status = inner_.waitForInput(static_cast<int>(std::min<qint64>(left, kSliceMs)));
        if (status != WaitStatus::Timeout)
            return status;
    }
}

void StoppablePort::pause(int ms)
{
    const qint64 end = inner_.elapsedMs() + ms;
    for (qint64 left = ms; left > 0 && !stopped(); left = end - inner_.elapsedMs())
        inner_.pause(static_cast<int>(std::min<qint64>(left, kSliceMs)));
}

int runDownload(const CliOptions &options)
{
    StopSignals stop;
    MadeFolders folders;
    if (const Refusal refusal = prepareOutput(options, folders)) {
        printError(refusal.message);
        folders.removeEmpty();
        return refusal.status;
    }
    CliLink link(options.ports.value(0));
    int status = 0;
    bool downloading = false;
    bool ending = false;
    const auto finish = [&](int code) {
        if (ending)
            return;
        ending = true;
        status = code;
        link.close();
    };
    QObject::connect(&stop, &StopSignals::stopRequested, &link, [&](int signalNumber) {
        // During the transfer the port notices the signal itself.
        if (!downloading)
            finish(stoppedBy(signalNumber));
    });
    QObject::connect(&link, &CliLink::failed, &link, [&](const QString &message) {
        printError(message);
        finish(kExitNoMeter);
    });
    QObject::connect(&link, &CliLink::ready, &link, [&] {
        // Not from inside the tick that brought the reading: the download
        // takes the port over and must not wait for that tick to end.
        QTimer::singleShot(0, &link, [&] {
            if (ending)
                return;
            downloading = true;
            const int code = downloadAndSave(link, options, stop);
            downloading = false;
            finish(code);
        });
    });
    QObject::connect(&link, &CliLink::closed, &link, [&] { QCoreApplication::exit(status); });
    QTimer::singleShot(0, &link, &CliLink::start);
    const int code = QCoreApplication::exec();
    if (code != 0)
        folders.removeEmpty();
    return code;
}

} // namespace vandrel::cli
