// SPDX-License-Identifier: GPL-3.0-or-later
// vandrel-cli's ports and record commands and its error exits, run as a
// process against the simulated meter: rows equal what the real-time table's
// Save writes for the same readings, an unplugged meter leaves a gap and no
// invented rows, and every failure ends with one line and its status.
#include "cli/CliLink.h"
#include "cli/DownloadCommand.h"
#include "meter/DecodeFrame.h"
#include "platform/ComPort.h"
#include "platform/StringGrid.h"
#include "realtime/TableFileDialogs.h"
#include "records/TableRow.h"
#include "realtime/TfrmList.h"

#include "CliProcess.h"
#include "CliRig.h"
#include "DisplayFrame.h"
#include "SimProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vandrel;
using vandrel::test::CliProcess;
using vandrel::test::FixedUi;
using vandrel::test::readAll;
using vandrel::test::SimProcess;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The time stamp of a row line (date and time cells first).
QDateTime rowTime(const QString &line, QChar sep)
{
    const QStringList cells = line.split(sep);
    return QDateTime(readTableDate(cells.value(0)), QTime::fromString(cells.value(1), QStringLiteral("HH:mm:ss")));
}

struct RecordCase {
    const char *name;
    int model;
    const char *simSuffix;
    char suffix;
    bool fahrenheit;
    const char *file;
    const char *earlier; // what the file held before
};

class CliRecord : public testing::TestWithParam<RecordCase> {};

} // namespace

