// SPDX-License-Identifier: GPL-3.0-or-later
// Pseudo-terminal pair for tests.
#include "TestSupport.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace vandrel::test {

PtyPair::PtyPair()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        throw std::runtime_error("cannot create a pseudo-terminal");
    path_ = QString::fromLocal8Bit(::ptsname(master_));
    keepSlave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    ::tcgetattr(keepSlave_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(keepSlave_, TCSANOW, &tio);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (keepSlave_ >= 0)
        ::close(keepSlave_);
}

void PtyPair::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t r = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (r > 0)
            done += r;
        else if (errno != EAGAIN && errno != EINTR)
            throw std::runtime_error("write to pseudo-terminal failed");
    }
}

QByteArray PtyPair::readAvailable(int atLeast, int timeoutMs)
{
    QByteArray out;
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        char buf[256];
        const ssize_t r = ::read(master_, buf, sizeof buf);
        if (r > 0) {
            out.append(buf, r);
            continue;
        }
        if (out.size() >= atLeast || deadline.hasExpired())
            return out;
        pollfd p{master_, POLLIN, 0};
        ::poll(&p, 1, 20);
    }
}

void PtyPair::closeMaster()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

} // namespace vandrel::test
