// SPDX-License-Identifier: GPL-3.0-or-later
// The record command: its file, its sampling and its clean end on a signal,
// at the end of --duration, or with status 2 when no meter can be reached.
#include "cli/RecordCommand.h"

#include "cli/CliOptions.h"
#include "cli/StopSignals.h"
#include "realtime/TableFile.h"
#include "realtime/TableRow.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <vector>

namespace vandrel::cli {

namespace {

void printError(const QString &message)
{
    std::fprintf(stderr, "vandrel-cli: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
}

// The row as a table file holds it: the cells after the row number, each
// followed by the separator.
std::string rowLine(const QStringList &cells, char sep)
{
    std::vector<std::string> utf8;
    for (qsizetype c = 1; c < cells.size(); ++c)
        utf8.push_back(cells.at(c).toStdString());
    const std::vector<std::string_view> views(utf8.begin(), utf8.end());
    std::string line;
    appendTableLine(line, views, sep);
    return line;
}

} // namespace

bool RowFile::open(const QString &path, QString &error)
{
    separator_ = tableSeparator(path);
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadWrite | QIODevice::Append)) {
        error = QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), file_.errorString());
        return false;
    }
    if (file_.size() > 0) {
        char last = '\n';
        endCutRow_ = file_.seek(file_.size() - 1) && file_.getChar(&last) && last != '\n';
        file_.seek(file_.size());
    }
    return true;
}

bool RowFile::append(const std::string &line, QString &error)
{
    const std::string bytes = endCutRow_ ? "\r\n" + line : line;
    const qint64 n = static_cast<qint64>(bytes.size());
    if (file_.write(bytes.data(), n) != n || !file_.flush()) {
        error = QStringLiteral("cannot write %1: %2")
                    .arg(QDir::toNativeSeparators(file_.fileName()), file_.errorString());
        return false;
    }
    endCutRow_ = false;
    return true;
}

Recorder::Recorder(CliLink &link, RowFile &file, int rate, bool quiet, QObject *parent)
    : QObject(parent), link_(link), file_(file), quiet_(quiet)
{
    run_.SampleRate = rate;
    run_.RealTimeRunning = true;
    // As Run on an empty table: the first tick with a reading samples at once.
    run_.TickCounter = rate;
    countTicks(link_.link(), run_, this);
    connect(&link_.link(), &MeterLink::frameTick, this, &Recorder::sampleTick);
}

void Recorder::sampleTick(const QDateTime &now)
{
    if (broken_ || !takeSampleIfDue(run_, run_.TickCounter))
        return;
    ++rows_;
    const QStringList cells = realTimeRowCells(rows_, now, link_.reading(), link_.identity());
    const std::string line = rowLine(cells, file_.separator());
    QString error;
    if (!file_.append(line, error)) {
        broken_ = true;
        emit failed(error);
        return;
    }
    if (!quiet_) {
        // The terminal gets plain line ends.
        std::fwrite(line.data(), 1, line.size() - 2, stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
}

int runRecord(const CliOptions &options)
{
    StopSignals stopSignals;
    RowFile file;
    QString error;
    if (!file.open(options.out, error)) {
        printError(error);
        return kExitFailed;
    }
    CliLink link(options.ports.value(0));
    Recorder recorder(link, file, options.rate, options.quiet);
    int status = 0;
    bool ending = false;
    const auto finish = [&](int code, const QString &message) {
        if (ending)
            return;
        ending = true;
        if (!message.isEmpty())
            printError(message);
        status = code;
        link.close();
    };
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &link, [&] { finish(0, {}); });
    QObject::connect(&link, &CliLink::failed, &link, [&](const QString &m) { finish(kExitNoMeter, m); });
    QObject::connect(&recorder, &Recorder::failed, &link, [&](const QString &m) { finish(kExitFailed, m); });
    QObject::connect(&link, &CliLink::closed, &link, [&] { QCoreApplication::exit(status); });
    if (options.duration > 0)
        QTimer::singleShot(options.duration * 1000, &link, [&] { finish(0, {}); });
    QTimer::singleShot(0, &link, &CliLink::start);
    return QCoreApplication::exec();
}

} // namespace vandrel::cli
