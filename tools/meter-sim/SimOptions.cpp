// SPDX-License-Identifier: GPL-3.0-or-later
// Parsing of the simulator's options and stdin commands, and its help text.
// Numbers are checked whole: "5x" is an error, not 5.
#include "SimOptions.h"

#include "SimModel.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace vandrel::sim {

namespace {

template <typename T> bool toNumber(const std::string &s, T &out)
{
    const char *end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), end, out);
    return ec == std::errc() && p == end && !s.empty();
}

bool toSeconds(const std::string &s, double &out)
{
    try {
        std::size_t used = 0;
        out = std::stod(s, &used);
        return used == s.size() && std::isfinite(out) && out >= 0.0 && out <= 86400.0;
    } catch (...) {
        return false;
    }
}

bool toSwitch(const std::string &s, bool &out)
{
    if (s == "on" || s == "1") {
        out = true;
        return true;
    }
    if (s == "off" || s == "0") {
        out = false;
        return true;
    }
    return false;
}

} // namespace

bool parseSuffix(const std::string &text, std::uint8_t &suffix)
{
    if (text == "none") {
        suffix = 0;
    } else if (text == "CR" || text == "cr") {
        suffix = '\r';
    } else if (text.size() == 1 && text[0] > ' ' && text[0] < 0x7F) {
        suffix = static_cast<std::uint8_t>(text[0]);
    } else {
        return false;
    }
    return true;
}

std::string suffixName(std::uint8_t suffix)
{
    if (suffix == 0)
        return "none";
    if (suffix == '\r')
        return "CR";
    return std::string(1, static_cast<char>(suffix));
}

bool parseOptions(const std::vector<std::string> &args, SimOptions &o, std::string &error)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= args.size()) {
                error = "option " + a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        bool ok = true;
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--no-id") {
            o.noIdentification = true;
        } else if (a == "--garbage") {
            o.garbage = true;
        } else if (a == "--split") {
            o.split = true;
        } else if (a == "--pace") {
            o.pace = true;
        } else if (a == "--exit-on-eof") {
            o.exitOnEof = true;
        } else if (a == "--model") {
            ok = value(v) && toNumber(v, o.model) && findModel(o.model) != nullptr;
        } else if (a == "--suffix") {
            ok = value(v) && parseSuffix(v, o.suffix);
        } else if (a == "--link") {
            ok = value(o.link) && !o.link.empty();
        } else if (a == "--frames") {
            ok = value(o.framesFile);
        } else if (a == "--memory") {
            ok = value(o.memoryFile);
        } else if (a == "--sets") {
            ok = value(v) && toNumber(v, o.sets) && o.sets >= 0 && o.sets <= 40;
        } else if (a == "--seed") {
            ok = value(v) && toNumber(v, o.seed);
        } else if (a == "--log") {
            ok = value(o.logFile);
        } else if (a == "--corrupt-block") {
            ok = value(v) && toNumber(v, o.corruptBlock) && o.corruptBlock >= 0;
        } else if (a == "--corrupt-times") {
            ok = value(v) && toNumber(v, o.corruptTimes) && o.corruptTimes >= 0;
        } else if (a == "--stop-after") {
            ok = value(v) && toNumber(v, o.stopAfter) && o.stopAfter >= 0;
        } else if (a == "--id-delay") {
            ok = value(v) && toNumber(v, o.identifyDelayMs) && o.identifyDelayMs >= 0 && o.identifyDelayMs <= 60000;
        } else if (a == "--silence") {
            ok = value(v) && toSeconds(v, o.silenceSeconds);
        } else {
            error = "unknown option " + a;
            return false;
        }
        if (!ok) {
            if (error.empty())
                error = "bad value '" + v + "' for " + a;
            return false;
        }
    }
    return true;
}

std::string helpText()
{
    return R"(Usage: vandrel-meter-sim [OPTIONS]
Plays a humidity/temperature meter on a pseudo-terminal. The first line on
standard output is "DEVICE <slave path>"; open that path as the serial port.

Options:
  --model N           model 520, 540, 560 or 580 (default 580)
  --suffix S          identification suffix: D, CR (carriage return: stream
                      download), none (a 0 byte; default) or one character
  --link PATH         keep a symbolic link PATH pointing at the device
  --frames FILE       answer polls with the frames of FILE (hex bytes, one
                      answer per line, '#' comments), in turn, cycling
  --memory FILE       raw logger memory image (header and sets) to download
  --sets N            sets in the generated logger memory (default 3, 0 = empty)
  --seed N            seed for drift, garbage and split points (default 1)
  --log FILE          append one line per received byte to FILE
  --no-id             never answer the identification request "K"
  --id-delay MS       answer "K" only MS milliseconds after it came (default 0)
  --silence SECONDS   ignore everything received for SECONDS after start
  --garbage           send stray bytes before each poll answer
  --split             send every answer in 2-3 pieces with 10-60 ms gaps
  --corrupt-block N   damage download block N (counting from 0)
  --corrupt-times K   ... the first K times it is sent (default 1, 0 = always)
  --stop-after N      a download falls silent after N bytes
  --pace              send at the meter's real rate of 960 bytes per second
  --exit-on-eof       exit when standard input ends (default: keep running)
  -h, --help          show this text

Commands on standard input (one per line; answered "OK <command>" or
"ERROR <reason>"):
  quit                      exit
  help                      show this text
  stats                     print "STATS total=N 0xHH=count ..." of received bytes
  clear-stats               reset the received counts
  state                     print "STATE model=... suffix=... a=0xHH ..."
  silence SECONDS           ignore everything received for SECONDS
  unplug SECONDS            close the line ("UNPLUGGED"), wait, then open a new
                            device, re-point --link and print a new DEVICE line
  no-id on|off              (do not) answer "K"
  garbage on|off            stray bytes before poll answers
  split on|off              answers in pieces
  pace on|off               real line rate
  corrupt-block N [K]|off   damage download block N the first K times (0 = always)
  stop-after N|off          downloads fall silent after N bytes
  model CODE [SUFFIX]       become another model (state starts over)
  frames FILE|off           scripted poll answers, or live frames again
  memory FILE               logger memory image for the next download
  sets N                    generated logger memory with N sets
  lowbat on|off             low-battery bit
  apo on|off                automatic power-off bit

Other output lines: "DOWNLOAD START stream|blocks bytes=N",
"DOWNLOAD END complete|quit|stopped|abandoned|timeout|restarted|unplugged sent=N resends=N",
"UNPLUGGED", "STDIN CLOSED", "BYE". The simulator exits on SIGTERM or SIGINT and removes --link.
)";
}

