// SPDX-License-Identifier: GPL-3.0-or-later
// TComPort over termios. The event thread only polls and signals; every handler
// runs on the user-interface thread, so program state is never touched from two threads.
#include "platform/ComPort.h"

#include "platform/PortLockFile.h"

#include <QSerialPortInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace vandrel {

namespace {

const char *const kClosedPort = "Can't perform this operation on a closed port";
const char *const kOpenPort = "Can't perform this operation on an open port";

// A device that went away (USB adapter pulled, pseudo-terminal closed) shows
// up as one of these; it plays the role of "access denied" on the original
// platform, which closes the port.
bool isVanishedError(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

speed_t speedFor(int baud)
{
    switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 150: return B150;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return 0;
    }
}

struct Pipe {
    int rd = -1, wr = -1;
    bool open()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
            return false;
        rd = fds[0];
        wr = fds[1];
        return true;
    }
    void close() noexcept
    {
        if (rd >= 0) ::close(rd);
        if (wr >= 0) ::close(wr);
        rd = wr = -1;
    }
};

void poke(int fd)
{
    const char b = 1;
    // A full pipe already carries a wake-up; nothing is lost by dropping this one.
    [[maybe_unused]] ssize_t r = ::write(fd, &b, 1);
}

void drain(int fd)
{
    char buf[64];
    while (::read(fd, buf, sizeof buf) > 0) {
    }
}

} // namespace

// What the event thread and the user-interface thread share. The thread asks
// for a dispatch through the notify pipe and then waits on the condition until
// the dispatch has run or it is told to stop, so it never blocks a close.
struct TComPort::EventThread {
    std::mutex mutex;
    std::condition_variable cv;
    bool stop = false;
    bool dispatchPending = false;
    int failure = 0; // errno that ended the thread, 0 while none
    int leftAfterDispatch = 0; // queued bytes the handler left behind
    bool ended = false;
    Pipe wake;   // user-interface thread -> event thread: stop
    Pipe notify; // event thread -> user-interface thread: dispatch / failure
    std::unique_ptr<QSocketNotifier> notifier;
    std::thread thread;

    // Returns false when told to stop while waiting.
    bool requestDispatch()
    {
        std::unique_lock lock(mutex);
        if (stop)
            return false;
        dispatchPending = true;
        poke(notify.wr);
        cv.wait(lock, [this] { return !dispatchPending || stop; });
        return !stop;
    }

    void fail(int error)
    {
        std::lock_guard lock(mutex);
        failure = error;
        ended = true;
        poke(notify.wr);
    }

    bool stopping()
    {
        std::lock_guard lock(mutex);
        return stop;
    }

    // The wait for received bytes. It behaves like an "a byte has arrived"
    // event: bytes that a handler left in the queue do not cause another
    // dispatch until more arrive.
    void run(int fd)
    {
        for (;;) {
            pollfd p[2] = {{fd, POLLIN, 0}, {wake.rd, POLLIN, 0}};
            if (::poll(p, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                fail(errno);
                return;
            }
            if (stopping())
                return;
            if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                fail(p[0].revents & POLLNVAL ? EBADF : EIO);
                return;
            }
            if (!(p[0].revents & POLLIN))
                continue;
            int n = 0;
            if (::ioctl(fd, FIONREAD, &n) < 0) {
                fail(errno);
                return;
            }
            int left;
            {
                std::lock_guard lock(mutex);
                left = leftAfterDispatch;
            }
            if (n == 0 || n == left) {
                // Nothing new: sleep a little on the wake pipe rather than spin
                // on a level-triggered poll.
                pollfd w = {wake.rd, POLLIN, 0};
                ::poll(&w, 1, 20);
                continue;
            }
            if (!requestDispatch())
                return;
        }
    }
};

TComPort::TComPort(QObject *parent) : QObject(parent) {}

TComPort::~TComPort()
{
    destroyHandle();
}

void TComPort::setActive(bool active)
{
    if (active)
        Open();
    else
        Close();
}

void TComPort::Open()
{
    if (Active())
        return;
    createHandle();
}

void TComPort::Close()
{
    if (!Active())
        return;
    destroyHandle();
}

void TComPort::setDeviceName(const QString &name)
{
    if (name == deviceName_)
        return;
    if (Active())
        raiseComError(0, QString::fromLatin1(kOpenPort));
    deviceName_ = name;
}

void TComPort::setBaudRate(int baud)
{
    if (baud == baudRate_)
        return;
    baudRate_ = baud;
    if (Active())
        applyLineSettings();
}

void TComPort::setDataBits(int bits)
{
    if (bits == dataBits_)
        return;
    dataBits_ = bits;
    if (Active())
        applyLineSettings();
}

void TComPort::setParity(TParity parity)
{
    if (parity == parity_)
        return;
    parity_ = parity;
    if (Active())
        applyLineSettings();
}

void TComPort::setStopBits(TStopBits stopBits)
{
    if (stopBits == stopBits_)
        return;
    stopBits_ = stopBits;
    if (Active())
        applyLineSettings();
}

