// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's own logic without a process or a device: what the
// options accept, how an appended file's cut row is ended, the JSON rows and
// port lines, the probe's verdict, and a download broken off by a signal.
#include "cli/CliOptions.h"
#include "cli/DownloadCommand.h"
#include "cli/PortCheck.h"
#include "cli/RecordCommand.h"
#include "datalogger/DownloadProtocol.h"

#include "CliRig.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vandrel;
using namespace vandrel::cli;
using vandrel::test::readAll;

namespace {

struct ParseCase {
    const char *name;
    QStringList args;
    int exitCode;       // -1: parsed, runs
    const char *detail; // in the message, or what was read
};

class CliParse : public testing::TestWithParam<ParseCase> {};

} // namespace

TEST_P(CliParse, AcceptsOrRefuses)
{
    const ParseCase &c = GetParam();
    const CliOptions o = CliOptions::parse(QStringList{"vandrel-cli"} + c.args);
    if (c.exitCode < 0) {
        ASSERT_FALSE(o.exitNow) << o.output.toStdString();
        const QString read = QStringLiteral("duration=%1 samples=%2 format=%3 json=%4 force=%5")
                                 .arg(o.duration)
                                 .arg(o.samples)
                                 .arg(static_cast<int>(o.format))
                                 .arg(o.json)
                                 .arg(o.force);
        EXPECT_EQ(read, QString::fromLatin1(c.detail));
        return;
    }
    ASSERT_TRUE(o.exitNow);
    EXPECT_EQ(o.exitCode, c.exitCode);
    EXPECT_TRUE(o.output.contains(QLatin1String(c.detail))) << o.output.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Options, CliParse,
    testing::Values(
        // The longest duration whose milliseconds the timer still holds, and one more.
        ParseCase{"DurationAtTheTimersLimit", {"record", "--duration", "2147483", "--out", "a.csv"}, -1,
                  "duration=2147483 samples=0 format=0 json=0 force=0"},
        ParseCase{"DurationBeyondTheTimer", {"record", "--duration", "2147484", "--out", "a.csv"}, 64, "--duration"},
        ParseCase{"SamplesAndJson", {"record", "--samples", "5", "--format", "json", "--out", "a"}, -1,
                  "duration=0 samples=5 format=3 json=0 force=0"},
        ParseCase{"TsvIntoCsvName", {"record", "--format", "tsv", "--out", "a.csv"}, -1,
                  "duration=0 samples=0 format=2 json=0 force=0"},
        ParseCase{"UnknownFormat", {"record", "--format", "xml", "--out", "a"}, 64, "--format takes csv, tsv or json"},
        ParseCase{"NoSamples", {"record", "--samples", "0", "--out", "a"}, 64, "--samples"},
        ParseCase{"PortsAsJson", {"ports", "--json"}, -1, "duration=0 samples=0 format=0 json=1 force=0"},
        ParseCase{"ForceReplacesSets", {"download", "--force", "--out", "sets"}, -1,
                  "duration=0 samples=0 format=0 json=0 force=1"},
        ParseCase{"ForceReplacesOneSetsFile", {"download", "--force", "--set", "2", "--out", "b.csv"}, -1,
                  "duration=0 samples=0 format=0 json=0 force=1"},
        ParseCase{"ReportWithoutInput", {"report", "--out", "r.pdf"}, 64, "--in is required"},
        ParseCase{"ReportOfAnUnknownChannel", {"report", "--in", "a.txt", "--out", "r.pdf", "--limits", "co2=:800"}, 64,
                  "the channel is rh, t1, t2 or dp"},
        ParseCase{"ReportOnOtherPaper", {"report", "--in", "a.txt", "--out", "r.pdf", "--paper", "a3"}, 64,
                  "--paper takes a4 or letter"}),
    [](const testing::TestParamInfo<ParseCase> &info) { return std::string(info.param.name); });

namespace {

struct CutRowCase {
    const char *name;
    const char *file;
    QByteArray before;
    RowFormat format;
    QByteArray after; // once "x,y,\r\n" (or the JSON row) was appended
    bool ended;
};

class CliAppend : public testing::TestWithParam<CutRowCase> {};

} // namespace

