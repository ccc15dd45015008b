// SPDX-License-Identifier: GPL-3.0-or-later
// The record command: its file, its sampling and its clean end on a signal,
// at the end of --duration, or with status 2 when no meter can be reached.
#include "cli/RecordCommand.h"

#include "cli/CliOptions.h"
#include "cli/PortCheck.h"
#include "cli/StopSignals.h"
#include "records/TableFile.h"
#include "records/CellReader.h"
#include "records/TableRow.h"

#include <utility>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace vandrel::cli {

std::string jsonRowLine(const QDateTime &time, const QStringList &cells, const QLocale &locale)
{
    // A value cell as a JSON number with the decimals its text has, or
    // nothing for an empty or overloaded cell.
    const CellReader reader(locale);
    const QDateTime local = time.toOffsetFromUtc(time.offsetFromUtc());
    QString line = QStringLiteral("{\"time\":\"%1\"").arg(local.toString(Qt::ISODate));
    constexpr std::array<int, kChannelCount> columns{ColHumidity, ColT1, ColT2, ColDewPoint};
    for (const Channel c : kChannels) {
        const Cell cell = reader.read(cells.value(columns[c]));
        if (cell.hasValue())
            line += QStringLiteral(",\"%1\":%2")
                        .arg(QLatin1String(channelInfo(c).jsonKey), QString::number(cell.value, 'f', cell.decimals));
    }
    const QString unit = cells.value(ColUnit);
    if (unit == QLatin1String("C") || unit == QLatin1String("F"))
        line += QStringLiteral(",\"unit\":\"%1\"").arg(unit);
    line += QLatin1Char('}');
    return line.toStdString();
}

namespace {

// What the rows of `format` are called in a message.
QString rowsName(RowFormat format)
{
    switch (format) {
    case RowFormat::Csv:
        return QStringLiteral("comma-separated table rows");
    case RowFormat::Tsv:
        return QStringLiteral("tab-separated table rows");
    case RowFormat::Json:
        return QStringLiteral("JSON rows");
    case RowFormat::ByName:
        break;
    }
    return QStringLiteral("rows of another kind");
}

} // namespace

RowFormat rowFormatOfFile(const QString &path, bool &known)
{
    known = false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return RowFormat::ByName;
    QByteArray line = f.readLine(64 * 1024);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.trimmed().isEmpty())
        return RowFormat::ByName;
    known = true;
    // A JSON row is one object; a table row's cells are followed by their
    // separator, and a tab-separated row may hold decimal commas.
    if (line.trimmed().startsWith('{'))
        return RowFormat::Json;
    if (line.contains('\t'))
        return RowFormat::Tsv;
    if (line.contains(','))
        return RowFormat::Csv;
    return RowFormat::ByName;
}

Refusal recordFileRefusal(const QString &path, RowFormat format)
{
    bool known = false;
    const RowFormat held = rowFormatOfFile(path, known);
    const RowFormat written =
        format != RowFormat::ByName ? format : tableSeparator(path) == ',' ? RowFormat::Csv : RowFormat::Tsv;
    if (!known || held == written)
        return {};
    const QString advice = held == RowFormat::ByName
                               ? QStringLiteral("give another --out")
                               : QStringLiteral("give --format %1 or another --out")
                                     .arg(held == RowFormat::Json  ? QStringLiteral("json")
                                          : held == RowFormat::Csv ? QStringLiteral("csv")
                                                                   : QStringLiteral("tsv"));
    return {kExitUsage, QStringLiteral("%1 holds %2; %3 would be mixed into it (%4)")
                            .arg(QDir::toNativeSeparators(path), rowsName(held), rowsName(written), advice)};
}

bool RowFile::open(const QString &path, RowFormat format, QString &error)
{
    json_ = format == RowFormat::Json;
    separator_ = format == RowFormat::Csv ? ',' : format == RowFormat::Tsv ? '\t' : tableSeparator(path);
    file_.setFileName(path);
    created_ = !QFileInfo::exists(path);
    if (!file_.open(QIODevice::ReadWrite | QIODevice::Append)) {
        error = QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), file_.errorString());
        created_ = false;
        return false;
    }
    if (file_.size() > 0) {
        char last = '\n';
        if (file_.seek(file_.size() - 1) && file_.getChar(&last) && last != '\n')
            cutRowEnd_ = last == '\r' ? QByteArray("\n") : json_ ? QByteArray("\n") : QByteArray("\r\n");
        file_.seek(file_.size());
    }
    return true;
}

