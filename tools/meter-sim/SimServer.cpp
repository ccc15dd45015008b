// SPDX-License-Identifier: GPL-3.0-or-later
// Event loop of the simulator: it sleeps in ppoll() until a byte, a command, a
// signal or a scheduled write is due, so an idle simulator costs no CPU.
#include "SimServer.h"

#include "FrameScript.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/time.h>
#include <unistd.h>

namespace vandrel::sim {

namespace {

// The signal handler can only reach a plain integer.
volatile std::sig_atomic_t g_signalFd = -1;

void onSignal(int signo)
{
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(signo);
    if (g_signalFd >= 0)
        [[maybe_unused]] auto n = ::write(g_signalFd, &b, 1);
    errno = saved;
}

std::string hexByte(unsigned v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFFu);
    return buf;
}

} // namespace

SimServer::SimServer(SimOptions options, MeterEngine engine)
    : options_(std::move(options)), engine_(std::move(engine)), out_(options_.seed + 2)
{
    out_.setSplit(options_.split);
    out_.setPace(options_.pace, Clock::now());
    memoryFromFile_ = !options_.memoryFile.empty();
}

SimServer::~SimServer()
{
    if (log_)
        std::fclose(log_);
    g_signalFd = -1;
    for (int fd : signalPipe_) {
        if (fd >= 0)
            ::close(fd);
    }
}

void SimServer::say(const std::string &line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool SimServer::openLine(std::string &error)
{
    pty_ = Pty::open(error);
    if (!pty_)
        return false;
    if (!options_.link.empty()) {
        if (!replaceSymlink(options_.link, pty_->slavePath(), error))
            return false;
        linkedTo_ = pty_->slavePath();
    }
    wantWrite_ = false;
    say("DEVICE " + pty_->slavePath());
    return true;
}

void SimServer::removeLink()
{
    if (linkedTo_.empty())
        return;
    // Only remove a link that is still ours; someone may have replaced it.
    char target[256] = {};
    const ssize_t n = ::readlink(options_.link.c_str(), target, sizeof target - 1);
    if (n > 0 && linkedTo_ == target)
        ::unlink(options_.link.c_str());
    linkedTo_.clear();
}

void SimServer::unplug(double seconds, Clock::time_point now)
{
    engine_.abandonDownload("unplugged");
    printEvents();
    out_.clear();
    // A pulled cable takes the device node with it: the link goes away too, so
    // a program that tries to reopen meanwhile fails as it would with a meter.
    removeLink();
    pty_.reset();
    say("UNPLUGGED");
    reopenAt_ = now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

void SimServer::logReceived(const std::uint8_t *data, std::size_t n)
{
    if (!log_)
        return;
    timeval tv{};
    ::gettimeofday(&tv, nullptr);
    tm local{};
    const time_t secs = tv.tv_sec;
    ::localtime_r(&secs, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char b = data[i];
        std::fprintf(log_, "%s.%03ld RX 0x%02X %c\n", stamp, static_cast<long>(tv.tv_usec / 1000), b,
                     b >= 0x20 && b < 0x7F ? b : '.');
    }
    std::fflush(log_);
}

void SimServer::readMaster(Clock::time_point now)
{
    std::uint8_t buf[4096];
    const ssize_t n = ::read(pty_->master(), buf, sizeof buf);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR)
            return;
        // Should not happen while we hold the slave ourselves; start afresh
        // rather than spin on a broken descriptor.
        say(std::string("ERROR line failed: ") + std::strerror(errno));
        unplug(0.0, now);
        return;
    }
    logReceived(buf, static_cast<std::size_t>(n));
    for (ssize_t i = 0; i < n; ++i) {
        ++counts_[buf[i]];
        ++total_;
        for (Bytes &answer : engine_.receive(buf[i], now)) {
            if (!out_.push(std::move(answer), now, engine_.answerDelay(buf[i])))
                std::fprintf(stderr, "vandrel-meter-sim: output queue full, answer dropped\n");
        }
    }
    printEvents();
}

void SimServer::flush(Clock::time_point now)
{
    if (!pty_ || wantWrite_)
        return;
    for (;;) {
        const auto bytes = out_.ready(now);
        if (bytes.empty())
            return;
        const ssize_t n = ::write(pty_->master(), bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EAGAIN)
                wantWrite_ = true; // the reader is behind: wait for room
            else if (errno != EINTR)
                out_.clear();
            return;
        }
        out_.consumed(static_cast<std::size_t>(n), now);
        if (static_cast<std::size_t>(n) < bytes.size()) {
            wantWrite_ = true;
            return;
        }
    }
}

