// SPDX-License-Identifier: GPL-3.0-or-later
// The real main window running a real-time run against the simulated meter, for
// the test that kills it: prints each table row once it is in the journal.
#include "app/TfrmMain.h"

#include <QAction>
#include <QApplication>
#include <QSettings>

#include <cstdio>

using namespace vandrel;

// Arguments: the meter's device, the settings file, the recovery folder.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 4)
        return 2;
    QSettings settings(QString::fromLocal8Bit(argv[2]), QSettings::IniFormat);
    MainOptions options;
    options.systemPorts = false;
    options.preferredPorts = {QString::fromLocal8Bit(argv[1])};
    options.settings = &settings;
    options.recoveryFolder = QString::fromLocal8Bit(argv[3]);
    options.askRestore = [](const QString &) { return false; };
    TfrmMain window(options);

    int printed = 0;
    QObject::connect(&window, &TfrmMain::startupFinished, &window, [&] {
        std::printf("JOURNAL %s\n", qPrintable(window.recoveryFiles().runJournalPath()));
        std::fflush(stdout);
        window.action(QStringLiteral("mnuRun"))->trigger();
        // Connected after the run's own sampling step: a row seen here is journaled.
        QObject::connect(&window.link(), &MeterLink::frameTick, &window, [&] {
            const TfrmList *table = window.realTime().RealTimeTableWindow();
            if (!table)
                return;
            const StringGrid &grid = *table->Grid1;
            const int rows = grid.Cells(0, 1).isEmpty() ? 0 : grid.RowCount() - 1;
            for (; printed < rows; ++printed) {
                QStringList cells;
                for (int c = 0; c < grid.ColCount(); ++c)
                    cells << grid.Cells(c, printed + 1);
                std::printf("ROW %s\n", qPrintable(cells.join(QLatin1Char('|'))));
            }
            std::fflush(stdout);
        });
    });
    window.show();
    return app.exec();
}
