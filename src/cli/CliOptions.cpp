// SPDX-License-Identifier: GPL-3.0-or-later
// Parsing the command line: one parser per command, so each command's --help
// lists only what it takes, and numbers are checked before anything runs.
#include "cli/CliOptions.h"

#include "cli/CliVersion.h"
#include "insight/Report.h"

#include <QCommandLineParser>

#include <cstdio>
#include <limits>

namespace vandrel::cli {

namespace {

const QString kProgram = QStringLiteral("vandrel-cli");

const QString kOverview = QStringLiteral(
    "Usage: vandrel-cli COMMAND [options]\n"
    "Talks to a humidity and temperature meter on a serial port, without a window.\n"
    "\n"
    "Commands:\n"
    "  ports      list the serial devices and whether they can be opened\n"
    "  record     sample the meter's reading into a table file\n"
    "  download   fetch the meter's data-logger memory into table files\n"
    "  report     write the statistics and graph of a table file as a PDF\n"
    "\n"
    "Run \"vandrel-cli COMMAND --help\" for the options of a command.\n");

struct CommandInfo {
    Command command;
    const char *name;
    const char *usage;
    const char *description;
};

const CommandInfo kCommands[] = {
    {Command::Ports, "ports", "ports [--probe] [--json] [--port DEVICE]...",
     "Lists every serial device the system has, and each --port, with whether it can be\n"
     "opened: ok, permission denied, busy or missing."},
    {Command::Record, "record",
     "record [--port DEVICE] [--rate SECONDS] [--duration SECONDS] [--samples N] [--format csv|tsv|json] "
     "[--quiet] --out FILE",
     "Finds the meter, samples its reading every --rate seconds and appends each sample\n"
     "to FILE as one table row (comma-separated for .csv, tab-separated otherwise) or,\n"
     "with --format json, as one JSON object a line. Meter lost, back and identified\n"
     "are reported on standard error. Ends cleanly on Ctrl+C or SIGTERM."},
    {Command::Download, "download", "download [--port DEVICE] [--set N] [--tab] [--force] [--raw FILE] --out PATH",
     "Downloads the meter's data-logger memory. With --set N, PATH is the table file of\n"
     "set N (an existing one is replaced only with --force); without it, PATH is a\n"
     "folder that receives every set as set-NN.csv.\n"
     "Ends with status 3 when the memory holds nothing."},
    {Command::Report, "report", "report --in FILE --out REPORT.pdf [--limits CHANNEL=LOW:HIGH]... [--csv FILE] "
     "[--paper a4|letter]",
     "Reads a table file (as record, download or the program's Save write them) and writes\n"
     "a report of it: the statistics of each channel, the graph with the limits, daily\n"
     "summaries and the limit crossings, as a PDF and, with --csv, as CSV. Needs no display.\n"
     "A limit is CHANNEL=[LOW]:[HIGH][/HYSTERESIS[/DELAY SECONDS]] with CHANNEL rh, t1, t2\n"
     "or dp, e.g. --limits rh=40:65/2/600 --limits t1=:25 (hysteresis 1 and no delay unless given)."},
};

CliOptions stop(int code, const QString &text)
{
    CliOptions o;
    o.exitNow = true;
    o.exitCode = code;
    o.output = text.endsWith(QLatin1Char('\n')) ? text : text + QLatin1Char('\n');
    return o;
}

CliOptions usageError(const QString &message, const CommandInfo *info)
{
    const QString hint = info ? QStringLiteral("vandrel-cli %1 --help").arg(QLatin1String(info->name))
                              : QStringLiteral("vandrel-cli --help");
    return stop(kExitUsage, QStringLiteral("vandrel-cli: %1 (see \"%2\")").arg(message, hint));
}

QString helpFor(const QCommandLineParser &p, const CommandInfo &info)
{
    QString text = p.helpText();
    const qsizetype eol = text.indexOf(QLatin1Char('\n'));
    return text.replace(0, eol,
                        QStringLiteral("Usage: vandrel-cli %1\n%2")
                            .arg(QLatin1String(info.usage), QLatin1String(info.description)));
}

// A whole number within [low, high] or nothing.
bool readNumber(const QString &text, int low, int high, int &value)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < low || n > high)
        return false;
    value = n;
    return true;
}

