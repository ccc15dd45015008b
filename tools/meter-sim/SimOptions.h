// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line options and the run-time commands read from standard input,
// parsed into plain structs so the parsing can be tested without a terminal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vandrel::sim {

struct SimOptions {
    int model = 580;
    std::uint8_t suffix = 0;
    std::string link;
    std::string framesFile;
    std::string memoryFile;
    int sets = 3;
    std::uint32_t seed = 1;
    std::string logFile;
    bool noIdentification = false;
    int identifyDelayMs = 0;
    bool garbage = false;
    bool split = false;
    bool pace = false;
    bool exitOnEof = false;
    bool help = false;
    int corruptBlock = -1;
    int corruptTimes = 1;
    long stopAfter = -1;
    double silenceSeconds = 0.0;
};

// `args` excludes the program name. Returns false with `error` on a bad option.
bool parseOptions(const std::vector<std::string> &args, SimOptions &options, std::string &error);

// "D", "CR" (carriage return), "none" (0 byte) or any other single character.
bool parseSuffix(const std::string &text, std::uint8_t &suffix);
std::string suffixName(std::uint8_t suffix);

std::string helpText();

struct SimCommand {
    enum class Kind {
        Quit, Help, Stats, ClearStats, State, Silence, Unplug, NoId, Garbage, Split, Pace,
        CorruptBlock, StopAfter, Model, Frames, Memory, Sets, LowBattery, AutoPowerOff,
    };
    Kind kind = Kind::Help;
    double seconds = 0.0;
    bool on = false;
    long number = -1;
    long count = 1;
    std::uint8_t suffix = 0;
    std::string text;
};

// One line from standard input. Returns nullopt for a blank line; a bad line
// gives nullopt with `error` set.
std::optional<SimCommand> parseCommand(const std::string &line, std::string &error);

} // namespace vandrel::sim
