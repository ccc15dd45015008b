// SPDX-License-Identifier: GPL-3.0-or-later
// The download command: the link as the program runs it, the program's own
// download (take-over, protocol, give-back), then the set files and the image.
#include "cli/DownloadCommand.h"

#include "cli/CliLink.h"
#include "cli/CliOptions.h"
#include "datalogger/LoadData.h"
#include "datalogger/LoggerTable.h"
#include "realtime/TableFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>
#include <unistd.h>

namespace vandrel::cli {

namespace {

constexpr int kRedrawMs = 200;

void printError(const QString &message)
{
    std::fprintf(stderr, "vandrel-cli: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
}

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

// Where the files go must exist before the meter is asked for anything.
bool prepareOutput(const CliOptions &o)
{
    const QString folder = o.set > 0 ? QFileInfo(o.out).absolutePath() : o.out;
    if (!QDir().mkpath(folder)) {
        printError(QStringLiteral("cannot create the folder %1").arg(QDir::toNativeSeparators(folder)));
        return false;
    }
    if (!o.raw.isEmpty() && !QDir().mkpath(QFileInfo(o.raw).absolutePath())) {
        printError(QStringLiteral("cannot create the folder of %1").arg(QDir::toNativeSeparators(o.raw)));
        return false;
    }
    return true;
}

int downloadAndSave(CliLink &link, const CliOptions &o)
{
    TerminalDownloadView view(::isatty(STDERR_FILENO) == 1);
    DataLoggerState state;
    QByteArray received;
    const int result = LoadData(link.link(), state, view, {}, nullptr, &received);
    // The image is kept whenever it came in whole, also when it does not decode:
    // that is when it is wanted most.
    if (!o.raw.isEmpty() && !received.isEmpty() && !writeWhole(o.raw, received))
        return kExitFailed;
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
    for (int i = 0; i < table.setCount(); ++i) {
        if (!writeSet(table, i, model, setFileName(o.out, i + 1, o.tab)))
            return kExitFailed;
    }
    return 0;
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
    printError(text);
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

int runDownload(const CliOptions &options)
{
    if (!prepareOutput(options))
        return kExitFailed;
    CliLink link(options.ports.value(0));
    int status = 0;
    QObject::connect(&link, &CliLink::failed, &link, [&](const QString &message) {
        printError(message);
        status = kExitNoMeter;
        link.close();
    });
    QObject::connect(&link, &CliLink::ready, &link, [&] {
        // Not from inside the tick that brought the reading: the download
        // takes the port over and must not wait for that tick to end.
        QTimer::singleShot(0, &link, [&] {
            status = downloadAndSave(link, options);
            link.close();
        });
    });
    QObject::connect(&link, &CliLink::closed, &link, [&] { QCoreApplication::exit(status); });
    QTimer::singleShot(0, &link, &CliLink::start);
    return QCoreApplication::exec();
}

} // namespace vandrel::cli
