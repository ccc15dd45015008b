// SPDX-License-Identifier: GPL-3.0-or-later
// vandrel-cli: the meter's ports, real-time recording, logger download and
// reports without a window, for machines without a screen and for scripts.
#include "cli/CliOptions.h"
#include "cli/DownloadCommand.h"
#include "cli/PortCheck.h"
#include "cli/RecordCommand.h"
#include "cli/ReportCommand.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char *argv[])
{
    using namespace vandrel::cli;
    // A report paints its pages, which takes the fonts of a GUI application;
    // the offscreen platform gives them without a display.
    const bool report = argc > 1 && std::strcmp(argv[1], "report") == 0;
    if (report)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app =
        report ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
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
    case Command::Report:
        return runReport(options);
    case Command::None:
        break;
    }
    return kExitUsage;
}