// What the file held stays; a last row cut short gets exactly the line end
// it lacks, and only then.
TEST_P(CliAppend, EndsACutRowOnceAndKeepsTheRest)
{
    const CutRowCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(c.file);
    if (!c.before.isNull()) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.before);
    }
    RowFile file;
    QString error;
    ASSERT_TRUE(file.open(path, c.format, error)) << error.toStdString();
    const std::string row = file.json() ? "{\"rh\":1}" : "x" + std::string(1, file.separator()) + "y" +
                                                            std::string(1, file.separator()) + "\r\n";
    ASSERT_TRUE(file.append(row, error));
    EXPECT_EQ(file.endedCutRow(), c.ended);
    ASSERT_TRUE(file.append(row, error));
    EXPECT_EQ(readAll(path), c.after + QByteArray::fromStdString(row + (file.json() ? "\n" : "")));
}

INSTANTIATE_TEST_SUITE_P(
    Files, CliAppend,
    testing::Values(
        CutRowCase{"NewCsv", "a.csv", QByteArray(), RowFormat::ByName, "x,y,\r\n", false},
        CutRowCase{"WholeRows", "a.txt", "a\tb\t\r\n", RowFormat::ByName, "a\tb\t\r\nx\ty\t\r\n", false},
        CutRowCase{"CutAfterCarriageReturn", "a.csv", "a,b,\r", RowFormat::ByName, "a,b,\r\nx,y,\r\n", true},
        CutRowCase{"CutInsideAField", "a.csv", "a,4", RowFormat::ByName, "a,4\r\nx,y,\r\n", true},
        CutRowCase{"TabsByFormat", "a.csv", "a\t", RowFormat::Tsv, "a\t\r\nx\ty\t\r\n", true},
        CutRowCase{"CommasByFormat", "a.txt", "", RowFormat::Csv, "x,y,\r\n", false},
        CutRowCase{"JsonCut", "a.json", "{\"rh\":4", RowFormat::Json, "{\"rh\":4\n{\"rh\":1}\n", true}),
    [](const testing::TestParamInfo<CutRowCase> &info) { return std::string(info.param.name); });

TEST(CliAppend, UnusedNewFileIsRemovedAndAnOldOneKept)
{
    QTemporaryDir dir;
    {
        RowFile file;
        QString error;
        ASSERT_TRUE(file.open(dir.filePath("new.csv"), RowFormat::ByName, error));
        file.removeIfUnused();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("new.csv")));
    QFile old(dir.filePath("old.csv"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.close();
    {
        RowFile file;
        QString error;
        ASSERT_TRUE(file.open(old.fileName(), RowFormat::ByName, error));
        file.removeIfUnused();
    }
    EXPECT_TRUE(QFile::exists(old.fileName()));
}

TEST(CliJson, RowsHoldNumbersTimeAndOnlyPresentValues)
{
    const QDateTime at(QDate(2026, 12, 7), QTime(21, 35, 5), Qt::OffsetFromUTC, 3600);
    const struct {
        const char *locale;
        QStringList cells;
        const char *json;
    } table[] = {
        {"C", {"1", "", "", "45.6", "%RH", "-3.0", "C", "200", "C", "9.3"},
         R"({"time":"2026-12-07T21:35:05+01:00","rh":45.6,"t1":-3.0,"t2":200,"dewpoint":9.3,"unit":"C"})"},
        // Overloaded values, and those the model does not have, are left out.
        {"C", {"2", "", "", "OL", "%RH", "-OL", "F", "", "", ""},
         R"({"time":"2026-12-07T21:35:05+01:00","unit":"F"})"},
        // The table's decimal comma becomes a decimal point.
        {"de_DE", {"3", "", "", "45,6", "%RH", "21,3", "C", "", "", ""},
         R"({"time":"2026-12-07T21:35:05+01:00","rh":45.6,"t1":21.3,"unit":"C"})"},
        // Tables keep ASCII digits where the locale has its own.
        {"ar_EG", {"4", "", "", "45\u066B6", "%RH", "-21\u066B3", "C", "", "", ""},
         R"({"time":"2026-12-07T21:35:05+01:00","rh":45.6,"t1":-21.3,"unit":"C"})"},
    };
    for (const auto &row : table)
        EXPECT_EQ(jsonRowLine(at, row.cells, QLocale(QLatin1String(row.locale))), std::string(row.json));
}

TEST(CliPortsText, JsonLinesEscapeTheDevice)
{
    EXPECT_EQ(portJson("/dev/a\"b\\c", 0, "580D"), R"({"device":"/dev/a\"b\\c","status":"ok","probe":"580D"})");
    EXPECT_EQ(portJson("/dev/x", ENOENT, QString()), R"({"device":"/dev/x","status":"missing"})");
}

