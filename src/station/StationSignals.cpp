// SPDX-License-Identifier: GPL-3.0-or-later
// The station's signals through signalfd.
#include "station/StationSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace vandrel::station {

namespace {

sigset_t stationSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

StationSignals::StationSignals(QObject *parent) : QObject(parent)
{
    const sigset_t set = stationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    fd_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ < 0) {
        // Without the descriptor the signals act as they always do.
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &StationSignals::readSignal);
}

StationSignals::~StationSignals()
{
    notifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
}

void StationSignals::unblockInChild()
{
    const sigset_t set = stationSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void StationSignals::readSignal()
{
    signalfd_siginfo info{};
    while (fd_ >= 0 && ::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGHUP)
            emit reloadRequested();
        else
            emit stopRequested(static_cast<int>(info.ssi_signo));
    }
}

} // namespace vandrel::station
