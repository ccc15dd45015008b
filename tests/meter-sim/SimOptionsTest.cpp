// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of option and command parsing: valid forms, rejected values, and that
// the help text documents every option and command the parser accepts.
#include "FrameScript.h"
#include "SimOptions.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace vandrel::sim;

namespace {

bool parse(std::vector<std::string> args, SimOptions &o, std::string &error)
{
    o = SimOptions{};
    error.clear();
    return parseOptions(args, o, error);
}

const char *const kOptions[] = {"--model", "--suffix", "--link", "--frames", "--memory", "--sets",
                                "--seed", "--log", "--no-id", "--id-delay", "--silence", "--garbage", "--split",
                                "--corrupt-block", "--corrupt-times", "--stop-after", "--pace",
                                "--exit-on-eof", "--help"};
const char *const kCommands[] = {"quit", "help", "stats", "clear-stats", "state", "silence", "unplug",
                                 "no-id", "garbage", "split", "pace", "corrupt-block", "stop-after",
                                 "model", "frames", "memory", "sets", "lowbat", "apo"};

} // namespace

TEST(SimOptions, defaultsAreA580WithoutSuffix)
{
    SimOptions o;
    std::string error;
    ASSERT_TRUE(parse({}, o, error));
    EXPECT_EQ(o.model, 580);
    EXPECT_EQ(o.suffix, 0);
    EXPECT_FALSE(o.exitOnEof);
}

TEST(SimOptions, acceptsEveryFault)
{
    SimOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--model", "520", "--suffix", "CR", "--link", "/tmp/x", "--no-id", "--garbage", "--split",
                       "--pace", "--corrupt-block", "3", "--corrupt-times", "0", "--stop-after", "100",
                       "--silence", "2.5", "--exit-on-eof"},
                      o, error))
        << error;
    EXPECT_EQ(o.model, 520);
    EXPECT_EQ(o.suffix, '\r');
    EXPECT_EQ(o.link, "/tmp/x");
    EXPECT_TRUE(o.noIdentification && o.garbage && o.split && o.pace && o.exitOnEof);
    EXPECT_EQ(o.corruptBlock, 3);
    EXPECT_EQ(o.corruptTimes, 0);
    EXPECT_EQ(o.stopAfter, 100);
    EXPECT_DOUBLE_EQ(o.silenceSeconds, 2.5);
}

TEST(SimOptions, rejectsUnknownModelsBadNumbersAndMissingValues)
{
    SimOptions o;
    std::string error;
    for (const auto &args : std::vector<std::vector<std::string>>{{"--model", "999"},
                                                                   {"--model", "58O"},
                                                                   {"--suffix", "DD"},
                                                                   {"--stop-after", "-1"},
                                                                   {"--silence", "5s"},
                                                                   {"--link"},
                                                                   {"--frobnicate"}}) {
        EXPECT_FALSE(parse(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(SimOptions, suffixNamesRoundTrip)
{
    for (const char *name : {"D", "CR", "none", "X"}) {
        std::uint8_t s = 0xEE;
        ASSERT_TRUE(parseSuffix(name, s)) << name;
        EXPECT_EQ(suffixName(s), name);
    }
}

TEST(SimOptions, helpDocumentsEveryOptionAndCommand)
{
    const std::string help = helpText();
    for (const char *option : kOptions)
        EXPECT_NE(help.find(option), std::string::npos) << option;
    for (const char *command : kCommands)
        EXPECT_NE(help.find("\n  " + std::string(command) + " "), std::string::npos) << command;
}

TEST(SimCommands, everyDocumentedCommandParses)
{
    const char *const lines[] = {"quit", "help", "stats", "clear-stats", "state", "silence 2", "unplug 0.5",
                                 "no-id on", "garbage off", "split 1", "pace 0", "corrupt-block 2 3",
                                 "stop-after 99", "model 540 D", "frames /tmp/f", "memory /tmp/m", "sets 0",
                                 "lowbat on", "apo off"};
    for (const char *line : lines) {
        std::string error;
        EXPECT_TRUE(parseCommand(line, error).has_value()) << line << ": " << error;
    }
}

TEST(SimCommands, argumentsAreCheckedAndBlankLinesIgnored)
{
    std::string error;
    EXPECT_FALSE(parseCommand("   ", error).has_value());
    EXPECT_TRUE(error.empty());
    for (const char *bad : {"silence", "silence -1", "unplug x", "no-id maybe", "model 999", "model 580 DD",
                            "corrupt-block -2", "stats now", "dance"}) {
        EXPECT_FALSE(parseCommand(bad, error).has_value()) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    const auto c = parseCommand("corrupt-block 4", error);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->number, 4);
    EXPECT_EQ(c->count, 1);
    const auto off = parseCommand("stop-after off", error);
    ASSERT_TRUE(off);
    EXPECT_EQ(off->number, -1);
    const auto file = parseCommand("memory  /tmp/my image.bin ", error);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->text, "/tmp/my image.bin");
}

TEST(FrameScript, readsHexLinesSkipsCommentsAndRejectsTypos)
{
    std::istringstream good("# header\n02 00 00 01 C8 00 FA 00 00 03\n\n0x55 aa # noise\n");
    std::vector<Bytes> frames;
    std::string error;
    ASSERT_TRUE(parseFrameScript(good, frames, error)) << error;
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], (Bytes{0x02, 0, 0, 0x01, 0xC8, 0, 0xFA, 0, 0, 0x03}));
    EXPECT_EQ(frames[1], (Bytes{0x55, 0xAA}));

    std::istringstream typo("02 00\n02 0G 03\n");
    EXPECT_FALSE(parseFrameScript(typo, frames, error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
    std::istringstream empty("# nothing\n");
    EXPECT_FALSE(parseFrameScript(empty, frames, error));
}