// The meter shows one reading throughout, so every row's values are known: the
// rows must be the bytes the real-time table's Save writes for that reading at
// the rows' own times, after whatever the file held before.
TEST_P(CliRecord, RowsAreWhatTheTablesSaveWrites)
{
    const RecordCase &c = GetParam();
    QTemporaryDir dir;
    sim::FrameContent content;
    if (c.fahrenheit)
        content.statusA |= sim::StatusA::Fahrenheit;
    sim::setValue(content, 0, 45.6);
    sim::setValue(content, 1, 21.3);
    sim::setValue(content, 2, -3.4);
    const sim::Frame frame = sim::buildFrame(content);
    QByteArray script;
    for (std::uint8_t b : frame)
        script += QByteArray::number(b, 16).rightJustified(2, '0') + ' ';
    writeFile(dir.filePath("frames"), script + '\n');
    const QString out = dir.filePath(c.file);
    if (*c.earlier)
        writeFile(out, c.earlier);

    SimProcess sim({"--model", QString::number(c.model), "--suffix", c.simSuffix, "--frames", dir.filePath("frames")});
    CliProcess cli({"record", "--port", sim.device(), "--rate", "0", "--out", out});
    ASSERT_TRUE(cli.waitForLines(3));
    cli.terminate();
    ASSERT_TRUE(cli.finish());
    EXPECT_EQ(cli.exitCode(), 0) << cli.errors().toStdString();

    // What the file held stays; a row cut short there gets its line end first.
    QByteArray kept(c.earlier);
    if (!kept.isEmpty() && !kept.endsWith('\n'))
        kept += "\r\n";
    const QByteArray written = readAll(out);
    ASSERT_TRUE(written.startsWith(kept)) << written.left(40).toStdString();
    const QByteArray rows = written.mid(kept.size());
    const QStringList printed = cli.lines();
    EXPECT_EQ(QString::fromUtf8(rows).replace(QLatin1String("\r\n"), QLatin1String("\n")),
              printed.join(QLatin1Char('\n')) + QLatin1Char('\n'));

    MeterIdentity id{c.model, c.suffix};
    MeterReading reading;
    DisplayFrame df;
    std::copy(frame.begin(), frame.end(), df.begin());
    DecodeFrame(reading, df, id);
    TfrmList table;
    ApplyTableHeadings(*table.Grid1, c.model);
    const QChar sep = QString(c.file).endsWith(QLatin1String(".csv")) ? QLatin1Char(',') : QLatin1Char('\t');
    for (const QString &line : printed)
        AppendTableRow(*table.Grid1, rowTime(line, sep), reading, id);
    const QString saved = dir.filePath(QStringLiteral("saved.") + QFileInfo(QString(c.file)).suffix());
    FixedUi ui(saved);
    ASSERT_TRUE(saveTable(*table.Grid1, ui));
    EXPECT_EQ(rows, readAll(saved));
    EXPECT_GE(printed.size(), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Models, CliRecord,
    testing::Values(RecordCase{"OneTemperatureNewCsv", 520, "none", 0, false, "rows.csv", ""},
                    RecordCase{"DewPointFahrenheitAppendedTxt", 580, "D", 'D', true, "rows.txt", "earlier\trow\t\r\n"},
                    RecordCase{"TwoTemperaturesAfterACutRow", 540, "none", 0, false, "rows.csv", "cut,short"}),
    [](const testing::TestParamInfo<RecordCase> &info) { return std::string(info.param.name); });

// Frames stop while the adapter is away: no row is written for that time, and
// rows come again once the device is back, without a restart.
TEST(CliRecordRecovery, UnpluggedMeterLeavesAGapAndRecordingResumes)
{
    QTemporaryDir dir;
    const QString link = dir.filePath("meter");
    SimProcess sim({"--link", link});
    const QString out = dir.filePath("rows.txt");
    CliProcess cli({"record", "--port", link, "--rate", "0", "--out", out});
    ASSERT_TRUE(cli.waitForLines(2));
    ASSERT_TRUE(sim.command("unplug 4").startsWith("OK"));
    ASSERT_FALSE(sim.waitForLine("DEVICE ", 15000).isEmpty());
    const int before = static_cast<int>(cli.lines().size());
    ASSERT_TRUE(cli.waitForLines(before + 2));
    cli.terminate();
    ASSERT_TRUE(cli.finish());
    EXPECT_EQ(cli.exitCode(), 0);

    const QStringList rows = cli.lines();
    EXPECT_EQ(QString::fromUtf8(readAll(out)).replace(QLatin1String("\r\n"), QLatin1String("\n")),
              rows.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    qint64 widestGap = 0;
    for (int i = 1; i < rows.size(); ++i) {
        const qint64 gap = rowTime(rows.at(i - 1), QLatin1Char('\t')).secsTo(rowTime(rows.at(i), QLatin1Char('\t')));
        EXPECT_GT(gap, 0) << "rows out of order at " << i;
        widestGap = std::max(widestGap, gap);
    }
    // The meter was away four seconds: rows made up for that time would close the gap.
    EXPECT_GE(widestGap, 3);
}

TEST(CliPorts, SaysWhichDevicesOpenAndWhatAnswers)
{
    QTemporaryDir dir;
    SimProcess sim({"--model", "540", "--suffix", "D"});
    // Answers "K" as a meter would, then talks text instead of frames.
    vandrel::test::PtyPair talker;
    vandrel::test::PtyPair held;
    TComPort holder;
    holder.setDeviceName(held.path());
    holder.Open();
    const QString missing = dir.filePath("gone");

    CliProcess cli({"ports", "--probe", "--port", sim.device(), "--port", held.path(), "--port", missing, "--port",
                    talker.path()});
    ASSERT_TRUE(talker.readAvailable(1, 30000).contains('K'));
    talker.write("580D");
    for (int i = 0; i < 3 && !talker.readAvailable(1, 2000).isEmpty(); ++i)
        talker.write("Hello from a modem\r\n");
    ASSERT_TRUE(cli.finish());
    EXPECT_EQ(cli.exitCode(), 0);
    const QStringList lines = cli.lines();
    const QString expected[] = {sim.device() + "\tok\t540D", held.path() + "\tbusy", missing + "\tmissing",
                                talker.path() + "\tok\tanswers, not a meter"};
    for (const QString &line : expected)
        EXPECT_TRUE(lines.contains(line)) << line.toStdString() << " not in\n" << lines.join('\n').toStdString();
}

namespace {

struct FailureCase {
    const char *name;
    QStringList args; // {dir}: a temporary folder, {pty}: a device nothing answers on, {busy}: one held open
    int exitCode;
    const char *message;
};

class CliFailure : public testing::TestWithParam<FailureCase> {};

} // namespace

TEST_P(CliFailure, EndsWithOneLineAndItsStatus)
{
    const FailureCase &c = GetParam();
    QTemporaryDir dir;
    vandrel::test::PtyPair silent;
    vandrel::test::PtyPair held;
    TComPort holder;
    holder.setDeviceName(held.path());
    holder.Open();
    QStringList args;
    for (QString a : c.args)
        args << a.replace(QLatin1String("{dir}"), dir.path())
                    .replace(QLatin1String("{pty}"), silent.path())
                    .replace(QLatin1String("{busy}"), held.path());
    CliProcess cli(args);
    ASSERT_TRUE(cli.finish(60000));
    EXPECT_EQ(cli.exitCode(), c.exitCode);
    const QString errors = cli.errors();
    EXPECT_TRUE(errors.contains(QString(c.message).replace(QLatin1String("{pty}"), silent.path())))
        << errors.toStdString();
    EXPECT_EQ(errors.count(QLatin1Char('\n')), 1) << errors.toStdString();
    EXPECT_TRUE(errors.endsWith(QLatin1Char('\n')));
    EXPECT_TRUE(cli.lines().isEmpty());
    // A failure leaves no empty file or folder of its own.
    EXPECT_TRUE(QDir(dir.path()).isEmpty()) << QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Exits, CliFailure,
    testing::Values(
        FailureCase{"NoCommand", {}, 64, "no command given"},
        FailureCase{"UnknownCommand", {"fetch"}, 64, "unknown command \"fetch\""},
        FailureCase{"RecordWithoutOut", {"record"}, 64, "--out is required"},
        FailureCase{"RateNotANumber", {"record", "--rate", "2s", "--out", "{dir}/a.csv"}, 64, "--rate"},
        FailureCase{"RateTooHigh", {"record", "--rate", "3661", "--out", "{dir}/a.csv"}, 64, "--rate"},
        FailureCase{"UnknownOption", {"download", "--sets", "2", "--out", "{dir}"}, 64, "sets"},
        FailureCase{"SetZero", {"download", "--set", "0", "--out", "{dir}/a.csv"}, 64, "--set"},
        FailureCase{"DurationBeyondTheTimer", {"record", "--duration", "2147484", "--out", "{dir}/a.csv"}, 64,
                    "--duration"},
        FailureCase{"BusyDeviceDownload", {"download", "--port", "{busy}", "--out", "{dir}/sets/new"}, 2, ": busy"},
        FailureCase{"MissingDeviceDownload", {"download", "--port", "{dir}/none", "--set", "1", "--out",
                                              "{dir}/new/one.csv"},
                    2, "/none: missing"},
        FailureCase{"MissingDevice", {"record", "--port", "{dir}/none", "--out", "{dir}/a.csv"}, 2, "/none: missing"},
        FailureCase{"SilentDeviceRecord", {"record", "--port", "{pty}", "--out", "{dir}/a.csv"}, 2,
                    "no meter answers on {pty}"},
        FailureCase{"SilentDeviceDownload", {"download", "--port", "{pty}", "--out", "{dir}/sets"}, 2,
                    "no meter answers on {pty}"}),
    [](const testing::TestParamInfo<FailureCase> &info) { return std::string(info.param.name); });

// The progress line: what is known so far, and the time left rounded up so it
// never shows 0:00 while bytes are still missing.
TEST(CliProgress, LineShowsWhatIsKnown)
{
    const struct {
        int bytes;
        const char *total;
        qint64 rate;
        const char *line;
    } table[] = {
        {0, "", 0, "0 of ? bytes"},
        {640, "", 960, "640 of ? bytes, 960 bytes/s"},
        {640, "98304", 0, "640 of 98304 bytes"},
        {12288, "98304", 960, "12288 of 98304 bytes, 960 bytes/s, 1:30 left"},
        {98303, "98304", 960, "98303 of 98304 bytes, 960 bytes/s, 0:01 left"},
        {98304, "98304", 960, "98304 of 98304 bytes, 960 bytes/s, 0:00 left"},
    };
    for (const auto &row : table)
        EXPECT_EQ(cli::progressText(row.bytes, QString::fromLatin1(row.total), row.rate), QString::fromLatin1(row.line))
            << row.bytes << " " << row.total;
}

// The first tick with a reading takes a row at once; at a rate of 5 s the
// next is due after the 3 s are over.
TEST(CliRecordTiming, RateFiveForThreeSecondsWritesOneRow)
{
    QTemporaryDir dir;
    SimProcess sim({"--model", "580"});
    const QString out = dir.filePath("rows.csv");
    CliProcess cli({"record", "--port", sim.device(), "--rate", "5", "--duration", "3", "--quiet", "--out", out});
    ASSERT_TRUE(cli.finish(30000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.errors().toStdString();
    EXPECT_EQ(readAll(out).count("\r\n"), 1) << readAll(out).toStdString();
}

// For scripts: JSON lines that hold the reading's numbers, an end after
// --samples rows, and the meter's identification reported on standard error.
TEST(CliRecordScripts, JsonRowsStopAfterSamplesAndReportTheMeter)
{
    QTemporaryDir dir;
    sim::FrameContent content;
    sim::setValue(content, 0, 45.6);
    sim::setValue(content, 1, 21.3);
    sim::setValue(content, 2, -3.4);
    QByteArray script;
    for (std::uint8_t b : sim::buildFrame(content))
        script += QByteArray::number(b, 16).rightJustified(2, '0') + ' ';
    writeFile(dir.filePath("frames"), script + '\n');
    SimProcess sim({"--model", "540", "--frames", dir.filePath("frames")});
    const QString out = dir.filePath("rows.csv");
    CliProcess cli({"record", "--port", sim.device(), "--rate", "0", "--samples", "2", "--format", "json", "--out", out});
    ASSERT_TRUE(cli.finish(30000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.errors().toStdString();
    const QList<QByteArray> rows = readAll(out).split('\n');
    ASSERT_EQ(rows.size(), 3); // two lines and the empty rest
    EXPECT_TRUE(rows.at(2).isEmpty());
    for (int i = 0; i < 2; ++i) {
        const QByteArray &row = rows.at(i);
        EXPECT_TRUE(row.startsWith("{\"time\":\"20")) << row.toStdString();
        EXPECT_TRUE(row.endsWith(",\"rh\":45.6,\"t1\":21.3,\"t2\":-3.4,\"unit\":\"C\"}")) << row.toStdString();
        EXPECT_EQ(QString::fromUtf8(row), cli.lines().value(i));
    }
    EXPECT_TRUE(cli.errors().contains(" meter identified as 540 on " + sim.device())) << cli.errors().toStdString();
    EXPECT_EQ(cli.errors().count('\n'), 1) << cli.errors().toStdString();
}

// Without a device named, the deadline for the first reading does not cut
// the search short: a meter that answers late, behind a silent device, is
// still found though the deadline has long passed.
TEST(CliSearch, TheDeadlineWaitsForEveryDevicesTrial)
{
    test::PtyPair silent;
    test::SimProcess sim({"--model", "540", "--id-delay", "800"});
    cli::CliLink link(QString{});
    link.setSystemDevices([&] { return QStringList{silent.path(), sim.device()}; });
    link.setAnswerMs(100);
    bool ready = false;
    QString failure;
    QObject::connect(&link, &cli::CliLink::ready, [&] { ready = true; });
    QObject::connect(&link, &cli::CliLink::failed, [&](const QString &why) { failure = why; });
    link.start();
    ASSERT_TRUE(test::waitUntil([&] { return ready || !failure.isEmpty(); }, 10000));
    EXPECT_TRUE(ready) << failure.toStdString();
    EXPECT_EQ(link.identity().MeterModel, 540);
    link.close();
    ASSERT_TRUE(test::waitUntil([&] { return !link.link().line().isOpen(); }, 5000));
}
