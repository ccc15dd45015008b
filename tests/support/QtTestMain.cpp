// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry for tests that need an application object (event loop, widgets).
#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // Tests never need a display; test discovery runs them outside CTest too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Numbers and dates come out the same on every machine; a test of another
    // locale passes that locale explicitly or sets it for its own scope.
    QLocale::setDefault(QLocale::c());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
