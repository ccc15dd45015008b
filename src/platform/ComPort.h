// SPDX-License-Identifier: GPL-3.0-or-later
// TComPort: one serial device over POSIX termios, with an event thread that
// reports received bytes on the user-interface thread and waits until handled.
#pragma once

#include <chrono>

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>

class QSocketNotifier;

namespace vandrel {

// A failure of the serial component: the message and the system error number
// (0 for the component's own messages).
class EComError : public std::runtime_error {
public:
    EComError(const QString &message, int errorCode)
        : std::runtime_error(message.toStdString()), ErrorCode(errorCode) {}
    int ErrorCode;
    QString message() const { return QString::fromStdString(what()); }
};

// The silent abort: a failure that the error hook chose to swallow. Callers
// catch it and carry on; it is never shown to the user.
class EAbort : public std::exception {
public:
    const char *what() const noexcept override { return "Operation aborted"; }
};

enum class TComAction { caFail, caAbort };
enum class TParity { paDefault, paNone, paOdd, paEven, paMark, paSpace };
enum class TStopBits { sbDefault, sb1, sb1_5, sb2 };

class TComPort : public QObject {
    Q_OBJECT
public:
    using NotifyEvent = std::function<void()>;
    using ErrorEvent = std::function<void(TComPort &, const EComError &, TComAction &)>;
    using ExceptionSink = std::function<void(const std::exception &)>;

    explicit TComPort(QObject *parent = nullptr);
    ~TComPort() override;

    // Open state. Setting Active to its current value does nothing; a failed
    // open leaves the port closed with nothing held.
    bool Active() const { return fd_ >= 0; }
    void setActive(bool active);
    void Open();
    void Close();

    // The device path. Changing it while open fails; the same value is fine.
    QString DeviceName() const { return deviceName_; }
    void setDeviceName(const QString &name);

    // Line settings, applied at once when open. 0 / Default leaves the
    // driver's value.
    int BaudRate() const { return baudRate_; }
    void setBaudRate(int baud);
    int DataBits() const { return dataBits_; }
    void setDataBits(int bits);
    TParity Parity() const { return parity_; }
    void setParity(TParity parity);
    TStopBits StopBits() const { return stopBits_; }
    void setStopBits(TStopBits stopBits);

    // Total timeout in ms for a Read or Write that waits for completion;
    // 0 waits until every byte has moved.
    // A Write that does not wait holds its caller (the user-interface thread)
    // at most this long, and no longer than the total timeout when one is set,
    // while the driver has no room for its bytes.
    int ReadTotalTimeout() const { return readTimeoutMs_; }
    void setReadTotalTimeout(int ms) { readTimeoutMs_ = ms; }
    static constexpr int kNoWaitWriteMs = 50;
    int WriteTotalTimeout() const { return writeTimeoutMs_; }
    void setWriteTotalTimeout(int ms) { writeTimeoutMs_ = ms; }

    // Read without waiting takes what is queued (up to length) and returns
    // the count; the caller's buffer is never written after the call returns.
    // Read with waiting returns only when length bytes have arrived.
    int Read(void *buffer, int length, bool waitOnCompletion);
    // Writes every byte; returns length. When the time allowed runs out first
    // (a stalled device), the bytes the driver has not taken are dropped and
    // the write fails with the "Timeout" error.
    int Write(const void *buffer, int length, bool waitOnCompletion);
    // Bytes waiting in the receive queue. On a closed port the system call
    // fails and its error is raised.
    int InputCount();
    void PurgeInput();
    void PurgeOutput();

    // Appends the names of the system's serial devices (without "/dev/").
    static void EnumComDevices(QStringList &list);

    // Handler of "bytes arrived". Assigning one while open starts the event
    // thread; clearing it stops the thread.
    void setOnRxChar(NotifyEvent handler);
    bool hasOnRxChar() const { return static_cast<bool>(onRxChar_); }
    void setOnError(ErrorEvent handler) { onError_ = std::move(handler); }
    // Where an exception escaping an event handler goes (other than the
    // silent abort). The event thread carries on either way.
    void setOnHandlerException(ExceptionSink sink) { onHandlerException_ = std::move(sink); }

    // Whether an event thread is running for this port (for tests and state checks).
    bool eventThreadRunning() const;

signals:
    // The device went away underneath an open port (adapter pulled): the
    // port has been closed.
    void deviceVanished();

private:
    struct EventThread;

    void createHandle();
    void destroyHandle() noexcept;
    void applyLineSettings();
    void updateEventMask();
    void startEventThread();
    void stopEventThread() noexcept;
    void onNotify();
    void dispatchEvents();
    void handleThreadFailure(int error);
    void waitFd(short events, int timeoutMs, bool forRead);
    // The milliseconds left until `deadline` of a call allowed `allowedMs`
    // (0 means no limit, so no deadline); raises "Timeout" when none are left.
    int timeLeft(std::chrono::steady_clock::time_point deadline, int allowedMs);
    [[noreturn]] void raiseComError(int errorCode, const QString &message);
    [[noreturn]] void raiseErrno(int error);
    void requireOpen();

    int fd_ = -1;
    QString deviceName_ = QStringLiteral("/dev/ttyS0");
    int baudRate_ = 0;
    int dataBits_ = 0;
    TParity parity_ = TParity::paDefault;
    TStopBits stopBits_ = TStopBits::sbDefault;
    int readTimeoutMs_ = 0;
    int writeTimeoutMs_ = 0;
    NotifyEvent onRxChar_;
    ErrorEvent onError_;
    ExceptionSink onHandlerException_;
    std::unique_ptr<EventThread> thread_;
    quint64 threadGeneration_ = 0;
    int notifyDepth_ = 0; // > 0 while onNotify runs
};

} // namespace vandrel
