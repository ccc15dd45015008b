// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real simulator executable and talks to it through its pseudo-terminal
// and its standard input, the way the program and its integration tests do.
#include "DownloadSession.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

extern char **environ;

using namespace vandrel::sim;
using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

namespace {

// Generous: the machine may be busy building while the tests run.
constexpr auto kWait = 30s;

int msLeft(SteadyClock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return static_cast<int>(std::max<long long>(0, left));
}

std::string uniquePath(const std::string &name)
{
    return ::testing::TempDir() + "metersim_" + std::to_string(::getpid()) + "_" + name;
}

// The simulator as a child process with pipes on its standard input and output.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args)
    {
        const char *exe = std::getenv("VANDREL_SIM");
        if (!exe || !*exe)
            exe = VANDREL_SIM_BUILT;
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
            error_ = "pipe failed";
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        args.insert(args.begin(), exe);
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, exe, &actions, nullptr, argv.data(), environ) != 0) {
            error_ = std::string("cannot start ") + exe;
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
    }

    ~SimProcess()
    {
        closeStdin();
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            if (!waitExit(kWait)) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
            }
        }
        if (stdout_ >= 0)
            ::close(stdout_);
    }

    const std::string &error() const { return error_; }

    void send(const std::string &command)
    {
        const std::string line = command + "\n";
        ASSERT_EQ(::write(stdin_, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    }

    void closeStdin()
    {
        if (stdin_ >= 0)
            ::close(stdin_);
        stdin_ = -1;
    }

    // The next output line that starts with `prefix`; earlier lines are skipped.
    std::optional<std::string> waitLine(const std::string &prefix)
    {
        const auto deadline = SteadyClock::now() + kWait;
        for (;;) {
            for (std::size_t eol; (eol = buffer_.find('\n')) != std::string::npos;) {
                std::string line = buffer_.substr(0, eol);
                buffer_.erase(0, eol + 1);
                if (line.rfind(prefix, 0) == 0)
                    return line;
            }
            pollfd p{stdout_, POLLIN, 0};
            if (::poll(&p, 1, msLeft(deadline)) <= 0)
                return std::nullopt;
            char buf[512];
            const ssize_t n = ::read(stdout_, buf, sizeof buf);
            if (n <= 0)
                return std::nullopt;
            buffer_.append(buf, static_cast<std::size_t>(n));
        }
    }

    // Sends a command and waits for its acknowledgement.
    void command(const std::string &c)
    {
        send(c);
        const auto ok = waitLine("OK " + c);
        ASSERT_TRUE(ok.has_value()) << "no acknowledgement of " << c;
    }

    std::string device()
    {
        const auto line = waitLine("DEVICE ");
        return line ? line->substr(7) : std::string();
    }

    bool waitExit(std::chrono::seconds limit)
    {
        const auto deadline = SteadyClock::now() + limit;
        while (SteadyClock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                exitStatus_ = status;
                return true;
            }
            ::usleep(20'000);
        }
        return false;
    }
    int exitStatus() const { return exitStatus_; }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    int exitStatus_ = -1;
    std::string buffer_;
    std::string error_;
};

// The program's end of the line: the pty slave, opened and set raw.
class Port {
public:
    explicit Port(const std::string &path)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0)
            return;
        termios tio{};
        ::tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        ::tcsetattr(fd_, TCSANOW, &tio);
    }
    ~Port()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    void write(const std::string &bytes)
    {
        ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Exactly `n` bytes, or fewer if the deadline passes first.
    Bytes read(std::size_t n)
    {
        Bytes out;
        const auto deadline = SteadyClock::now() + kWait;
        while (out.size() < n) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, msLeft(deadline)) <= 0)
                break;
            std::uint8_t buf[4096];
            const ssize_t got = ::read(fd_, buf, std::min(sizeof buf, n - out.size()));
            if (got <= 0)
                break;
            out.insert(out.end(), buf, buf + got);
        }
        return out;
    }

private:
    int fd_ = -1;
};

bool isFrame(const Bytes &b) { return b.size() == 10 && b.front() == 0x02 && b.back() == 0x03; }

bool blockIsGood(const Bytes &b)
{
    return b.size() == kBlockSize + 1 && blockChecksum(std::span(b).first(kBlockSize)) == b[kBlockSize];
}

