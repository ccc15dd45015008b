// SPDX-License-Identifier: GPL-3.0-or-later
// SignalReader over signalfd.
#include "platform/SignalReader.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace vandrel {

SignalReader::SignalReader(const QList<int> &signalNumbers, QObject *parent) : QObject(parent)
{
    sigset_t set;
    sigemptyset(&set);
    for (const int s : signalNumbers)
        sigaddset(&set, s);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    fd_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ < 0) {
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SignalReader::readPending);
}

SignalReader::~SignalReader()
{
    notifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
}

void SignalReader::readPending()
{
    signalfd_siginfo info{};
    while (fd_ >= 0 && ::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        emit signalReceived(static_cast<int>(info.ssi_signo));
}

void SignalReader::unblockInChild()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

} // namespace vandrel
