// SPDX-License-Identifier: GPL-3.0-or-later
// "report" run as a process with no display at all: a PDF and CSV from a
// table file, and the refusals that leave no file and say why.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

struct ReportRun {
    const char *what;
    QStringList args; // %D: the test's folder
    int exitCode;
    const char *message;          // in standard error
    QStringList files;            // in the folder afterwards, besides the input
    const char *pdfText = nullptr; // in the PDF's text
};

} // namespace

TEST(CliReport, WritesAReportWithoutADisplayOrSaysWhyNot)
{
    const ReportRun runs[] = {
        {"a report with limits, and its CSV",
         {"report", "--in", "%D/room.txt", "--out", "%D/room.pdf", "--csv", "%D/room.csv", "--limits", "rh=:65"},
         0,
         "",
         {"room.csv", "room.pdf"},
         // Raised by 66 at 10:00:02, cleared by 61 at 10:00:06 (back by the hysteresis).
         "Humidityabove65.0%RH7Dec202610:00:027Dec202610:00:0600:00:0467.0"},
        {"an input that is not there", {"report", "--in", "%D/none.txt", "--out", "%D/r.pdf"}, 1, "cannot read", {}},
        {"an output folder that is not there",
         {"report", "--in", "%D/room.txt", "--out", "%D/gone/r.pdf"},
         1,
         "Cannot write the file",
         {}},
        {"limits that make no sense", {"report", "--in", "%D/room.txt", "--out", "%D/r.pdf", "--limits", "rh=70:60"},
         64, "the low limit must lie below the high one", {}},
    };
    for (const ReportRun &run : runs) {
        QTemporaryDir dir;
        QFile table(dir.filePath(QStringLiteral("room.txt")));
        ASSERT_TRUE(table.open(QIODevice::WriteOnly));
        table.write("07/12/2026\t10:00:00\t60.0\t%RH\t20.0\tC\t\t\t\r\n"
                    "07/12/2026\t10:00:02\t66.0\t%RH\t20.1\tC\t\t\t\r\n"
                    "07/12/2026\t10:00:04\t67.0\t%RH\t20.2\tC\t\t\t\r\n"
                    "07/12/2026\t10:00:06\t61.0\t%RH\t20.3\tC\t\t\t\r\n");
        table.close();
        QStringList args;
        for (const QString &a : run.args)
            args << QString(a).replace(QStringLiteral("%D"), dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        QProcess cli;
        cli.setProcessEnvironment(env);
        cli.start(QStringLiteral(VANDREL_CLI_PATH), args);
        ASSERT_TRUE(cli.waitForFinished(60000)) << run.what;
        const QString errors = QString::fromLocal8Bit(cli.readAllStandardError());
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit) << run.what;
        EXPECT_EQ(cli.exitCode(), run.exitCode) << run.what << ": " << errors.toStdString();
        EXPECT_TRUE(errors.contains(QLatin1String(run.message))) << run.what << ": " << errors.toStdString();
        QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::AllDirs | QDir::NoDotAndDotDot);
        left.removeOne(QStringLiteral("room.txt"));
        EXPECT_EQ(left, run.files) << run.what;
        if (run.pdfText) {
            QProcess text;
            text.start(QStringLiteral("pdftotext"), {dir.filePath(QStringLiteral("room.pdf")), QStringLiteral("-")});
            ASSERT_TRUE(text.waitForFinished(60000));
            QString got = QString::fromUtf8(text.readAllStandardOutput());
            got.remove(QRegularExpression(QStringLiteral("\\s")));
            EXPECT_TRUE(got.contains(QLatin1String(run.pdfText))) << run.what << ": " << got.toStdString();
        }
    }
}
