// SPDX-License-Identifier: GPL-3.0-or-later
// vandrel-cli download against the simulated meter, both transfer variants:
// each set's file holds exactly what the data-logger window's Save writes for
// that set, the raw file is the memory as sent, and a failed transfer reports
// the program's own message and writes no set.
#include "datalogger/DataLoggerCommand.h"
#include "datalogger/LoadData.h"
#include "datalogger/TfrmDataLogger.h"
#include "realtime/TableFileDialogs.h"

#include "CliProcess.h"
#include "CliRig.h"
#include "LoggerMemory.h"
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

// What the data-logger window saves for each set of `memory`, as a meter of
// `model` downloaded it.
QList<QByteArray> windowSaves(const QByteArray &memory, const LoggerModel &model, const QString &extension)
{
    DataLoggerState state;
    const MemoryHeader header = parseMemoryHeader(memory);
    if (BuildSetTable(header.SetCount, memory.mid(kHeaderSize), sampleSizeFor(model.MeterModel), state.Table) !=
        kSetTableAccepted)
        return {};
    TfrmDataLogger window(state, model);
    window.decodeProgress = {};
    window.showDataSets();
    QTemporaryDir dir;
    QList<QByteArray> saves;
    for (int i = 0; i < state.Table.setCount(); ++i) {
        window.DecodeDataSet(i);
        const QString path = dir.filePath(QStringLiteral("set.") + extension);
        FixedUi ui(path);
        if (!saveDataLoggerTable(window, state, ui))
            return {};
        saves << readAll(path);
    }
    return saves;
}

struct DownloadCase {
    const char *name;
    int model;
    const char *simSuffix;
    char suffix;
    int set;         // 0: every set into a folder
    bool tab;
    const char *out; // file or folder in the temporary folder
    QStringList simExtra;
    int exitCode;
    const char *message;
    bool memoryKept; // the raw file is written (the memory came in whole)
    int sets;        // in the meter's memory
};

class CliDownload : public testing::TestWithParam<DownloadCase> {};

} // namespace

