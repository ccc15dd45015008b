// SPDX-License-Identifier: GPL-3.0-or-later
// The stop signals read through signalfd: no handler runs in the middle of a
// tick or a write, and no global state is needed to reach the event loop.
#include "cli/StopSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace vandrel::cli {

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    fd_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ < 0) {
        // Without the descriptor the signals end the process as they always do.
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &StopSignals::readSignal);
}

StopSignals::~StopSignals()
{
    notifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
}

void StopSignals::readSignal()
{
    signalfd_siginfo info{};
    while (fd_ >= 0 && ::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (received_ == 0)
            received_ = static_cast<int>(info.ssi_signo);
        emit stopRequested(static_cast<int>(info.ssi_signo));
    }
}

int StopSignals::poll()
{
    signalfd_siginfo info{};
    while (received_ == 0 && fd_ >= 0 && ::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        received_ = static_cast<int>(info.ssi_signo);
    return received_;
}

const char *StopSignals::name(int signalNumber)
{
    switch (signalNumber) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    default:
        return "a signal";
    }
}

} // namespace vandrel::cli
