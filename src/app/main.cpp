// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry: options, the simulated meter for --demo, the main window.
#include "app/AppVersion.h"
#include "platform/MessageBoxes.h"
#include "app/CommandLine.h"
#include "app/DemoMeter.h"
#include "app/TfrmMain.h"
#include "platform/ComPort.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>

#include <cstdio>

namespace {

// Shows an exception that escaped an event handler instead of ending the
// program; the silent abort is never shown.
class VandrelApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const vandrel::EAbort &) {
        } catch (const std::exception &e) {
            vandrel::showMessageBox(activeWindow(), vandrel::MessageKind::Error, QString::fromLocal8Bit(e.what()));
        }
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    // Options first: --help and --version need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const vandrel::CommandLine cmd = vandrel::CommandLine::parse(arguments);
    if (cmd.exitNow) {
        std::fputs(cmd.output.toLocal8Bit().constData(), cmd.exitCode == 0 ? stdout : stderr);
        return cmd.exitCode;
    }

    VandrelApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vandrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vandrel"));
    QApplication::setApplicationVersion(QStringLiteral(VANDREL_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Vandrel"));
    QApplication::setDesktopFileName(QStringLiteral("vandrel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/vandrel.svg")));

    vandrel::MainOptions options;
    options.recoveryFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    vandrel::DemoMeter demo;
    if (cmd.demo) {
        QString error;
        const QString device = demo.start(cmd.demoModel, cmd.demoSuffix, error);
        if (device.isEmpty())
            vandrel::showMessageBox(nullptr, vandrel::MessageKind::Warning, error);
        else
            options.preferredPorts << device;
    }
    // Devices named on the command line come first, in the order given.
    options.preferredPorts = cmd.ports + options.preferredPorts;

    vandrel::TfrmMain window(options);
    // Without a window manager nothing maximises the window, which would
    // then open at its smallest size: it takes the screen's free area itself.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    return app.exec();
}
