// SPDX-License-Identifier: GPL-3.0-or-later
// The program's command-line options. Without any, the program starts as usual.
#pragma once

#include <QString>
#include <QStringList>

namespace vandrel {

struct CommandLine {
    QStringList ports;       // --port DEVICE, repeatable: tried first by the search, in this order
    bool demo = false;       // --demo: start the simulated meter and use it
    QString demoModel = QStringLiteral("580");
    QString demoSuffix = QStringLiteral("D");
    bool exitNow = false;    // --help / --version / a bad option handled
    int exitCode = 0;
    QString output;          // what to print before exiting

    // Parses `arguments` (argv including the program name).
    static CommandLine parse(const QStringList &arguments);
};

} // namespace vandrel
