// SPDX-License-Identifier: GPL-3.0-or-later
// The search behind device = auto.
#include "station/AutoFinder.h"

#include "meter/ComPortLine.h"
#include "platform/ComPort.h"

#include <QDir>
#include <QFileInfo>

namespace vandrel::station {

namespace {

QString canonical(const QString &path)
{
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? path : c;
}

} // namespace

QString stableDevicePath(const QString &device, const QString &byIdFolder)
{
    const QString target = canonical(device);
    const QDir folder(byIdFolder);
    const QStringList links = folder.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &link : links) {
        const QString path = folder.filePath(link);
        if (QFileInfo(path).isSymLink() && canonical(path) == target)
            return path;
    }
    return device;
}

QString foundMeterName(const QString &base, const QString &stableDevice)
{
    QString tail = QFileInfo(stableDevice).fileName();
    for (QChar &c : tail) {
        const bool good = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                          || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-')
                          || c == QLatin1Char('_') || c == QLatin1Char('.');
        if (!good)
            c = QLatin1Char('_');
    }
    if (tail.isEmpty() || tail == QLatin1String(".") || tail == QLatin1String(".."))
        tail = QStringLiteral("device");
    return base + QLatin1Char('-') + tail;
}

AutoFinder::AutoFinder(MeterParts parts, std::function<QStringList()> claimed, QObject *parent)
    : QObject(parent), ownLine_(parts.line ? nullptr : std::make_unique<ComPortLine>()), clock_(parts.clock),
      link_(parts.line ? *parts.line : *ownLine_,
            parts.makeLine ? parts.makeLine : SerialLineFactory([] { return std::make_unique<ComPortLine>(); }),
            reading_, identity_, parts.clock),
      systemDevices_(std::move(parts.systemDevices)), claimed_(std::move(claimed))
{
    if (!systemDevices_) {
        systemDevices_ = [] {
            QStringList now;
            TComPort::EnumComDevices(now);
            return now;
        };
    }
    connect(&link_, &MeterLink::meterIdentified, this, [this] {
        // Once: the station takes the device over and this finder is retired.
        if (!std::exchange(reported_, true))
            emit found(link_.line().path());
    });
    connect(&link_, &MeterLink::tickStarted, this, [this] {
        const bool idle = !reported_ && !link_.searching() && !link_.state().MeterConnected;
        if (idle && clock_.now() - startedMs_ >= kSearchAgainMs && !std::exchange(askedAgain_, true))
            emit searchAgain();
    });
}

AutoFinder::~AutoFinder() = default;

void AutoFinder::start()
{
    startedMs_ = clock_.now();
    // Every serial device no meter holds, followed as they come and go.
    auto source = [all = systemDevices_, claimed = claimed_] {
        QStringList held;
        for (const QString &device : claimed())
            held << canonical(device);
        QStringList free;
        for (const QString &item : all())
            if (!held.contains(canonical(MeterLink::devicePath(item))))
                free << item;
        return free;
    };
    link_.setDeviceSource(source);
    link_.setPorts(source());
    link_.searchMeter();
    link_.startTimers();
}

bool AutoFinder::shutDown()
{
    return link_.shutDown();
}


} // namespace vandrel::station
