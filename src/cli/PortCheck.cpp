// SPDX-License-Identifier: GPL-3.0-or-later
// Port checks of the "ports" command: the real open of the serial component and
// the program's own search, so what it prints is what recording would meet.
#include "cli/PortCheck.h"

#include "meter/FrameCutter.h"
#include "meter/MeterLink.h"
#include "meter/PortAccess.h"
#include "platform/ComPort.h"

#include <QElapsedTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace vandrel::cli {

QString openStatusText(int error)
{
    if (error == 0)
        return QStringLiteral("ok");
    switch (refusalFor(error)) {
    case PortRefusal::Denied:
        return QStringLiteral("permission denied");
    case PortRefusal::InUse:
        return QStringLiteral("busy");
    case PortRefusal::None:
        break;
    }
    if (error == ENOENT || error == ENODEV || error == ENXIO)
        return QStringLiteral("missing");
    return QString::fromLocal8Bit(std::strerror(error)).toLower();
}

int tryOpenPort(const QString &path)
{
    TComPort port;
    try {
        port.setDeviceName(path);
        port.Open();
        port.Close();
    } catch (const EComError &e) {
        return e.ErrorCode != 0 ? e.ErrorCode : EIO;
    }
    return 0;
}

QString meterName(const MeterIdentity &id)
{
    const QString model = QString::number(id.MeterModel);
    if (id.ModelSuffix == '\r')
        return model + QStringLiteral(" stream");
    // Any other suffix is shown as the meter sent it, when it can be shown.
    if (id.ModelSuffix > ' ' && id.ModelSuffix < 127)
        return model + QLatin1Char(id.ModelSuffix);
    return model;
}

QString judgeProbe(const QByteArray &reply, const QByteArray &after)
{
    if (reply.isEmpty())
        return kNoAnswer;
    MeterIdentity id;
    if (reply.size() < 4 || !IdentifyMeter(reply, id))
        return kNotAMeter;
    // Anything can answer "K" with four bytes; only a meter then sends frames.
    QByteArray buffer = after;
    if (cutFrames(buffer).empty())
        return kNotAMeter;
    return meterName(id);
}

namespace {

constexpr int kReplyMs = 1000;
constexpr int kPollMs = 300;
constexpr int kPolls = 5;

// Reads what arrives until `wanted` bytes are in or `ms` has passed.
void readFor(TComPort &port, QByteArray &into, qsizetype wanted, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (into.size() < wanted) {
        const qint64 left = ms - clock.elapsed();
        if (left <= 0)
            return;
        port.setReadTotalTimeout(static_cast<int>(left));
        char byte = 0;
        try {
            if (port.Read(&byte, 1, true) != 1)
                return;
        } catch (const std::exception &) {
            return; // the time ran out, or the device went away
        }
        into.append(byte);
    }
}

} // namespace

QString probeMeter(const QString &path)
{
    TComPort port;
    QByteArray reply, after;
    try {
        port.setDeviceName(path);
        port.Open();
        port.PurgeInput();
        const char k = 'K';
        port.Write(&k, 1, true);
        readFor(port, reply, 4, kReplyMs);
        if (reply.size() == 4) {
            for (int i = 0; i < kPolls; ++i) {
                const char a = 'A';
                port.Write(&a, 1, true);
                readFor(port, after, std::numeric_limits<qsizetype>::max(), kPollMs);
                QByteArray cut = after;
                if (!cutFrames(cut).empty())
                    break;
            }
        }
        port.Close();
    } catch (const std::exception &) {
        // A device that fails half way answers with what it gave so far.
    }
    return judgeProbe(reply, after);
}

QString jsonString(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

QStringList portsToList(const QStringList &system, const QStringList &named)
{
    QStringList paths;
    for (const QString &item : PortList::preferredFirst(system, named))
        paths << MeterLink::devicePath(item);
    return paths;
}

QString portLine(const QString &path, int error, const QString &probe)
{
    QString line = path + QLatin1Char('\t') + openStatusText(error);
    if (!probe.isEmpty())
        line += QLatin1Char('\t') + probe;
    return line;
}

QString portJson(const QString &path, int error, const QString &probe)
{
    QString line = QStringLiteral("{\"device\":%1,\"status\":%2").arg(jsonString(path), jsonString(openStatusText(error)));
    if (!probe.isEmpty())
        line += QStringLiteral(",\"probe\":") + jsonString(probe);
    return line + QLatin1Char('}');
}

int runPorts(const QStringList &named, bool probe, bool json)
{
    QStringList system;
    TComPort::EnumComDevices(system);
    for (const QString &path : portsToList(system, named)) {
        const int error = tryOpenPort(path);
        const QString answer = probe && error == 0 ? probeMeter(path) : QString();
        const QString line = json ? portJson(path, error, answer) : portLine(path, error, answer);
        std::printf("%s\n", line.toUtf8().constData());
        std::fflush(stdout);
    }
    return 0;
}

} // namespace vandrel::cli
