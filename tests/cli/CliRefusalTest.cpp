// SPDX-License-Identifier: GPL-3.0-or-later
// What the command line refuses before it writes anything (a report over its
// own record, a download over files already there, rows of one kind into a
// file of another, limits that cannot apply), and the report's PDF and CSV
// put in place both or neither.
#include "cli/ReportCommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

using namespace vandrel;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

// Every name in the folder with what it holds, or where a link leads.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> all;
    const QDir dir(folder);
    for (const QFileInfo &info : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                   QDir::NoDotAndDotDot)) {
        all[info.fileName()] = info.isSymLink() ? "-> " + info.symLinkTarget().toUtf8()
                               : info.isDir()   ? QByteArray("(folder)")
                                                : readFile(info.filePath());
    }
    return all;
}

const QByteArray kOneTemperature = "07/12/2026\t10:00:00\t60.0\t%RH\t20.0\tC\t\t\t\r\n"
                                   "07/12/2026\t10:00:02\t66.0\t%RH\t20.1\tC\t\t\t\r\n";

struct RefusalCase {
    const char *name;
    QStringList args; // %D: the test's folder
    int exitCode;
    const char *message;
};

class CliRefusal : public testing::TestWithParam<RefusalCase> {};

} // namespace

// Each refusal ends with its status and one line saying why, and leaves every
// file, link and folder as it was.
TEST_P(CliRefusal, SaysWhyAndWritesNothing)
{
    const RefusalCase &c = GetParam();
    QTemporaryDir dir;
    writeFile(dir.filePath("room.txt"), kOneTemperature);
    writeFile(dir.filePath("table.csv"), "07/12/2026,10:00:00,60.0,%RH,20.0,C,,,\r\n");
    writeFile(dir.filePath("rows.jsonl"), "{\"time\":\"2026-12-07T10:00:00+01:00\",\"rh\":60.0}\n");
    ASSERT_TRUE(QFile::link(dir.filePath("room.txt"), dir.filePath("alias.pdf")));
    ASSERT_TRUE(QFile::link(dir.filePath("r.pdf"), dir.filePath("later.csv"))); // leads nowhere yet
    ASSERT_TRUE(QFile::link(dir.path(), dir.filePath("same")));                  // the folder itself
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    QStringList args;
    for (const QString &a : c.args)
        args << QString(a).replace(QStringLiteral("%D"), dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    QProcess cli;
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(VANDREL_CLI_PATH), args);
    ASSERT_TRUE(cli.waitForFinished(60000));
    const QString errors = QString::fromLocal8Bit(cli.readAllStandardError());
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), c.exitCode) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QString::fromLatin1(c.message).replace(QStringLiteral("%D"), dir.path())))
        << errors.toStdString();
    // One line of the program's own (the platform may add a note of its own).
    EXPECT_EQ(errors.count(QLatin1String("vandrel-cli: ")), 1) << errors.toStdString();
    EXPECT_TRUE(cli.readAllStandardOutput().isEmpty());
    EXPECT_EQ(snapshot(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CliRefusal,
    testing::Values(
        RefusalCase{"CsvOverItsOwnRecord",
                    {"report", "--in", "%D/room.txt", "--out", "%D/r.pdf", "--csv", "%D/room.txt"},
                    64,
                    "--csv %D/room.txt is the file --in reads"},
        RefusalCase{"PdfOverTheRecordThroughALink",
                    {"report", "--in", "%D/room.txt", "--out", "%D/alias.pdf"},
                    64,
                    "is the file --in reads"},
        RefusalCase{"RecordReadThroughALinkedFolder",
                    {"report", "--in", "%D/same/room.txt", "--out", "%D/room.txt"},
                    64,
                    "is the file --in reads"},
        RefusalCase{"NewPdfAndCsvThroughALinkedFolder",
                    {"report", "--in", "%D/room.txt", "--out", "%D/r.pdf", "--csv", "%D/same/r.pdf"},
                    64,
                    "are the same file"},
        RefusalCase{"CsvThroughALinkToTheNewPdf",
                    {"report", "--in", "%D/room.txt", "--out", "%D/r.pdf", "--csv", "%D/later.csv"},
                    64,
                    "are the same file"},
        RefusalCase{"OneChannelLimitedTwice",
                    {"report", "--in", "%D/room.txt", "--out", "%D/r.pdf", "--limits", "t1=:25", "--limits",
                     "t1=10:"},
                    64,
                    "--limits for t1 is given twice"},
        RefusalCase{"LimitsOfAChannelTheRecordLacks",
                    {"report", "--in", "%D/room.txt", "--out", "%D/r.pdf", "--csv", "%D/r.csv", "--limits",
                     "rh=:65", "--limits", "t2=:30"},
                    64,
                    "--limits t2: %D/room.txt has no T2 values; no report written"},
        RefusalCase{"OneSetOverAnExistingFile",
                    {"download", "--port", "%D/none", "--set", "1", "--out", "%D/table.csv"},
                    1,
                    "table.csv already exists; give --force to replace it"},
        RefusalCase{"EverySetIntoAFileName",
                    {"download", "--port", "%D/none", "--out", "%D/new.csv"},
                    64,
                    "without --set, --out names the folder"},
        RefusalCase{"JsonRowsIntoATable",
                    {"record", "--port", "%D/none", "--format", "json", "--out", "%D/table.csv"},
                    64,
                    "holds comma-separated table rows; JSON rows would be mixed into it"},
        RefusalCase{"TableRowsIntoJson",
                    {"record", "--port", "%D/none", "--format", "csv", "--out", "%D/rows.jsonl"},
                    64,
                    "holds JSON rows; comma-separated table rows would be mixed into it"},
        RefusalCase{"TabsIntoACommaTable",
                    {"record", "--port", "%D/none", "--format", "tsv", "--out", "%D/same/table.csv"},
                    64,
                    "holds comma-separated table rows; tab-separated table rows would be mixed into it"}),
    [](const testing::TestParamInfo<RefusalCase> &info) { return std::string(info.param.name); });

namespace {

struct PairCase {
    const char *name;
    const char *oldPdf; // null: none
    const char *oldCsv;
    const char *pdf;    // in the test's folder
    const char *csv;
    bool csvRenameFails; // putting the CSV in place fails
    bool ok;
};

class CliReportPair : public testing::TestWithParam<PairCase> {};

} // namespace

// The PDF and the CSV are written beside their places and put in place
// together: when the CSV cannot follow, the PDF is as it was before.
TEST_P(CliReportPair, BothOrNeither)
{
    const PairCase &c = GetParam();
    QTemporaryDir dir;
    const QString realPdf = dir.filePath("real.pdf");
    if (c.oldPdf)
        writeFile(realPdf, c.oldPdf);
    if (c.oldCsv)
        writeFile(dir.filePath("r.csv"), c.oldCsv);
    const QString pdf = dir.filePath(c.pdf);
    if (pdf != realPdf) {
        ASSERT_TRUE(QFile::link(realPdf, pdf));
    }
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    ReportInput in;
    in.header.source = QStringLiteral("File: room.txt");
    in.record.seconds = {46363 * 86400.0, 46363 * 86400.0 + 2};
    in.record.values[kHumidity] = {60.0, 66.0};
    in.record.values[kT1] = {20.0, 20.1};
    const ReportTables tables = reportTables(in);
    DiskCalls calls = systemDiskCalls();
    const auto rename = calls.rename;
    calls.rename = [&](const char *from, const char *to) {
        if (c.csvRenameFails && QByteArray(to).endsWith(".csv"))
            return errno = EACCES, -1;
        return rename(from, to);
    };
    QString error;
    const bool ok = cli::writeReportFiles(pdf, dir.filePath(c.csv), in, tables, ReportPaper::A4, error, calls);
    ASSERT_EQ(ok, c.ok) << error.toStdString();
    if (!ok) {
        EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot write the file ") + dir.filePath(c.csv)))
            << error.toStdString();
        EXPECT_EQ(snapshot(dir.path()), before);
        return;
    }
    QMap<QString, QByteArray> after = snapshot(dir.path());
    EXPECT_TRUE(after.take("real.pdf").startsWith("%PDF-"));
    EXPECT_EQ(after.take("r.csv"), QByteArray::fromStdString(tablesCsv(tables.all(), ',')));
    EXPECT_TRUE(after.isEmpty()) << after.keys().join(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Files, CliReportPair,
    testing::Values(PairCase{"BothNew", nullptr, nullptr, "real.pdf", "r.csv", false, true},
                    PairCase{"BothReplaced", "old pdf", "old csv", "real.pdf", "r.csv", false, true},
                    PairCase{"CsvNotPlacedAndNoOldPdf", nullptr, nullptr, "real.pdf", "r.csv", true, false},
                    PairCase{"CsvNotPlacedAndOldPdfBack", "old pdf", "old csv", "real.pdf", "r.csv", true, false},
                    PairCase{"CsvNotPlacedAndOldPdfBackThroughALink", "old pdf", nullptr, "link.pdf", "r.csv", true,
                             false},
                    PairCase{"CsvNotWritten", "old pdf", nullptr, "real.pdf", "gone/r.csv", false, false}),
    [](const testing::TestParamInfo<PairCase> &info) { return std::string(info.param.name); });
