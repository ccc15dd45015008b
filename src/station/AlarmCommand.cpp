// SPDX-License-Identifier: GPL-3.0-or-later
// Running the alarm command.
#include "station/AlarmCommand.h"

#include "station/StationSignals.h"

#include <QProcess>
#include <QTimer>

namespace vandrel::station {

QProcessEnvironment alarmEnvironment(const AlarmEvent &event, const QProcessEnvironment &base)
{
    QProcessEnvironment env = base;
    env.insert(QStringLiteral("VANDREL_METER"), event.meter);
    env.insert(QStringLiteral("VANDREL_SITE"), event.site);
    env.insert(QStringLiteral("VANDREL_CHANNEL"), event.channel);
    env.insert(QStringLiteral("VANDREL_ALARM"), QLatin1String(alarmKindKey(event.change.kind)));
    env.insert(QStringLiteral("VANDREL_STATE"), event.change.raised ? QStringLiteral("raised") : QStringLiteral("cleared"));
    env.insert(QStringLiteral("VANDREL_VALUE"), event.value ? alarmValueText(*event.value) : QString());
    env.insert(QStringLiteral("VANDREL_LIMIT"),
               event.change.kind == AlarmKind::Storage ? QString() : QString::number(event.change.limit));
    env.insert(QStringLiteral("VANDREL_UNIT"), event.unit);
    env.insert(QStringLiteral("VANDREL_TIME"),
               event.time.toOffsetFromUtc(event.time.offsetFromUtc()).toString(Qt::ISODate));
    return env;
}

AlarmCommand::AlarmCommand(const QString &command, std::function<void(const QString &)> log, int limitMs,
                           QObject *parent)
    : QObject(parent), words_(QProcess::splitCommand(command)), log_(std::move(log)), limitMs_(limitMs)
{
}

void AlarmCommand::setCommand(const QString &command)
{
    words_ = QProcess::splitCommand(command);
}

void AlarmCommand::run(const AlarmEvent &event)
{
    if (words_.isEmpty())
        return;
    auto *process = new QProcess(this);
    process->setProgram(words_.first());
    process->setArguments(words_.mid(1));
    process->setProcessEnvironment(alarmEnvironment(event));
    process->setStandardInputFile(QProcess::nullDevice());
    // Its output joins the station's log as it is.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    // The station reads its signals from a descriptor and blocks them; the
    // command must not inherit that, or it could not be stopped by SIGTERM.
    process->setChildProcessModifier(&StationSignals::unblockInChild);
    auto *limit = new QTimer(process);
    limit->setSingleShot(true);
    const QString what = QStringLiteral("on_alarm for %1 %2 %3 %4")
                             .arg(event.meter, event.channel, QLatin1String(alarmKindKey(event.change.kind)),
                                  event.change.raised ? QStringLiteral("raised") : QStringLiteral("cleared"));
    auto stopped = std::make_shared<bool>(false);
    connect(limit, &QTimer::timeout, process, [process, stopped] {
        *stopped = true;
        process->kill();
    });
    const auto done = [this, process] {
        --running_;
        process->deleteLater();
        emit finished();
    };
    connect(process, &QProcess::finished, this, [this, process, what, stopped, done, limitMs = limitMs_](int code, QProcess::ExitStatus status) {
        if (*stopped)
            log_(QStringLiteral("%1: stopped after %2 s").arg(what).arg(limitMs / 1000.0));
        else if (status == QProcess::CrashExit)
            log_(QStringLiteral("%1: ended by a signal").arg(what));
        else
            log_(QStringLiteral("%1: exit status %2").arg(what).arg(code));
        done();
        Q_UNUSED(process);
    });
    connect(process, &QProcess::errorOccurred, this, [this, process, what, done](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        log_(QStringLiteral("%1: cannot start %2: %3").arg(what, process->program(), process->errorString()));
        done();
    });
    ++running_;
    process->start();
    limit->start(limitMs_);
}

} // namespace vandrel::station
