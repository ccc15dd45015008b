// SPDX-License-Identifier: GPL-3.0-or-later
// Port checks of the "ports" command: the real open of the serial component and
// the program's own search, so what it prints is what recording would meet.
#include "cli/PortCheck.h"

#include "meter/MeterLink.h"
#include "meter/PortAccess.h"
#include "platform/ComPort.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

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

QString probeMeter(const QString &path)
{
    TComPort port;
    MeterReading reading;
    MeterIdentity identity;
    MeterLink link(port, reading, identity);
    link.setPorts({path});
    link.SearchMeter();
    QString answer = QStringLiteral("no answer");
    if (link.state().MeterConnected) {
        answer = QString::number(identity.MeterModel);
        // The stream variant's carriage return and a missing suffix print nothing.
        if (identity.ModelSuffix > ' ' && identity.ModelSuffix < 127)
            answer += QLatin1Char(identity.ModelSuffix);
    }
    link.FormCloseQuery();
    return answer;
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

int runPorts(const QStringList &named, bool probe)
{
    QStringList system;
    TComPort::EnumComDevices(system);
    for (const QString &path : portsToList(system, named)) {
        const int error = tryOpenPort(path);
        const QString answer = probe && error == 0 ? probeMeter(path) : QString();
        std::printf("%s\n", portLine(path, error, answer).toLocal8Bit().constData());
        std::fflush(stdout);
    }
    return 0;
}

} // namespace vandrel::cli