#define START_SIM(name, ...)                                                                                        \
    SimProcess name(std::vector<std::string>{__VA_ARGS__});                                                          \
    ASSERT_TRUE(name.error().empty()) << name.error()

} // namespace

TEST(SimProcess, identifiesPollsReactsToKeysAndCountsWhatItReceived)
{
    const std::string link = uniquePath("link");
    const std::string log = uniquePath("log");
    START_SIM(sim, "--model", "540", "--suffix", "D", "--link", link, "--log", log);
    const std::string dev = sim.device();
    ASSERT_EQ(dev.rfind("/dev/pts/", 0), 0u) << dev;
    char target[256] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(dev, target);

    Port port(link);
    ASSERT_TRUE(port.isOpen());
    port.write("K");
    EXPECT_EQ(port.read(4), (Bytes{'5', '4', '0', 'D'}));
    port.write("A");
    const Bytes first = port.read(10);
    ASSERT_TRUE(isFrame(first));
    const double rh = (first[3] * 256 + first[4]) / 10.0;
    EXPECT_GE(rh, 30.0);
    EXPECT_LE(rh, 70.0);
    EXPECT_EQ(first[1] & 0x28, 0);
    port.write("CRA");
    const Bytes second = port.read(10);
    ASSERT_TRUE(isFrame(second));
    EXPECT_EQ(second[1] & 0x28, 0x28); // Fahrenheit and REL

    sim.send("stats");
    const auto stats = sim.waitLine("STATS ");
    ASSERT_TRUE(stats);
    EXPECT_EQ(*stats, "STATS total=5 0x41=2 0x43=1 0x4B=1 0x52=1");

    std::ifstream in(log);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NE(lines[0].find(" RX 0x4B K"), std::string::npos) << lines[0];
    EXPECT_NE(lines[3].find(" RX 0x52 R"), std::string::npos) << lines[3];
    std::remove(log.c_str());
}

TEST(SimProcess, blockDownloadFollowsTheHandshakeToTheEnd)
{
    START_SIM(sim, "--model", "580");
    Port port(sim.device());
    ASSERT_TRUE(port.isOpen());
    sim.command("corrupt-block 1");
    port.write("P");
    Bytes memory;
    Bytes block = port.read(65);
    ASSERT_TRUE(blockIsGood(block));
    const unsigned end = block[3] << 16 | block[4] << 8 | block[5];
    const std::size_t total = (end + 1 + 63) / 64 * 64;
    ASSERT_GT(end, 255u);
    int refused = 0;
    while (true) {
        ASSERT_EQ(block.size(), 65u) << "after " << memory.size() << " bytes";
        if (!blockIsGood(block)) {
            ++refused;
            port.write("n");
        } else {
            memory.insert(memory.end(), block.begin(), block.begin() + 64);
            port.write("y");
            if (memory.size() == total)
                break;
        }
        block = port.read(65);
    }
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(memory[256], 0xA5);
    EXPECT_EQ(memory[257], 0x5A);
    EXPECT_EQ(memory[end - 1], 0x5A);
    EXPECT_EQ(memory[end], 0xA5);
    const auto done = sim.waitLine("DOWNLOAD END ");
    ASSERT_TRUE(done);
    EXPECT_EQ(done->rfind("DOWNLOAD END complete", 0), 0u) << *done;
    port.write("A");
    EXPECT_TRUE(isFrame(port.read(10)));
}

TEST(SimProcess, streamDownloadSendsTheWholeMemoryUnasked)
{
    START_SIM(sim, "--model", "560", "--suffix", "CR", "--sets", "2");
    Port port(sim.device());
    ASSERT_TRUE(port.isOpen());
    port.write("K");
    EXPECT_EQ(port.read(4), (Bytes{'5', '6', '0', '\r'}));
    port.write("P");
    const Bytes header = port.read(256);
    ASSERT_EQ(header.size(), 256u);
    EXPECT_EQ(header[1] << 8 | header[2], 2);
    const unsigned end = header[3] << 16 | header[4] << 8 | header[5];
    const Bytes rest = port.read(end + 1 - 256);
    ASSERT_EQ(rest.size(), end + 1 - 256);
    EXPECT_EQ(rest.front(), 0xA5);
    EXPECT_EQ(rest.back(), 0xA5);
    port.write("A"); // nothing else was pending: the next bytes are a frame
    EXPECT_TRUE(isFrame(port.read(10)));
}