void TComPort::createHandle()
{
    destroyHandle();
    // A program that announces its use of the device with a lock file holds
    // it as surely as one that has the exclusive lock.
    if (portLockedElsewhere(deviceName_, standardPortLockFolders()))
        raiseErrno(EBUSY);
    const QByteArray path = deviceName_.toLocal8Bit();
    int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        raiseErrno(errno);
    // Exclusive use: TIOCEXCL keeps other openers out of a tty (not root), the
    // advisory lock also keeps out programs that honour locks.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        raiseErrno(err);
    }
    ::ioctl(fd, TIOCEXCL);
    fd_ = fd;
    try {
        PurgeInput();
        PurgeOutput();
        applyLineSettings();
        updateEventMask();
    } catch (...) {
        destroyHandle();
        throw;
    }
}

void TComPort::destroyHandle() noexcept
{
    stopEventThread();
    if (fd_ >= 0) {
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
    }
}

void TComPort::applyLineSettings()
{
    if (!Active())
        return;
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0)
        raiseErrno(errno);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (baudRate_ != 0) {
        const speed_t s = speedFor(baudRate_);
        if (s == 0)
            raiseErrno(EINVAL);
        ::cfsetispeed(&tio, s);
        ::cfsetospeed(&tio, s);
    }
    if (dataBits_ != 0) {
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
        switch (dataBits_) {
        case 5: tio.c_cflag |= CS5; break;
        case 6: tio.c_cflag |= CS6; break;
        case 7: tio.c_cflag |= CS7; break;
        default: tio.c_cflag |= CS8; break;
        }
    }
    switch (parity_) {
    case TParity::paDefault: break;
    case TParity::paNone: tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR); break;
    case TParity::paOdd: tio.c_cflag = (tio.c_cflag & ~static_cast<tcflag_t>(CMSPAR)) | PARENB | PARODD; break;
    case TParity::paEven: tio.c_cflag = (tio.c_cflag & ~static_cast<tcflag_t>(PARODD | CMSPAR)) | PARENB; break;
    case TParity::paMark: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case TParity::paSpace: tio.c_cflag = (tio.c_cflag & ~static_cast<tcflag_t>(PARODD)) | PARENB | CMSPAR; break;
    }
    switch (stopBits_) {
    case TStopBits::sbDefault: break;
    case TStopBits::sb1: tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB); break;
    case TStopBits::sb1_5: // termios has no 1.5; two is the nearest the driver offers
    case TStopBits::sb2: tio.c_cflag |= CSTOPB; break;
    }
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
        raiseErrno(errno);
}

void TComPort::setOnRxChar(NotifyEvent handler)
{
    onRxChar_ = std::move(handler);
    if (Active())
        updateEventMask();
}

void TComPort::updateEventMask()
{
    if (onRxChar_)
        startEventThread();
    else
        stopEventThread();
}

bool TComPort::eventThreadRunning() const
{
    if (!thread_)
        return false;
    std::lock_guard lock(thread_->mutex);
    return !thread_->ended;
}

void TComPort::startEventThread()
{
    if (thread_) {
        bool ended;
        {
            std::lock_guard lock(thread_->mutex);
            ended = thread_->ended;
        }
        if (!ended)
            return;
        // A thread that ended on a failed wait is gone; clean it up and start afresh.
        stopEventThread();
    }
    auto t = std::make_unique<EventThread>();
    if (!t->wake.open() || !t->notify.open()) {
        const int err = errno;
        t->wake.close();
        t->notify.close();
        raiseComError(err, QStringLiteral("Can't create thread"));
    }
    t->notifier = std::make_unique<QSocketNotifier>(t->notify.rd, QSocketNotifier::Read);
    connect(t->notifier.get(), &QSocketNotifier::activated, this, &TComPort::onNotify);
    EventThread *raw = t.get();
    const int fd = fd_;
    try {
        t->thread = std::thread([raw, fd] { raw->run(fd); });
    } catch (const std::system_error &e) {
        t->wake.close();
        t->notify.close();
        raiseComError(e.code().value(), QStringLiteral("Can't create thread"));
    }
    thread_ = std::move(t);
    ++threadGeneration_;
}

void TComPort::stopEventThread() noexcept
{
    if (!thread_)
        return;
    std::unique_ptr<EventThread> t = std::move(thread_);
    {
        std::lock_guard lock(t->mutex);
        t->stop = true;
    }
    t->cv.notify_all();
    poke(t->wake.wr);
    if (t->thread.joinable())
        t->thread.join();
    // Inside the notifier's own signal (a handler that closes the port) the
    // notifier is switched off now and deleted later.
    t->notifier->setEnabled(false);
    if (notifyDepth_ > 0)
        t->notifier.release()->deleteLater();
    t->notifier.reset();
    t->wake.close();
    t->notify.close();
}