namespace {

using K = SimCommand::Kind;

// How a command's arguments look; the irregular ones are parsed by hand.
enum class ArgShape { None, Seconds, Switch, Other };

struct CommandForm {
    const char *name;
    K kind;
    ArgShape args;
};

constexpr CommandForm kCommands[] = {
    {"quit", K::Quit, ArgShape::None},          {"help", K::Help, ArgShape::None},
    {"stats", K::Stats, ArgShape::None},        {"clear-stats", K::ClearStats, ArgShape::None},
    {"state", K::State, ArgShape::None},        {"silence", K::Silence, ArgShape::Seconds},
    {"unplug", K::Unplug, ArgShape::Seconds},   {"no-id", K::NoId, ArgShape::Switch},
    {"garbage", K::Garbage, ArgShape::Switch},  {"split", K::Split, ArgShape::Switch},
    {"pace", K::Pace, ArgShape::Switch},        {"lowbat", K::LowBattery, ArgShape::Switch},
    {"apo", K::AutoPowerOff, ArgShape::Switch}, {"corrupt-block", K::CorruptBlock, ArgShape::Other},
    {"stop-after", K::StopAfter, ArgShape::Other}, {"model", K::Model, ArgShape::Other},
    {"frames", K::Frames, ArgShape::Other},     {"memory", K::Memory, ArgShape::Other},
    {"sets", K::Sets, ArgShape::Other},
};

// Everything after the command word, trimmed: a file name may contain blanks.
std::string restOfLine(const std::string &line, const std::string &name)
{
    const auto first = line.find_first_not_of(" \t", line.find(name) + name.size());
    const auto last = line.find_last_not_of(" \t\r\n");
    return first == std::string::npos || last < first ? std::string() : line.substr(first, last - first + 1);
}

bool parseOther(const std::vector<std::string> &w, const std::string &line, SimCommand &c)
{
    const std::size_t argc = w.size() - 1;
    switch (c.kind) {
    case K::CorruptBlock:
        if (argc == 1 && w[1] == "off")
            return true; // number -1: no damaged block
        return argc >= 1 && argc <= 2 && toNumber(w[1], c.number) && c.number >= 0 &&
               (argc == 1 || (toNumber(w[2], c.count) && c.count >= 0));
    case K::StopAfter:
        if (argc == 1 && w[1] == "off")
            return true;
        return argc == 1 && toNumber(w[1], c.number) && c.number >= 0;
    case K::Model:
        return argc >= 1 && argc <= 2 && toNumber(w[1], c.number) && findModel(static_cast<int>(c.number)) &&
               (argc == 1 || parseSuffix(w[2], c.suffix));
    case K::Frames:
    case K::Memory:
        c.text = restOfLine(line, w[0]);
        return !c.text.empty();
    case K::Sets:
        return argc == 1 && toNumber(w[1], c.number) && c.number >= 0 && c.number <= 40;
    default:
        return false;
    }
}

} // namespace

std::optional<SimCommand> parseCommand(const std::string &line, std::string &error)
{
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string t; in >> t;)
        w.push_back(t);
    error.clear();
    if (w.empty())
        return std::nullopt;

    const CommandForm *form = nullptr;
    for (const CommandForm &f : kCommands) {
        if (w[0] == f.name)
            form = &f;
    }
    if (!form) {
        error = "unknown command " + w[0];
        return std::nullopt;
    }
    SimCommand c;
    c.kind = form->kind;
    const std::size_t argc = w.size() - 1;
    bool ok = false;
    switch (form->args) {
    case ArgShape::None:
        ok = argc == 0;
        break;
    case ArgShape::Seconds:
        ok = argc == 1 && toSeconds(w[1], c.seconds);
        break;
    case ArgShape::Switch:
        ok = argc == 1 && toSwitch(w[1], c.on);
        break;
    case ArgShape::Other:
        ok = parseOther(w, line, c);
        break;
    }
    if (!ok) {
        error = "bad arguments for " + w[0];
        return std::nullopt;
    }
    return c;
}

} // namespace vandrel::sim