TEST_P(CliDownload, FilesAreWhatTheWindowsSaveWrites)
{
    const DownloadCase &c = GetParam();
    QTemporaryDir dir;
    const sim::Bytes bytes = sim::buildMemory(sim::plausibleSets(c.sets, 7), sampleSizeFor(c.model));
    const QByteArray memory(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    {
        QFile f(dir.filePath("memory.bin"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(memory);
    }
    SimProcess sim(QStringList{"--model", QString::number(c.model), "--suffix", c.simSuffix, "--memory",
                               dir.filePath("memory.bin")} +
                   c.simExtra);
    const QString out = dir.filePath(c.out);
    const QString raw = dir.filePath("raw.bin");
    QStringList args{"download", "--port", sim.device(), "--out", out, "--raw", raw};
    if (c.set > 0)
        args << "--set" << QString::number(c.set);
    if (c.tab)
        args << "--tab";
    CliProcess cli(args);
    ASSERT_TRUE(cli.finish(90000));
    ASSERT_EQ(cli.exitCode(), c.exitCode) << cli.errors().toStdString();
    if (c.exitCode != 0) {
        EXPECT_TRUE(cli.errors().contains(c.message)) << cli.errors().toStdString();
        // Neither a set file nor a folder made for them is left behind.
        EXPECT_FALSE(QFileInfo::exists(out));
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("sets")));
        EXPECT_EQ(QFile::exists(raw), c.memoryKept);
        return;
    }

    const MemoryHeader header = parseMemoryHeader(memory);
    EXPECT_EQ(readAll(raw), memory.left(header.EndAddress + 1));
    const LoggerModel model{c.model, c.suffix};
    const QString extension = c.tab ? QStringLiteral("txt") : QStringLiteral("csv");
    const QList<QByteArray> saves = windowSaves(memory, model, c.set > 0 ? QFileInfo(out).suffix() : extension);
    ASSERT_EQ(saves.size(), 3);
    if (c.set > 0) {
        EXPECT_EQ(readAll(out), saves.at(c.set - 1));
        EXPECT_EQ(cli.lines(), QStringList{out});
        return;
    }
    QStringList names;
    for (int i = 1; i <= saves.size(); ++i)
        names << QStringLiteral("set-%1.%2").arg(i, 2, 10, QLatin1Char('0')).arg(extension);
    EXPECT_EQ(QDir(out).entryList(QDir::Files, QDir::Name), names);
    for (int i = 0; i < saves.size(); ++i)
        EXPECT_EQ(readAll(QDir(out).filePath(names.at(i))), saves.at(i)) << names.at(i).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Variants, CliDownload,
    testing::Values(DownloadCase{"BlocksOneSet", 580, "D", 'D', 2, false, "second.csv", {}, 0, "", true, 3},
                    DownloadCase{"BlocksLastSet", 580, "D", 'D', 3, false, "third.csv", {}, 0, "", true, 3},
                    DownloadCase{"StreamEverySet", 560, "CR", '\r', 0, true, "sets", {}, 0, "", true, 3},
                    DownloadCase{"BlocksEverySet", 580, "none", 0, 0, false, "sets", {}, 0, "", true, 3},
                    DownloadCase{"TransferBreaksOff", 580, "none", 0, 0, false, "sets/new", {"--stop-after", "500"}, 1,
                                 "download failed (error 3): the transfer broke off", false, 3},
                    DownloadCase{"NoSuchSet", 580, "D", 'D', 4, false, "fourth.csv", {}, 1, "no set 4", true, 3},
                    DownloadCase{"EmptyMemory", 580, "none", 0, 0, false, "sets/new", {}, 3,
                                 "There was not any data recorded in momery of meter !", false, 0}),
    [](const testing::TestParamInfo<DownloadCase> &info) { return std::string(info.param.name); });

namespace {

struct StopCase {
    const char *name;
    const char *simSuffix;
    int signalNumber;
    int exitCode;
    const char *message;
    const char *simEnd; // how the meter saw the transfer end; empty: not looked at
};

class CliDownloadStop : public testing::TestWithParam<StopCase> {};

} // namespace

// A signal in the middle of a long transfer: the meter is told to stop, the
// command ends with 128 + the signal and one line, and writes nothing.
TEST_P(CliDownloadStop, EndsCleanlyAndWritesNothing)
{
    const StopCase &c = GetParam();
    QTemporaryDir dir;
    const sim::Bytes bytes = sim::buildMemory(sim::plausibleSets(12, 7), 6);
    {
        QFile f(dir.filePath("memory.bin"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size()));
    }
    SimProcess sim({"--model", "580", "--suffix", c.simSuffix, "--pace", "--memory", dir.filePath("memory.bin")});
    const QString out = dir.filePath("sets");
    CliProcess cli({"download", "--port", sim.device(), "--out", out, "--raw", dir.filePath("raw.bin")});
    ASSERT_FALSE(sim.waitForLine("DOWNLOAD START", 30000).isEmpty());
    cli.signal(c.signalNumber);
    ASSERT_TRUE(cli.finish(30000));
    EXPECT_EQ(cli.exitCode(), c.exitCode);
    EXPECT_EQ(cli.errors(), QString::fromLatin1(c.message));
    EXPECT_TRUE(cli.lines().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(out));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("raw.bin")));
    if (*c.simEnd) {
        const QString end = sim.waitForLine("DOWNLOAD END", 10000);
        EXPECT_TRUE(end.startsWith(QLatin1String(c.simEnd))) << end.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Signals, CliDownloadStop,
    testing::Values(StopCase{"CtrlCDuringBlocks", "D", SIGINT, 130,
                             "vandrel-cli: download stopped by SIGINT; no file written\n", "DOWNLOAD END quit"},
                    StopCase{"TermDuringStream", "CR", SIGTERM, 143,
                             "vandrel-cli: download stopped by SIGTERM; no file written\n", ""}),
    [](const testing::TestParamInfo<StopCase> &info) { return std::string(info.param.name); });

// A folder that holds the set files of an earlier, longer download: refused
// before the meter is asked, unless --force, which leaves only the new sets.
TEST(CliDownloadFolder, OldSetFilesAreRefusedOrReplaced)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("sets");
    QDir().mkpath(out);
    for (const char *name : {"set-04.csv", "set-05.txt", "notes.txt"}) {
        QFile f(QDir(out).filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    SimProcess sim({"--model", "580", "--suffix", "D", "--sets", "3"});
    {
        CliProcess cli({"download", "--port", sim.device(), "--out", out});
        ASSERT_TRUE(cli.finish(30000));
        EXPECT_EQ(cli.exitCode(), 1);
        EXPECT_TRUE(cli.errors().contains("set-04.csv, set-05.txt")) << cli.errors().toStdString();
        EXPECT_TRUE(cli.errors().contains("--force")) << cli.errors().toStdString();
        EXPECT_EQ(QDir(out).entryList(QDir::Files, QDir::Name), QStringList({"notes.txt", "set-04.csv", "set-05.txt"}));
    }
    CliProcess cli({"download", "--port", sim.device(), "--out", out, "--force"});
    ASSERT_TRUE(cli.finish(90000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.errors().toStdString();
    EXPECT_EQ(QDir(out).entryList(QDir::Files, QDir::Name),
              QStringList({"notes.txt", "set-01.csv", "set-02.csv", "set-03.csv"}));
}