void TComPort::onNotify()
{
    EventThread *t = thread_.get();
    if (!t)
        return;
    drain(t->notify.rd);
    bool dispatch;
    int failure;
    {
        std::lock_guard lock(t->mutex);
        dispatch = t->dispatchPending;
        failure = t->failure;
        t->failure = 0;
    }
    if (dispatch) {
        const quint64 generation = threadGeneration_;
        ++notifyDepth_;
        dispatchEvents();
        --notifyDepth_;
        // The handler may have closed the port, which stops and frees the thread.
        if (thread_ && threadGeneration_ == generation) {
            // Counted here, before the thread wakes, so bytes that arrive
            // from now on are seen as new.
            int left = 0;
            if (::ioctl(fd_, FIONREAD, &left) != 0)
                left = 0;
            {
                std::lock_guard lock(t->mutex);
                t->dispatchPending = false;
                t->leftAfterDispatch = left;
            }
            t->cv.notify_all();
        }
    }
    if (failure != 0) {
        ++notifyDepth_;
        handleThreadFailure(failure);
        --notifyDepth_;
    }
}

void TComPort::dispatchEvents()
{
    if (!onRxChar_)
        return;
    // Copy: the handler may replace itself.
    NotifyEvent handler = onRxChar_;
    try {
        handler();
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        if (onHandlerException_)
            onHandlerException_(e);
        else
            qWarning("Unhandled exception in a serial event handler: %s", e.what());
    } catch (...) {
        qWarning("Unhandled exception in a serial event handler");
    }
}

void TComPort::handleThreadFailure(int error)
{
    // The failed wait is reported through the error hook like every other
    // failure; nobody is there to catch it, and it is never shown.
    try {
        raiseErrno(error);
    } catch (const EAbort &) {
    } catch (const EComError &) {
    }
    if (isVanishedError(error) && Active()) {
        Close();
        emit deviceVanished();
    }
}

void TComPort::requireOpen()
{
    if (!Active())
        raiseComError(0, QString::fromLatin1(kClosedPort));
}

void TComPort::waitFd(short events, int timeoutMs, bool forRead)
{
    pollfd p = {fd_, events, 0};
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs <= 0 ? -1 : timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r < 0)
        raiseErrno(errno);
    if (r == 0)
        raiseComError(0, QStringLiteral("Timeout"));
    if (p.revents & POLLNVAL)
        raiseErrno(EBADF);
    // A hang-up with bytes still queued lets the reader take them first.
    if ((p.revents & (POLLHUP | POLLERR)) && !(forRead && (p.revents & POLLIN)))
        raiseErrno(EIO);
}

int TComPort::timeLeft(std::chrono::steady_clock::time_point deadline, int allowedMs)
{
    if (allowedMs <= 0)
        return 0;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        raiseComError(0, QStringLiteral("Timeout"));
    return static_cast<int>(left.count());
}

int TComPort::Read(void *buffer, int length, bool waitOnCompletion)
{
    requireOpen();
    if (length <= 0)
        return 0;
    auto *out = static_cast<char *>(buffer);
    int got = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(readTimeoutMs_);
    while (got < length) {
        const ssize_t r = ::read(fd_, out + got, static_cast<size_t>(length - got));
        if (r > 0) {
            got += static_cast<int>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno != EAGAIN)
            raiseErrno(errno);
        if (!waitOnCompletion)
            break;
        waitFd(POLLIN, timeLeft(deadline, readTimeoutMs_), true);
    }
    return got;
}

int TComPort::Write(const void *buffer, int length, bool waitOnCompletion)
{
    requireOpen();
    const auto *in = static_cast<const char *>(buffer);
    int sent = 0;
    // A write that does not wait still has to hand its bytes to the driver,
    // but it runs on the user-interface thread: a stalled device gets a short
    // grace, never long enough to freeze the window.
    int allowedMs = writeTimeoutMs_;
    if (!waitOnCompletion)
        allowedMs = writeTimeoutMs_ > 0 ? std::min(writeTimeoutMs_, kNoWaitWriteMs) : kNoWaitWriteMs;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(allowedMs);
    while (sent < length) {
        const ssize_t r = ::write(fd_, in + sent, static_cast<size_t>(length - sent));
        if (r > 0) {
            sent += static_cast<int>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno != EAGAIN)
            raiseErrno(errno);
        waitFd(POLLOUT, timeLeft(deadline, allowedMs), false);
    }
    return sent;
}

int TComPort::InputCount()
{
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) != 0)
        raiseErrno(errno);
    return n;
}

void TComPort::PurgeInput()
{
    if (Active() && ::tcflush(fd_, TCIFLUSH) != 0)
        raiseErrno(errno);
}

void TComPort::PurgeOutput()
{
    if (Active() && ::tcflush(fd_, TCOFLUSH) != 0)
        raiseErrno(errno);
}

void TComPort::EnumComDevices(QStringList &list)
{
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        list.append(info.portName());
}

void TComPort::raiseErrno(int error)
{
    raiseComError(error, QString::fromLocal8Bit(std::strerror(error)));
}

void TComPort::raiseComError(int errorCode, const QString &message)
{
    EComError e(message, errorCode);
    TComAction action = TComAction::caFail;
    if (onError_)
        onError_(*this, e, action);
    if (action == TComAction::caAbort)
        throw EAbort();
    throw e;
}

} // namespace vandrel