std::optional<Clock::duration> SimServer::pollTimeout(Clock::time_point now) const
{
    std::optional<Clock::time_point> next = reopenAt_;
    auto consider = [&](std::optional<Clock::time_point> t) {
        if (t && (!next || *t < *next))
            next = t;
    };
    if (pty_ && !wantWrite_)
        consider(out_.nextDue(now));
    consider(engine_.nextDeadline());
    if (!next)
        return std::nullopt;
    // To the microsecond: a paced line is due every millisecond or so, and a
    // wake-up rounded to whole milliseconds would hold every block back.
    return std::clamp<Clock::duration>(*next - now, Clock::duration::zero(), std::chrono::seconds(60));
}

void SimServer::printEvents()
{
    for (const std::string &e : engine_.takeEvents())
        say(e);
}

void SimServer::readStdin(Clock::time_point now)
{
    char buf[1024];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        stdinOpen_ = false;
        say("STDIN CLOSED");
        if (options_.exitOnEof)
            quit_ = true;
        return;
    }
    stdinBuffer_.append(buf, static_cast<std::size_t>(n));
    for (std::size_t eol; !quit_ && (eol = stdinBuffer_.find('\n')) != std::string::npos;) {
        std::string line = stdinBuffer_.substr(0, eol);
        stdinBuffer_.erase(0, eol + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string error;
        const auto command = parseCommand(line, error);
        if (command)
            runCommand(*command, now, error);
        if (!error.empty())
            say("ERROR " + error);
        else if (command)
            say("OK " + line);
    }
    // A runaway writer without newlines must not grow the buffer forever.
    if (stdinBuffer_.size() > 4096)
        stdinBuffer_.clear();
}

void SimServer::regenerateMemory()
{
    const ModelInfo &m = engine_.meter().model();
    engine_.setMemory(buildMemory(plausibleSets(options_.sets, options_.seed), m.sampleSize));
}

std::string SimServer::statsLine() const
{
    std::string s = "STATS total=" + std::to_string(total_);
    for (unsigned b = 0; b < counts_.size(); ++b) {
        if (counts_[b] == 0)
            continue;
        // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict)
        // about " " + std::string.
        s += ' ';
        s += hexByte(b);
        s += '=';
        s += std::to_string(counts_[b]);
    }
    return s;
}

std::string SimServer::stateLine() const
{
    const SimMeter &m = engine_.meter();
    const MeterStatus &st = m.status();
    const Frame f = m.frame();
    const DownloadSession *d = engine_.download();
    return "STATE model=" + std::to_string(m.model().code) + " suffix=" + suffixName(m.suffix()) +
           " a=" + hexByte(f[1]) + " b=" + hexByte(f[2]) + " maxmin=" + std::to_string(st.maxMinMode) +
           " hold=" + std::to_string(st.hold) + " unit=" + (st.fahrenheit ? "F" : "C") +
           " rec=" + std::to_string(st.rec) + " bit5=" + std::to_string(st.bit5) +
           " download=" + (d ? (d->variant() == DownloadVariant::Stream ? "stream" : "blocks") : "idle");
}

void SimServer::runCommand(const SimCommand &c, Clock::time_point now, std::string &error)
{
    using K = SimCommand::Kind;
    switch (c.kind) {
    case K::Quit:
        quit_ = true;
        break;
    case K::Help: {
        const std::string text = helpText();
        for (std::size_t start = 0, eol; (eol = text.find('\n', start)) != std::string::npos; start = eol + 1)
            say(text.substr(start, eol - start));
        break;
    }
    case K::Stats:
        say(statsLine());
        break;
    case K::ClearStats:
        counts_.fill(0);
        total_ = 0;
        break;
    case K::State:
        say(stateLine());
        break;
    case K::Unplug:
        if (!pty_)
            error = "already unplugged";
        else
            unplug(c.seconds, now);
        break;
    default:
        if (!applyFault(c, now))
            applyMeterCommand(c, error);
        break;
    }
}

