// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's single-threaded event loop: the pty master, the operator's
// commands on standard input and the termination signals, all under one poll().
#pragma once

#include "MeterEngine.h"
#include "OutputQueue.h"
#include "Pty.h"
#include "SimOptions.h"

#include <array>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace vandrel::sim {

class SimServer {
public:
    SimServer(SimOptions options, MeterEngine engine);
    ~SimServer();
    SimServer(const SimServer &) = delete;
    SimServer &operator=(const SimServer &) = delete;

    // Runs until "quit", a termination signal, or (when asked) the end of
    // standard input. Returns the process exit code.
    int run();

private:
    bool openLine(std::string &error);
    void unplug(double seconds, Clock::time_point now);
    void readMaster(Clock::time_point now);
    void readStdin(Clock::time_point now);
    bool setUp();
    void runCommand(const SimCommand &command, Clock::time_point now, std::string &error);
    bool applyFault(const SimCommand &command, Clock::time_point now);
    void applyMeterCommand(const SimCommand &command, std::string &error);
    void flush(Clock::time_point now);
    // How long the loop may sleep; nullopt = until something happens.
    std::optional<Clock::duration> pollTimeout(Clock::time_point now) const;
    void say(const std::string &line);
    void printEvents();
    void logReceived(const std::uint8_t *data, std::size_t n);
    std::string statsLine() const;
    std::string stateLine() const;
    void regenerateMemory();
    void removeLink();

    SimOptions options_;
    MeterEngine engine_;
    OutputQueue out_;
    std::unique_ptr<Pty> pty_;
    std::optional<Clock::time_point> reopenAt_;
    bool stdinOpen_ = true;
    bool wantWrite_ = false;
    bool quit_ = false;
    bool memoryFromFile_ = false;
    std::string stdinBuffer_;
    std::string linkedTo_; // where our --link points, empty when it is not ours
    std::array<unsigned long long, 256> counts_{};
    unsigned long long total_ = 0;
    std::FILE *log_ = nullptr;
    int signalPipe_[2] = {-1, -1};
};

} // namespace vandrel::sim