QList<QCommandLineOption> optionsFor(Command command)
{
    QList<QCommandLineOption> list{
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit.")},
        {QStringLiteral("version"), QStringLiteral("Show the version and exit.")},
    };
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("The meter's serial device (e.g. /dev/ttyUSB0); without it every "
                                                 "device the system lists is searched."),
                                  QStringLiteral("DEVICE"));
    switch (command) {
    case Command::Ports:
        list << QCommandLineOption(QStringLiteral("port"), QStringLiteral("Also check DEVICE; may be repeated."),
                                   QStringLiteral("DEVICE"))
             << QCommandLineOption(QStringLiteral("probe"),
                                   QStringLiteral("Ask each device that opens for the meter's identification and "
                                                  "a reading."))
             << QCommandLineOption(QStringLiteral("json"), QStringLiteral("One JSON object a device."));
        break;
    case Command::Record:
        list << port
             << QCommandLineOption(QStringLiteral("rate"),
                                   QStringLiteral("Seconds between samples, 0 to 3660 (default 2; 0 samples every "
                                                  "second that brought a reading)."),
                                   QStringLiteral("SECONDS"), QStringLiteral("2"))
             << QCommandLineOption(QStringLiteral("duration"),
                                   QStringLiteral("Stop SECONDS after the first reading (default: until Ctrl+C or "
                                                  "SIGTERM)."),
                                   QStringLiteral("SECONDS"))
             << QCommandLineOption(QStringLiteral("samples"), QStringLiteral("Stop after N rows."),
                                   QStringLiteral("N"))
             << QCommandLineOption(QStringLiteral("format"),
                                   QStringLiteral("csv, tsv or json (default: csv for a .csv file, else tsv)."),
                                   QStringLiteral("FORMAT"))
             << QCommandLineOption(QStringLiteral("out"),
                                   QStringLiteral("The table file; an existing one is appended to."),
                                   QStringLiteral("FILE"))
             << QCommandLineOption(QStringLiteral("quiet"),
                                   QStringLiteral("Do not copy the rows to standard output, and report no events."));
        break;
    case Command::Download:
        list << port
             << QCommandLineOption(QStringLiteral("out"),
                                   QStringLiteral("The table file of --set N, or else the folder for every set."),
                                   QStringLiteral("PATH"))
             << QCommandLineOption(QStringLiteral("set"),
                                   QStringLiteral("Only set N, numbered from 1 as the data-logger window lists them."),
                                   QStringLiteral("N"))
             << QCommandLineOption(QStringLiteral("tab"),
                                   QStringLiteral("Name the files of every set set-NN.txt, tab-separated."))
             << QCommandLineOption(QStringLiteral("force"),
                                   QStringLiteral("Replace the set files an earlier download left in the folder "
                                                  "or, with --set, the existing FILE."))
             << QCommandLineOption(QStringLiteral("raw"), QStringLiteral("Also keep the memory as received in FILE."),
                                   QStringLiteral("FILE"));
        break;
    case Command::Report:
        list << QCommandLineOption(QStringLiteral("in"), QStringLiteral("The table file to report on."),
                                   QStringLiteral("FILE"))
             << QCommandLineOption(QStringLiteral("out"), QStringLiteral("The PDF to write."), QStringLiteral("FILE"))
             << QCommandLineOption(QStringLiteral("limits"),
                                   QStringLiteral("One channel's limits, CHANNEL=[LOW]:[HIGH][/HYSTERESIS[/DELAY]]; "
                                                  "may be repeated."),
                                   QStringLiteral("LIMITS"))
             << QCommandLineOption(QStringLiteral("csv"), QStringLiteral("Also write the figures as CSV to FILE."),
                                   QStringLiteral("FILE"))
             << QCommandLineOption(QStringLiteral("paper"), QStringLiteral("a4 or letter (default a4)."),
                                   QStringLiteral("SIZE"), QStringLiteral("a4"));
        break;
    case Command::None:
        break;
    }
    return list;
}

// Each --limits names one channel once: a second one would silently take the
// place of the first, and the report would show limits the user did not mean.
QString readLimits(const QStringList &texts, StatsOptions &limits)
{
    for (const QString &text : texts) {
        StatsOptions one;
        QString error;
        if (!readLimitsText(text, one, error))
            return QStringLiteral("--limits ") + error;
        for (std::size_t c = 0; c < kChannelCount; ++c) {
            if (!one.limits[c].any())
                continue;
            if (limits.limits[c].any())
                return QStringLiteral("--limits for %1 is given twice; give each channel's limits in one --limits, "
                                      "e.g. %1=10:25")
                    .arg(QLatin1String(channelInfo(static_cast<Channel>(c)).shortKey));
            limits.limits[c] = one.limits[c];
        }
    }
    return {};
}

QString readReportOptions(const QCommandLineParser &p, CliOptions &o)
{
    o.out = p.value(QStringLiteral("out"));
    if (o.out.isEmpty())
        return QStringLiteral("--out is required");
    o.in = p.value(QStringLiteral("in"));
    if (o.in.isEmpty())
        return QStringLiteral("--in is required");
    o.csv = p.value(QStringLiteral("csv"));
    if (p.isSet(QStringLiteral("csv")) && o.csv.isEmpty())
        return QStringLiteral("--csv needs a file");
    const QString paper = p.value(QStringLiteral("paper")).toLower();
    if (paper != QLatin1String("a4") && paper != QLatin1String("letter"))
        return QStringLiteral("--paper takes a4 or letter");
    o.letter = paper == QLatin1String("letter");
    return readLimits(p.values(QStringLiteral("limits")), o.limits);
}

