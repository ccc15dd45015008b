// SPDX-License-Identifier: GPL-3.0-or-later
// vandrel-station: many meters recorded unattended, with alarms and a metrics
// endpoint, run as a service.
#include "station/ServiceNotifier.h"
#include "station/Station.h"
#include "station/StationConfig.h"
#include "station/StationSignals.h"
#include "station/StationVersion.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

namespace {

constexpr int kExitUsage = 64;

const char kUsage[] =
    "Usage: vandrel-station [--config FILE] [--check-config]\n"
    "Records every meter named in the configuration into its own daily files,\n"
    "raises alarms and serves /metrics.\n"
    "\n"
    "  --config FILE    the configuration (default /etc/vandrel/station.conf)\n"
    "  --check-config   read and check the configuration, report, and exit\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Exit status: 0 after SIGTERM or SIGINT, 78 for a configuration error,\n"
    "64 for a bad command line, 1 when the station cannot start.\n";

void printLine(std::FILE *to, const QString &text)
{
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
    std::fflush(to);
}

} // namespace

int main(int argc, char *argv[])
{
    using namespace vandrel::station;
    QCoreApplication app(argc, argv);
    // Made before any thread starts, so every thread leaves the signals to
    // its descriptor.
    StationSignals stopSignals;
    QCoreApplication::setApplicationName(QStringLiteral("vandrel-station"));
    std::signal(SIGPIPE, SIG_IGN);

    QString configPath = QStringLiteral("/etc/vandrel/station.conf");
    bool checkOnly = false;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == QLatin1String("--version")) {
            std::printf("vandrel-station %s\n", kVersion);
            return 0;
        }
        if (arg == QLatin1String("--check-config")) {
            checkOnly = true;
        } else if (arg == QLatin1String("--config") && i + 1 < args.size()) {
            configPath = args.at(++i);
        } else if (arg.startsWith(QLatin1String("--config="))) {
            configPath = arg.mid(9);
        } else {
            printLine(stderr, QStringLiteral("vandrel-station: unknown or incomplete option \"%1\"").arg(arg));
            std::fputs(kUsage, stderr);
            return kExitUsage;
        }
    }

    // A check of the running service's file must not fail because the
    // service itself holds the listen address: that is checked at the start.
    StationConfig config;
    const QString error = loadStationConfig(configPath, config, true, !checkOnly);
    if (!error.isEmpty()) {
        printLine(stderr, error);
        return kExitConfig;
    }
    for (const QString &warning : configWarnings(config))
        printLine(stderr, QStringLiteral("warning: %1").arg(warning));
    if (checkOnly) {
        printLine(stdout, QStringLiteral("%1: OK, %2 meter(s), data in %3, metrics on %4:%5")
                              .arg(configPath)
                              .arg(config.meters.size())
                              .arg(config.dataFolder, config.listenAddress.toString())
                              .arg(config.listenPort));
        return 0;
    }

    Station station(config, QString::fromLatin1(kVersion));
    QString startError;
    if (!station.start(startError)) {
        printLine(stderr, QStringLiteral("%1:%2: %3").arg(configPath).arg(std::max(1, config.listenLine)).arg(startError));
        return kExitConfig;
    }
    ServiceNotifier notifier([&station] { return station.statusText(); });
    notifier.ready();
    QObject::connect(&stopSignals, &StationSignals::stopRequested, &station, [&station, &notifier] {
        notifier.stopping();
        station.stop();
    });
    // SIGHUP: the file is read and checked again; a configuration with an
    // error is refused as a whole and the running one stays.
    QObject::connect(&stopSignals, &StationSignals::reloadRequested, &station, [&] {
        StationConfig next;
        next.path = configPath;
        QString error = loadStationConfig(configPath, next, false);
        if (error.isEmpty()) {
            const bool sameListen = next.listenAddress == config.listenAddress && next.listenPort == config.listenPort;
            if (const auto problem = checkStationConfig(next, !sameListen))
                error = problem->text(configPath);
        }
        if (!error.isEmpty()) {
            station.log(QStringLiteral("SIGHUP: %1; the running configuration stays").arg(error));
            return;
        }
        QString listenError;
        if (!station.reload(next, listenError))
            station.log(QStringLiteral("SIGHUP: %1").arg(listenError));
        config = next;
        notifier.updateStatus();
    });
    QObject::connect(&station, &Station::stopped, &app, [] { QCoreApplication::exit(0); });
    return QCoreApplication::exec();
}
