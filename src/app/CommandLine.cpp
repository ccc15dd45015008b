// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line parsing with QCommandLineParser.
#include "app/CommandLine.h"

#include "app/AppVersion.h"
#include "meter/ModelTraits.h"

#include <QCommandLineParser>

namespace vandrel {

namespace {

// The parser names the program from the application object, which does not
// exist yet when options are read: name it ourselves.
QString usage(const QCommandLineParser &p)
{
    QString text = p.helpText();
    const qsizetype eol = text.indexOf(QLatin1Char('\n'));
    return text.replace(0, eol, QStringLiteral("Usage: vandrel [options]"));
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine c;
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Companion program for humidity and temperature meters on a serial port.\n"
        "Without options it searches the serial ports for the meter."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Try DEVICE first when searching for the meter (e.g. /dev/ttyUSB0).\n"
                                                 "Give it more than once to try several devices in that order."),
                                  QStringLiteral("DEVICE"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Start the built-in simulated meter and connect to it."));
    const QCommandLineOption model(QStringLiteral("demo-model"),
                                   QStringLiteral("Model of the simulated meter: 520, 540, 560 or 580 (default 580)."),
                                   QStringLiteral("MODEL"), QStringLiteral("580"));
    const QCommandLineOption suffix(QStringLiteral("demo-suffix"),
                                    QStringLiteral("Variant of the simulated meter: D (dew point, default), CR or none."),
                                    QStringLiteral("SUFFIX"), QStringLiteral("D"));
    p.addOptions({help, version, port, demo, model, suffix});

    if (!p.parse(arguments)) {
        c.exitNow = true;
        c.exitCode = 2;
        c.output = p.errorText() + QStringLiteral("\n\n") + usage(p);
        return c;
    }
    if (p.isSet(help)) {
        c.exitNow = true;
        c.output = usage(p);
        return c;
    }
    if (p.isSet(version)) {
        c.exitNow = true;
        c.output = QStringLiteral("vandrel ") + QStringLiteral(VANDREL_VERSION) + QLatin1Char('\n');
        return c;
    }
    QStringList allowedModels;
    for (const ModelTraits &t : knownModels())
        allowedModels << QString::number(t.code);
    const QStringList allowedSuffixes{QStringLiteral("D"), QStringLiteral("CR"), QStringLiteral("none")};
    if (!allowedModels.contains(p.value(model)) || !allowedSuffixes.contains(p.value(suffix))) {
        c.exitNow = true;
        c.exitCode = 2;
        c.output = QStringLiteral("Unknown demo model or variant.\n\n") + usage(p);
        return c;
    }
    c.ports = p.values(port);
    c.demo = p.isSet(demo);
    c.demoModel = p.value(model);
    c.demoSuffix = p.value(suffix);
    return c;
}

} // namespace vandrel
