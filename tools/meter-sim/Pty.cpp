// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a raw pseudo-terminal pair and keeping a symbolic link to its slave.
// Raw mode matters: any echo or newline translation would corrupt binary frames.
#include "Pty.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace vandrel::sim {

std::unique_ptr<Pty> Pty::open(std::string &error)
{
    std::unique_ptr<Pty> pty(new Pty);
    auto fail = [&](const char *what) {
        error = std::string(what) + ": " + std::strerror(errno);
        return nullptr;
    };
    pty->master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (pty->master_ < 0)
        return fail("posix_openpt");
    if (fcntl(pty->master_, F_SETFD, FD_CLOEXEC) != 0)
        return fail("fcntl");
    if (grantpt(pty->master_) != 0 || unlockpt(pty->master_) != 0)
        return fail("unlockpt");
    char name[128] = {};
    if (ptsname_r(pty->master_, name, sizeof name) != 0)
        return fail("ptsname");
    pty->slavePath_ = name;
    pty->slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (pty->slave_ < 0)
        return fail("open slave");

    termios tio{};
    if (tcgetattr(pty->slave_, &tio) != 0)
        return fail("tcgetattr");
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tio.c_cflag |= CLOCAL | CREAD;
    if (tcsetattr(pty->slave_, TCSANOW, &tio) != 0)
        return fail("tcsetattr");
    return pty;
}

Pty::~Pty()
{
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

bool replaceSymlink(const std::string &link, const std::string &target, std::string &error)
{
    const std::string temp = link + ".tmp" + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0) {
        error = "symlink " + temp + ": " + std::strerror(errno);
        return false;
    }
    if (::rename(temp.c_str(), link.c_str()) != 0) {
        error = "rename to " + link + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace vandrel::sim
