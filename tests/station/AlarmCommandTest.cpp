// SPDX-License-Identifier: GPL-3.0-or-later
// The alarm command: started without a shell, the facts in its environment,
// its exit status logged, stopped at its time limit, and free to be ended by
// SIGTERM although the station reads that signal itself.
#include "station/AlarmCommand.h"
#include "station/StationSignals.h"

#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vandrel::station;

namespace {

QString script(const QTemporaryDir &dir, const char *name, const QByteArray &body)
{
    const QString path = dir.filePath(QLatin1String(name));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\n" + body);
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

AlarmEvent event()
{
    return AlarmEvent{QStringLiteral("archive"), QStringLiteral("Room 1"), QStringLiteral("humidity"),
                      AlarmChange{AlarmKind::High, true, 60.0}, 63.5, QStringLiteral("%RH"),
                      QDateTime(QDate(2026, 12, 7), QTime(13, 5, 0), Qt::OffsetFromUTC, 3600)};
}

// Runs the command for one event and returns the lines it logged.
QStringList runOnce(const QString &command, int limitMs = AlarmCommand::kLimitMs)
{
    QStringList log;
    AlarmCommand runner(command, [&](const QString &line) { log << line; }, limitMs);
    QEventLoop loop;
    QObject::connect(&runner, &AlarmCommand::finished, &loop, &QEventLoop::quit);
    runner.run(event());
    if (runner.running() > 0)
        loop.exec();
    return log;
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(AlarmCommand, getsTheFactsAndItsWordsWithoutAShellAndItsStatusIsLogged)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    const QString cmd = script(dir, "notify",
                               "printf '%s|%s|%s|%s|%s|%s|%s|%s|%s|%s\\n' \"$1\" \"$2\" \"$VANDREL_METER\" "
                               "\"$VANDREL_SITE\" \"$VANDREL_CHANNEL\" \"$VANDREL_ALARM\" \"$VANDREL_STATE\" "
                               "\"$VANDREL_VALUE\" \"$VANDREL_LIMIT\" \"$VANDREL_TIME\" > \"$3\"\nexit 3\n");
    const QStringList log = runOnce(QStringLiteral("%1 \"a b\" \"$HOME;x\" %2").arg(cmd, out));
    EXPECT_EQ(contents(out), "a b|$HOME;x|archive|Room 1|humidity|high|raised|63.5|60|2026-12-07T13:05:00+01:00\n");
    EXPECT_EQ(log, QStringList{QStringLiteral("on_alarm for archive humidity high raised: exit status 3")});
}

TEST(AlarmCommand, isStoppedAtItsTimeLimit)
{
    QTemporaryDir dir;
    const QStringList log = runOnce(script(dir, "hang", "exec sleep 600\n"), 50);
    EXPECT_EQ(log, QStringList{QStringLiteral("on_alarm for archive humidity high raised: stopped after 0.05 s")});
}

TEST(AlarmCommand, thatCannotStartIsLogged)
{
    const QStringList log = runOnce(QStringLiteral("/nonexistent/notify"));
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(QLatin1String("on_alarm for archive humidity high raised: cannot start /nonexistent/notify")))
        << log[0].toStdString();
}

TEST(AlarmCommand, canBeEndedBySigtermThoughTheStationReadsItFromADescriptor)
{
    QTemporaryDir dir;
    QStringList log;
    {
        StationSignals signalsRead;
        log = runOnce(script(dir, "term", "kill -TERM $$\nexit 0\n"));
    }
    StationSignals::unblockInChild(); // this test's own thread, as it was
    EXPECT_EQ(log, QStringList{QStringLiteral("on_alarm for archive humidity high raised: ended by a signal")});
}
