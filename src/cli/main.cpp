// SPDX-License-Identifier: GPL-3.0-or-later
// vandrel-cli: the meter's ports, real-time recording and logger download
// without a window, for machines without a screen and for scripts.
#include "cli/CliOptions.h"
#include "cli/DownloadCommand.h"
#include "cli/PortCheck.h"
#include "cli/RecordCommand.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    using namespace vandrel::cli;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vandrel-cli"));
    // A reader of standard output that goes away must not end a recording.
    std::signal(SIGPIPE, SIG_IGN);

    const CliOptions options = CliOptions::parse(QCoreApplication::arguments());
    if (options.exitNow) {
        std::FILE *to = options.exitCode == 0 ? stdout : stderr;
        std::fputs(options.output.toLocal8Bit().constData(), to);
        return options.exitCode;
    }
    switch (options.command) {
    case Command::Ports:
        return runPorts(options.ports, options.probe, options.json);
    case Command::Record:
        return runRecord(options);
    case Command::Download:
        return runDownload(options);
    case Command::None:
        break;
    }
    return kExitUsage;
}
