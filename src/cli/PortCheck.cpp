// SPDX-License-Identifier: GPL-3.0-or-later
// Port checks of the "ports" command: the real open of the serial component and
// the program's own search, so what it prints is what recording would meet.
#include "cli/PortCheck.h"

#include "meter/ComPortLine.h"
#include "meter/PortProbe.h"
#include "meter/MeterLink.h"
#include "meter/ModelTraits.h"
#include "meter/PortAccess.h"
#include "platform/ComPort.h"


#include <cerrno>
#include <cstdio>
#include <cstring>
#include <chrono>
#include <thread>
#include <utility>

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
    if (downloadVariant(id.ModelSuffix) == DownloadVariant::Stream)
        return model + QStringLiteral(" stream");
    // Any other suffix is shown as the meter sent it, when it can be shown.
    if (id.ModelSuffix > ' ' && id.ModelSuffix < 127)
        return model + QLatin1Char(id.ModelSuffix);
    return model;
}

namespace {

// The verdict on one probed line once the probe is done with it.
QString verdict(const ProbeSession &probe, int line)
{
    if (probe.stage(line) == ProbeSession::Stage::Meter)
        return meterName(probe.identity(line));
    return probe.answered(line) ? kNotAMeter : kNoAnswer;
}

// Runs a probe of one line to its end, `step` milliseconds at a time.
template <typename Wait>
void runProbe(ProbeSession &probe, Wait &&wait)
{
    probe.start(0);
    for (qint64 t = 0; probe.step(t) < 0 && !probe.finished(); t += 10)
        wait(10);
}

// A device that has said all it will say: the reply to "K", then what
// followed the polls.
class Recorded : public ProbeLine {
public:
    Recorded(const QByteArray &reply, const QByteArray &after) : reply_(reply), after_(after) {}
    void write(char byte) override
    {
        if (byte == 'K')
            pending_ += std::exchange(reply_, {});
        else if (byte == 'A')
            pending_ += std::exchange(after_, {});
    }
    QByteArray readAvailable() override { return std::exchange(pending_, {}); }

private:
    QByteArray reply_, after_, pending_;
};

} // namespace

QString judgeProbe(const QByteArray &reply, const QByteArray &after)
{
    Recorded line(reply, after);
    ProbeSession probe({&line});
    runProbe(probe, [](int) {});
    return verdict(probe, 0);
}

QString probeMeter(const QString &path)
{
    ComPortLine port;
    if (!port.open(path))
        return kNoAnswer;
    port.purgeInput();
    class Line : public ProbeLine {
    public:
        explicit Line(SerialLine &l) : l_(l) {}
        void write(char byte) override { l_.write(byte); }
        QByteArray readAvailable() override { return l_.readAll(); }

    private:
        SerialLine &l_;
    } line(port);
    ProbeSession probe({&line});
    runProbe(probe, [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); });
    return verdict(probe, 0);
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