// Reads the options of one command into `o`; returns what is wrong, or empty.
QString readOptions(const QCommandLineParser &p, CliOptions &o)
{
    if (o.command == Command::Report)
        return readReportOptions(p, o);
    o.ports = p.isSet(QStringLiteral("port")) ? p.values(QStringLiteral("port")) : QStringList();
    if (o.command != Command::Ports && o.ports.size() > 1)
        return QStringLiteral("give --port once");
    for (const QString &port : o.ports) {
        if (port.trimmed().isEmpty())
            return QStringLiteral("--port needs a device");
    }
    if (o.command == Command::Ports) {
        o.probe = p.isSet(QStringLiteral("probe"));
        o.json = p.isSet(QStringLiteral("json"));
        return {};
    }
    o.out = p.value(QStringLiteral("out"));
    if (o.out.isEmpty())
        return QStringLiteral("--out is required");

    if (o.command == Command::Record) {
        o.quiet = p.isSet(QStringLiteral("quiet"));
        if (!readNumber(p.value(QStringLiteral("rate")), 0, 3660, o.rate))
            return QStringLiteral("--rate takes whole seconds from 0 to 3660");
        if (p.isSet(QStringLiteral("duration")) &&
            !readNumber(p.value(QStringLiteral("duration")), 1, kMaxDurationSeconds, o.duration))
            return QStringLiteral("--duration takes whole seconds from 1 to %1").arg(kMaxDurationSeconds);
        if (p.isSet(QStringLiteral("samples")) &&
            !readNumber(p.value(QStringLiteral("samples")), 1, std::numeric_limits<int>::max(), o.samples))
            return QStringLiteral("--samples takes a number of rows, at least 1");
        if (p.isSet(QStringLiteral("format"))) {
            const QString f = p.value(QStringLiteral("format"));
            if (f == QLatin1String("csv"))
                o.format = RowFormat::Csv;
            else if (f == QLatin1String("tsv"))
                o.format = RowFormat::Tsv;
            else if (f == QLatin1String("json"))
                o.format = RowFormat::Json;
            else
                return QStringLiteral("--format takes csv, tsv or json");
        }
        return {};
    }
    o.tab = p.isSet(QStringLiteral("tab"));
    o.force = p.isSet(QStringLiteral("force"));
    o.raw = p.value(QStringLiteral("raw"));
    if (p.isSet(QStringLiteral("raw")) && o.raw.isEmpty())
        return QStringLiteral("--raw needs a file");
    if (p.isSet(QStringLiteral("set")) && !readNumber(p.value(QStringLiteral("set")), 1, 9999, o.set))
        return QStringLiteral("--set takes a set number from 1");
    if (o.set > 0 && o.tab)
        return QStringLiteral("--tab names the files of every set; with --set the file's own name decides");
    return {};
}

} // namespace

CliOptions CliOptions::parse(const QStringList &arguments)
{
    const QString first = arguments.value(1);
    if (first == QLatin1String("--help") || first == QLatin1String("-h"))
        return stop(0, kOverview);
    if (first == QLatin1String("--version"))
        return stop(0, kProgram + QLatin1Char(' ') + QLatin1String(kVersion));
    if (first.isEmpty())
        return usageError(QStringLiteral("no command given"), nullptr);

    const CommandInfo *info = nullptr;
    for (const CommandInfo &s : kCommands) {
        if (first == QLatin1String(s.name))
            info = &s;
    }
    if (!info)
        return usageError(QStringLiteral("unknown command \"%1\"").arg(first), nullptr);

    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    p.addOptions(optionsFor(info->command));
    if (!p.parse(QStringList{kProgram} + arguments.mid(2)))
        return usageError(p.errorText(), info);
    if (p.isSet(QStringLiteral("help")))
        return stop(0, helpFor(p, *info));
    if (p.isSet(QStringLiteral("version")))
        return stop(0, kProgram + QLatin1Char(' ') + QLatin1String(kVersion));
    if (!p.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument \"%1\"").arg(p.positionalArguments().constFirst()), info);

    CliOptions o;
    o.command = info->command;
    const QString problem = readOptions(p, o);
    if (!problem.isEmpty())
        return usageError(problem, info);
    return o;
}

void printError(const QString &message)
{
    std::fprintf(stderr, "vandrel-cli: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace vandrel::cli