TEST(SimProcess, brokenOffTransferLeavesTheMeterAnsweringPolls)
{
    START_SIM(sim, "--stop-after", "100", "--suffix", "D");
    Port port(sim.device());
    ASSERT_TRUE(port.isOpen());
    port.write("P");
    ASSERT_TRUE(blockIsGood(port.read(65)));
    port.write("y");
    EXPECT_EQ(port.read(35).size(), 35u);
    const auto stopped = sim.waitLine("DOWNLOAD END ");
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->rfind("DOWNLOAD END stopped sent=100", 0), 0u) << *stopped;
    port.write("nA");
    EXPECT_TRUE(isFrame(port.read(10)));
}

TEST(SimProcess, faultsSwitchedOnAtRunTime)
{
    START_SIM(sim);
    Port port(sim.device());
    ASSERT_TRUE(port.isOpen());
    sim.command("no-id on");
    port.write("KA"); // with no answer to K, the first bytes back are the frame
    EXPECT_TRUE(isFrame(port.read(10)));
    sim.command("no-id off");

    sim.command("garbage on");
    sim.command("split on");
    port.write("AAAAA");
    // Cut frames out of the noise the way the program does.
    Bytes stream;
    int frames = 0;
    while (frames < 5) {
        const Bytes more = port.read(1);
        ASSERT_EQ(more.size(), 1u) << "after " << frames << " frames";
        stream.push_back(more[0]);
        while (!stream.empty() && stream.front() != 0x02)
            stream.erase(stream.begin());
        if (stream.size() == 10) {
            ASSERT_TRUE(isFrame(stream));
            ++frames;
            stream.clear();
        }
    }
    sim.command("garbage off");
    sim.command("split off");
    port.write("K");
    EXPECT_EQ(port.read(4), (Bytes{'5', '8', '0', 0}));
}

TEST(SimProcess, unplugHangsUpTheOldDeviceAndOffersANewOne)
{
    const std::string link = uniquePath("unplug");
    START_SIM(sim, "--link", link, "--suffix", "D");
    const std::string first = sim.device();
    auto old = std::make_unique<Port>(link);
    ASSERT_TRUE(old->isOpen());
    sim.send("unplug 0.3");
    ASSERT_TRUE(sim.waitLine("UNPLUGGED"));
    pollfd p{old->fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, msLeft(SteadyClock::now() + kWait)), 1);
    EXPECT_NE(p.revents & POLLHUP, 0);

    const std::string second = sim.device();
    ASSERT_FALSE(second.empty());
    char target[256] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(second, target);
    old.reset();
    Port port(link);
    ASSERT_TRUE(port.isOpen());
    port.write("K");
    EXPECT_EQ(port.read(4), (Bytes{'5', '8', '0', 'D'}));
    (void)first;
}

TEST(SimProcess, keepsRunningWhenStdinEndsAndRemovesItsLinkOnTerminate)
{
    const std::string link = uniquePath("term");
    {
        START_SIM(sim, "--link", link);
        Port port(sim.device());
        sim.closeStdin();
        ASSERT_TRUE(sim.waitLine("STDIN CLOSED"));
        port.write("K");
        EXPECT_EQ(port.read(4).size(), 4u);
        struct stat st {};
        EXPECT_EQ(::lstat(link.c_str(), &st), 0);
    } // the destructor sends SIGTERM and waits
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0);
}

TEST(SimProcess, exitsOnEndOfStdinOnlyWhenAsked)
{
    START_SIM(sim, "--exit-on-eof");
    ASSERT_FALSE(sim.device().empty());
    sim.closeStdin();
    ASSERT_TRUE(sim.waitLine("BYE"));
    ASSERT_TRUE(sim.waitExit(kWait));
    EXPECT_TRUE(WIFEXITED(sim.exitStatus()));
    EXPECT_EQ(WEXITSTATUS(sim.exitStatus()), 0);
}
