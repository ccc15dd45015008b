// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of the program without a window: which command, its options,
// and the help, version and error texts to print instead of running it.
#pragma once

#include "insight/RecordStats.h"

#include <QString>
#include <QStringList>

namespace vandrel::cli {

enum class Command { None, Ports, Record, Download, Report };

// How record writes its rows: table rows (the separator by the file's name,
// or named), or one JSON object a line.
enum class RowFormat { ByName, Csv, Tsv, Json };

// The longest --duration: its milliseconds must fit the timer's int.
inline constexpr int kMaxDurationSeconds = 2147483;

// Exit statuses other than 0.
inline constexpr int kExitFailed = 1;   // the work itself failed (download error, file not written)
inline constexpr int kExitNoMeter = 2;  // the port cannot be opened, or no meter answers
inline constexpr int kExitEmpty = 3;    // the meter's logger memory holds nothing
inline constexpr int kExitUsage = 64;   // the command line is wrong

struct CliOptions {
    Command command = Command::None;
    QStringList ports;   // --port DEVICE (several for "ports", at most one otherwise)
    bool probe = false;  // ports --probe
    bool json = false;   // ports --json
    int rate = 2;        // record --rate SECONDS
    int duration = 0;    // record --duration SECONDS; 0 records until stopped
    QString out;         // --out FILE or folder
    bool quiet = false;  // record --quiet
    int samples = 0;     // record --samples N; 0 records until stopped
    RowFormat format = RowFormat::ByName; // record --format
    int set = 0;         // download --set N (from 1); 0 writes every set
    QString raw;         // download --raw FILE
    bool tab = false;    // download --tab
    bool force = false;  // download --force
    QString in;          // report --in FILE
    QString csv;         // report --csv FILE
    bool letter = false; // report --paper letter (else A4)
    StatsOptions limits; // report --limits

    // Set when the program prints `output` (to standard output when the
    // status is 0, else to standard error) and ends with `exitCode`.
    bool exitNow = false;
    int exitCode = 0;
    QString output;

    // `arguments` as main receives them, the program's name first.
    static CliOptions parse(const QStringList &arguments);
};


// One error line on standard error, "vandrel-cli: " first.
void printError(const QString &message);

} // namespace vandrel::cli