bool RowFile::append(const std::string &row, QString &error)
{
    const QByteArray bytes = cutRowEnd_ + QByteArray::fromStdString(row) + (json_ ? "\n" : "");
    if (file_.write(bytes) != bytes.size() || !file_.flush()) {
        error = QStringLiteral("cannot write %1: %2")
                    .arg(QDir::toNativeSeparators(file_.fileName()), file_.errorString());
        return false;
    }
    written_ = true;
    if (!cutRowEnd_.isEmpty()) {
        cutRowEnd_.clear();
        endedCutRow_ = true;
    }
    return true;
}

void RowFile::removeIfUnused()
{
    if (!created_ || written_ || !file_.isOpen())
        return;
    file_.close();
    file_.remove();
}

LinkEvents::LinkEvents(CliLink &link, QObject *parent) : QObject(parent), link_(link)
{
    // Every return of a meter is identified anew; only a new model, or the
    // first meter, is news: the same one coming back is "back".
    connect(&link_.link(), &MeterLink::meterIdentified, this, [this] {
        const MeterIdentity &id = link_.identity();
        fresh_ = !identifiedOnce_ || id.MeterModel != identity_.MeterModel || id.ModelSuffix != identity_.ModelSuffix;
        if (fresh_) {
            identifiedOnce_ = true;
            identity_ = id;
            report(QStringLiteral("meter identified as %1 on").arg(meterName(id)));
        }
    });
    connect(&link_.link(), &MeterLink::meterConnectedChanged, this, [this](bool connected) {
        if (connected && !std::exchange(fresh_, false))
            report(QStringLiteral("meter back on"));
    });
    connect(&link_.link(), &MeterLink::meterLost, this, [this] { report(QStringLiteral("meter lost on")); });
}

void LinkEvents::report(const QString &what)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString line = QStringLiteral("%1 %2 %3")
                             .arg(now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate), what,
                                  link_.link().line().path());
    printError(line);
}

Recorder::Recorder(CliLink &link, RowFile &file, int rate, bool quiet, int samples, QObject *parent)
    : QObject(parent), link_(link), file_(file), quiet_(quiet), samples_(samples)
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
    if (broken_ || (samples_ > 0 && rows_ >= samples_) || !takeSampleIfDue(run_, run_.TickCounter))
        return;
    ++rows_;
    const QStringList cells = realTimeRowCells(rows_, now, link_.reading(), link_.identity());
    const std::string line = file_.json() ? jsonRowLine(now, cells) : tableRowLine(cells, file_.separator());
    QString error;
    if (!file_.append(line, error)) {
        broken_ = true;
        emit failed(error);
        return;
    }
    if (file_.endedCutRow() && rows_ == 1)
        printError(QStringLiteral("the last row of %1 was incomplete; it was ended before the new rows")
                       .arg(QDir::toNativeSeparators(file_.fileName())));
    if (!quiet_) {
        // The terminal gets plain line ends.
        const std::size_t length = file_.json() ? line.size() : line.size() - 2;
        std::fwrite(line.data(), 1, length, stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    if (samples_ > 0 && rows_ >= samples_)
        emit done();
}

int runRecord(const CliOptions &options)
{
    StopSignals stopSignals;
    if (const Refusal refusal = recordFileRefusal(options.out, options.format)) {
        printError(refusal.message);
        return refusal.status;
    }
    RowFile file;
    QString error;
    if (!file.open(options.out, options.format, error)) {
        printError(error);
        return kExitFailed;
    }
    CliLink link(options.ports.value(0));
    Recorder recorder(link, file, options.rate, options.quiet, options.samples);
    std::unique_ptr<LinkEvents> events;
    if (!options.quiet)
        events = std::make_unique<LinkEvents>(link);
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
    QObject::connect(&recorder, &Recorder::done, &link, [&] { finish(0, {}); });
    QObject::connect(&link, &CliLink::closed, &link, [&] { QCoreApplication::exit(status); });
    // The duration counts from the first reading: the search is no part of the recording.
    if (options.duration > 0) {
        QObject::connect(&link, &CliLink::ready, &link, [&] {
            QTimer::singleShot(options.duration * 1000, &link, [&] { finish(0, {}); });
        });
    }
    QTimer::singleShot(0, &link, &CliLink::start);
    const int code = QCoreApplication::exec();
    // A run that never got a row leaves no empty file of its own behind.
    file.removeIfUnused();
    return code;
}

} // namespace vandrel::cli