// A meter is what names a known model and then sends display frames.
TEST(CliProbe, VerdictAndVariantNames)
{
    const QByteArray frame("\x02\x00\x00\x01\xC8\x00\xD5\x00\x00\x03", 10);
    const struct {
        QByteArray reply;
        QByteArray after;
        const char *verdict;
    } table[] = {
        {"", "", "no answer"},
        {"580D", "xx" + frame, "580D"},
        {QByteArray("540\0", 4), frame, "540"},
        {"560\r", frame, "560 stream"},
        {"580D", "Hello, this is a modem\r\n", "answers, not a meter"},
        {"580D", frame.left(9), "answers, not a meter"},
        {"999X", frame, "answers, not a meter"},
        {"58", frame, "answers, not a meter"},
    };
    for (const auto &row : table)
        EXPECT_EQ(judgeProbe(row.reply, row.after), QString::fromLatin1(row.verdict)) << row.reply.toStdString();
}

namespace {

// A meter that takes the request and then says nothing, on a clock of its own.
class QuietPort : public DownloadPort {
public:
    QByteArray written;
    qint64 now = 0;
    int inputCount() override { return 0; }
    int read(char *, int) override { return 0; }
    void write(char byte) override { written.append(byte); }
    WaitStatus waitForInput(int ms) override
    {
        now += ms;
        return WaitStatus::Timeout;
    }
    void pause(int ms) override { now += ms; }
    qint64 elapsedMs() override { return now; }
};

} // namespace

// Ctrl+C in the middle of a transfer: the meter is told "Q" once, after the
// request, and the transfer ends within one slice of the wait.
TEST(CliStop, SignalDuringTheTransferSendsQuitAndEndsIt)
{
    for (const bool stream : {true, false}) {
        QuietPort inner;
        StoppablePort port(inner, [&inner] { return inner.now >= 1000; });
        DataSetTable table;
        DownloadView view;
        const int result =
            stream ? DownloadStream(port, view, 4, table) : DownloadBlocks(port, view, 4, table);
        EXPECT_EQ(result, kDownloadNoAnswer);
        EXPECT_EQ(inner.written, QByteArray("PQ")) << (stream ? "stream" : "blocks");
        EXPECT_LE(inner.now, 1000 + StoppablePort::kSliceMs + StoppablePort::kQuietMs);
    }
    // Before the request nothing is sent at all.
    QuietPort inner;
    StoppablePort port(inner, [] { return true; });
    port.pause(2000);
    port.write(kRequest);
    EXPECT_TRUE(inner.written.isEmpty());
    EXPECT_EQ(inner.now, 0);
}

// A failed transfer is said in words with its number, never as the window's
// advice to click a menu; every other message of the download passes as it is.
TEST(CliDownloadText, FailuresAreExplainedWithoutTheWindowsMenu)
{
    const struct {
        int code;
        const char *words;
    } failures[] = {
        {kDownloadNoAnswer, "download failed (error 1): the meter did not answer"},
        {kDownloadEndOutOfRange, "download failed (error 2): the meter announced a memory end outside"},
        {kDownloadBrokeOff, "download failed (error 3): the transfer broke off"},
        {kDownloadSetCountOutOfRange, "download failed (error 4): the memory names no set"},
        {kDownloadMalformedSet, "download failed (error 5): a set in the memory is malformed"},
    };
    for (const auto &f : failures) {
        const QString text = terminalMessage(downloadErrorText(f.code));
        EXPECT_TRUE(text.startsWith(QLatin1String(f.words))) << text.toStdString();
        EXPECT_FALSE(text.contains(QLatin1String("click"), Qt::CaseInsensitive)) << text.toStdString();
        EXPECT_FALSE(text.contains(QLatin1String("menu"), Qt::CaseInsensitive)) << text.toStdString();
    }
    for (const QString &kept : {downloadErrorText(kDownloadEmpty), QStringLiteral("No thermometer is connected !")})
        EXPECT_EQ(terminalMessage(kept), kept);
}