bool SimServer::applyFault(const SimCommand &c, Clock::time_point now)
{
    using K = SimCommand::Kind;
    EngineFaults &faults = engine_.faults();
    switch (c.kind) {
    case K::Silence:
        faults.silentUntil = now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(c.seconds));
        return true;
    case K::NoId:
        faults.noIdentification = c.on;
        return true;
    case K::Garbage:
        faults.garbage = c.on;
        return true;
    case K::Split:
        out_.setSplit(c.on);
        return true;
    case K::Pace:
        out_.setPace(c.on, now);
        return true;
    case K::CorruptBlock:
        faults.download.corruptBlock = static_cast<int>(c.number);
        faults.download.corruptTimes = static_cast<int>(c.count);
        return true;
    case K::StopAfter:
        faults.download.stopAfter = c.number;
        return true;
    default:
        return false;
    }
}

void SimServer::applyMeterCommand(const SimCommand &c, std::string &error)
{
    using K = SimCommand::Kind;
    switch (c.kind) {
    case K::Model:
        engine_.replaceMeter(SimMeter(*findModel(static_cast<int>(c.number)), c.suffix, options_.seed));
        if (!memoryFromFile_)
            regenerateMemory(); // the sample size follows the model
        break;
    case K::Frames:
        if (c.text == "off") {
            engine_.setScript({});
        } else if (std::vector<Bytes> frames; loadFrameScript(c.text, frames, error)) {
            engine_.setScript(std::move(frames));
        }
        break;
    case K::Memory:
        if (Bytes memory; loadMemoryFile(c.text, memory, error)) {
            engine_.setMemory(std::move(memory));
            memoryFromFile_ = true;
        }
        break;
    case K::Sets:
        options_.sets = static_cast<int>(c.number);
        memoryFromFile_ = false;
        regenerateMemory();
        break;
    case K::LowBattery:
        engine_.meter().status().lowBattery = c.on;
        break;
    case K::AutoPowerOff:
        engine_.meter().status().autoPowerOff = c.on;
        break;
    default:
        break;
    }
}

bool SimServer::setUp()
{
    if (!options_.logFile.empty()) {
        log_ = std::fopen(options_.logFile.c_str(), "a");
        if (!log_) {
            std::fprintf(stderr, "vandrel-meter-sim: cannot open log %s: %s\n", options_.logFile.c_str(),
                         std::strerror(errno));
            return false;
        }
    }
    if (::pipe2(signalPipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("vandrel-meter-sim: pipe");
        return false;
    }
    g_signalFd = signalPipe_[1];
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int s : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(s, &sa, nullptr);
    // A test that stops reading our stdout must not kill us with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);

    std::string error;
    if (!openLine(error)) {
        std::fprintf(stderr, "vandrel-meter-sim: %s\n", error.c_str());
        return false;
    }
    return true;
}

int SimServer::run()
{
    if (!setUp())
        return 1;
    std::string error;
    while (!quit_) {
        Clock::time_point now = Clock::now();
        if (reopenAt_ && now >= *reopenAt_) {
            reopenAt_.reset();
            if (!openLine(error)) {
                std::fprintf(stderr, "vandrel-meter-sim: %s\n", error.c_str());
                return 1;
            }
        }
        engine_.checkTimeouts(now);
        printEvents();
        flush(now);

        pollfd fds[3] = {};
        nfds_t count = 0;
        fds[count++] = {signalPipe_[0], POLLIN, 0};
        const nfds_t stdinIndex = stdinOpen_ ? count++ : 99;
        if (stdinOpen_)
            fds[stdinIndex] = {STDIN_FILENO, POLLIN, 0};
        const nfds_t masterIndex = pty_ ? count++ : 99;
        if (pty_)
            fds[masterIndex] = {pty_->master(), static_cast<short>(POLLIN | (wantWrite_ ? POLLOUT : 0)), 0};

        const std::optional<Clock::duration> wait = pollTimeout(now);
        timespec limit{};
        if (wait) {
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(*wait).count();
            limit.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            limit.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        }
        const int ready = ::ppoll(fds, count, wait ? &limit : nullptr, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::perror("vandrel-meter-sim: poll");
            break;
        }
        now = Clock::now();
        if (fds[0].revents & POLLIN)
            break; // SIGTERM, SIGINT or SIGHUP
        if (pty_ && fds[masterIndex].revents & POLLOUT)
            wantWrite_ = false;
        if (pty_ && fds[masterIndex].revents & (POLLIN | POLLERR | POLLHUP))
            readMaster(now);
        if (stdinOpen_ && fds[stdinIndex].revents & (POLLIN | POLLHUP | POLLERR))
            readStdin(now);
    }

    removeLink();
    pty_.reset();
    say("BYE");
    return 0;
}

} // namespace vandrel::sim
