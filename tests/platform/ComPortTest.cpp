// SPDX-License-Identifier: GPL-3.0-or-later
// TComPort against a real pseudo-terminal: open/close rules, reads and writes,
// purge, line settings, event delivery on the user-interface thread, handlers
// that throw or close the port, a device that vanishes and returns, a stalled
// device and other programs' lock files.
#include "platform/ComPort.h"
#include "platform/PortLockFile.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <vector>
#include <unistd.h>

using namespace vandrel;
using vandrel::test::PtyPair;
using vandrel::test::waitUntil;

namespace {

struct ErrorLog {
    std::vector<int> codes;
    TComAction action = TComAction::caFail;
    void attach(TComPort &port)
    {
        port.setOnError([this](TComPort &, const EComError &e, TComAction &a) {
            codes.push_back(e.ErrorCode);
            a = action;
        });
    }
};

void openOn(TComPort &port, const PtyPair &pty)
{
    port.setDeviceName(pty.path());
    port.setBaudRate(9600);
    port.setDataBits(8);
    port.setParity(TParity::paNone);
    port.setStopBits(TStopBits::sb1);
    port.Open();
}

} // namespace

TEST(ComPortOpenClose, MissingDeviceFailsThroughHookAndLeavesNothingOpen)
{
    TComPort port;
    ErrorLog log;
    log.attach(port);
    port.setDeviceName("/dev/does-not-exist-vandrel");
    try {
        port.Open();
        FAIL() << "open succeeded";
    } catch (const EComError &e) {
        EXPECT_EQ(e.ErrorCode, ENOENT);
        EXPECT_FALSE(e.message().isEmpty());
    }
    EXPECT_EQ(log.codes, std::vector<int>{ENOENT});
    EXPECT_FALSE(port.Active());

    log.action = TComAction::caAbort; // the program's choice: the silent abort
    EXPECT_THROW(port.setActive(true), EAbort);
    EXPECT_FALSE(port.Active());
    EXPECT_NO_THROW(port.Close());
}

TEST(ComPortOpenClose, OpenTwiceAndDeviceNameRules)
{
    PtyPair pty;
    TComPort port;
    openOn(port, pty);
    ASSERT_TRUE(port.Active());
    EXPECT_NO_THROW(port.Open());
    EXPECT_NO_THROW(port.setDeviceName(pty.path()));
    try {
        port.setDeviceName("/dev/null");
        FAIL();
    } catch (const EComError &e) {
        EXPECT_EQ(e.message(), "Can't perform this operation on an open port");
        EXPECT_EQ(e.ErrorCode, 0);
    }
    EXPECT_EQ(port.DeviceName(), pty.path());
    port.Close();
    EXPECT_FALSE(port.Active());
    port.setDeviceName("/dev/null");
    EXPECT_EQ(port.DeviceName(), "/dev/null");
}

TEST(ComPortOpenClose, SecondOpenerIsRefused)
{
    PtyPair pty;
    TComPort first, second;
    openOn(first, pty);
    second.setDeviceName(pty.path());
    try {
        second.Open();
        FAIL();
    } catch (const EComError &e) {
        EXPECT_EQ(e.ErrorCode, EBUSY);
    }
    EXPECT_FALSE(second.Active());
    first.Close();
    EXPECT_NO_THROW(second.Open());
}

TEST(ComPortOpenClose, NotATerminalFailsAndCloses)
{
    TComPort port;
    port.setDeviceName("/dev/null");
    port.setBaudRate(9600);
    try {
        port.Open();
        FAIL();
    } catch (const EComError &e) {
        EXPECT_EQ(e.ErrorCode, ENOTTY);
    }
    EXPECT_FALSE(port.Active());
}

TEST(ComPortOpenClose, LineSettingsAre9600RawEightNone)
{
    PtyPair pty;
    TComPort port;
    openOn(port, pty);
    int fd = ::open(pty.path().toLocal8Bit().constData(), O_RDONLY | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::close(fd);
    EXPECT_EQ(::cfgetospeed(&tio), speed_t(B9600));
    EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), tcflag_t(0));
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), tcflag_t(0));
}

TEST(ComPortIo, ClosedPortMessages)
{
    TComPort port;
    char b = 0;
    for (auto op : {std::function<void()>([&] { port.Read(&b, 1, false); }),
                    std::function<void()>([&] { port.Write(&b, 1, false); })}) {
        try {
            op();
            FAIL();
        } catch (const EComError &e) {
            EXPECT_EQ(e.message(), "Can't perform this operation on a closed port");
        }
    }
    // InputCount asks the system straight away: its own error comes back.
    try {
        port.InputCount();
        FAIL();
    } catch (const EComError &e) {
        EXPECT_EQ(e.ErrorCode, EBADF);
    }
}

TEST(ComPortIo, ReadWriteInputCountAndPurge)
{
    PtyPair pty;
    TComPort port;
    openOn(port, pty);
    EXPECT_EQ(port.Write("K", 1, false), 1);
    EXPECT_EQ(pty.readAvailable(1), QByteArray("K"));

    pty.write(QByteArray("\x02\x00\x01", 3));
    ASSERT_TRUE(waitUntil([&] { return port.InputCount() == 3; }));
    char buf[8] = {};
    EXPECT_EQ(port.Read(buf, 0, false), 0); // nothing moves
    EXPECT_EQ(port.InputCount(), 3);
    EXPECT_EQ(port.Read(buf, 8, false), 3); // takes what is there, no more
    EXPECT_EQ(QByteArray(buf, 3), QByteArray("\x02\x00\x01", 3));
    EXPECT_EQ(port.InputCount(), 0);

    pty.write("garbage");
    ASSERT_TRUE(waitUntil([&] { return port.InputCount() == 7; }));
    port.PurgeInput();
    EXPECT_EQ(port.InputCount(), 0);
}

TEST(ComPortIo, WaitingReadWaitsForTheLastByte)
{
    PtyPair pty;
    TComPort port;
    openOn(port, pty);
    pty.write("580");
    ASSERT_TRUE(waitUntil([&] { return port.InputCount() == 3; }));
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        pty.write("D");
    });
    char reply[4] = {};
    EXPECT_EQ(port.Read(reply, 4, true), 4);
    late.join();
    EXPECT_EQ(QByteArray(reply, 4), QByteArray("580D"));
}

TEST(ComPortIo, WaitingReadWithTimeoutGivesUp)
{
    PtyPair pty;
    TComPort port;
    openOn(port, pty);
    port.setReadTotalTimeout(100);
    pty.write("58");
    ASSERT_TRUE(waitUntil([&] { return port.InputCount() == 2; }));
    char reply[4];
    try {
        port.Read(reply, 4, true);
        FAIL();
    } catch (const EComError &e) {
        EXPECT_EQ(e.message(), "Timeout");
    }
    EXPECT_TRUE(port.Active());
}

// A device that takes no more bytes (the far end never reads): a write that
// does not wait gives up after its short grace instead of holding the caller,
// and the port stays usable once the device takes bytes again.
TEST(ComPortIo, StalledDeviceDoesNotHoldANonWaitingWrite)
{
    ASSERT_LE(TComPort::kNoWaitWriteMs, 50);
    PtyPair pty;
    TComPort port;
    openOn(port, pty);
    const std::vector<char> lots(1 << 20, 'x'); // far more than any pty buffer holds
    const char key = 'A';
    for (int length : {static_cast<int>(lots.size()), 1, 1}) {
        try {
            port.Write(length == 1 ? &key : lots.data(), length, false);
            FAIL() << "a write of " << length << " byte(s) into a full buffer succeeded";
        } catch (const EComError &e) {
            EXPECT_EQ(e.message(), "Timeout");
            EXPECT_EQ(e.ErrorCode, 0);
        }
    }
    // A stalled device costs a command, not the port: the link's watchdog,
    // not the write, decides whether the meter is gone.
    EXPECT_TRUE(port.Active());

    // Once the far end reads again, a one-byte command goes through.
    ASSERT_TRUE(waitUntil([&] {
        pty.readAvailable(0, 0);
        try {
            return port.Write(&key, 1, false) == 1;
        } catch (const EComError &) {
            return false;
        }
    }));
}

TEST(ComPortEvents, DeliveredOnUserInterfaceThread)
{
    PtyPair pty;
    TComPort port;
    openOn(port, pty);
    EXPECT_FALSE(port.eventThreadRunning());
    QByteArray got;
    bool onGuiThread = true;
    port.setOnRxChar([&] {
        onGuiThread = onGuiThread && QThread::currentThread() == QCoreApplication::instance()->thread();
        char buf[64];
        const int n = port.Read(buf, qMin(port.InputCount(), 64), false);
        got.append(buf, n);
    });
    EXPECT_TRUE(port.eventThreadRunning());
    pty.write("hello");
    ASSERT_TRUE(waitUntil([&] { return got.size() == 5; }));
    pty.write(" again");
    ASSERT_TRUE(waitUntil([&] { return got == "hello again"; }));
    EXPECT_TRUE(onGuiThread);

    port.setOnRxChar(nullptr);
    EXPECT_FALSE(port.eventThreadRunning());
    pty.write("x");
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    EXPECT_EQ(got, "hello again");
}

TEST(ComPortEvents, LeftoverBytesDoNotRedispatchUntilMoreArrive)
{
    PtyPair pty;
    TComPort port;
    openOn(port, pty);
    int calls = 0;
    port.setOnRxChar([&] { ++calls; }); // reads nothing
    pty.write("ab");
    ASSERT_TRUE(waitUntil([&] { return calls == 1; }));
    waitUntil([] { return false; }, 200);
    EXPECT_EQ(calls, 1);
    pty.write("c");
    EXPECT_TRUE(waitUntil([&] { return calls == 2; }));
}

TEST(ComPortEvents, ThrowingHandlerKeepsTheThreadGoing)
{
    PtyPair pty;
    TComPort port;
    openOn(port, pty);
    std::vector<std::string> reported;
    port.setOnHandlerException([&](const std::exception &e) { reported.push_back(e.what()); });
    int calls = 0;
    port.setOnRxChar([&] {
        ++calls;
        port.PurgeInput();
        if (calls == 1)
            throw std::runtime_error("boom");
        if (calls == 2)
            throw EAbort(); // silent: not reported
    });
    for (int i = 1; i <= 3; ++i) {
        pty.write("x");
        ASSERT_TRUE(waitUntil([&] { return calls == i; })) << i;
    }
    EXPECT_EQ(reported, std::vector<std::string>{"boom"});
    EXPECT_TRUE(port.eventThreadRunning());
}

TEST(ComPortEvents, HandlerThatClosesThePort)
{
    PtyPair pty;
    TComPort port;
    openOn(port, pty);
    int calls = 0;
    port.setOnRxChar([&] {
        ++calls;
        port.Close();
    });
    pty.write("x");
    ASSERT_TRUE(waitUntil([&] { return !port.Active(); }));
    EXPECT_EQ(calls, 1);
    // Reopening starts a fresh thread that delivers again.
    port.Open();
    pty.write("y");
    EXPECT_TRUE(waitUntil([&] { return calls == 2; }));
}

TEST(ComPortEvents, CloseOrDestroyWhileDeliveryIsQueued)
{
    PtyPair pty;
    int calls = 0;
    {
        auto port = std::make_unique<TComPort>();
        openOn(*port, pty);
        port->setOnRxChar([&] { ++calls; });
        pty.write("x");
        // Let the event thread ask for the dispatch, but do not run it.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        port->Close();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        EXPECT_FALSE(port->Active());

        port->Open();
        pty.write("y");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        port.reset(); // destroyed with a dispatch pending
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(calls, 0);
}

TEST(ComPortEvents, VanishedDeviceClosesThePortSilently)
{
    auto pty = std::make_unique<PtyPair>();
    TComPort port;
    ErrorLog log;
    log.action = TComAction::caAbort;
    log.attach(port);
    openOn(port, *pty);
    const QString path = pty->path();
    port.setOnRxChar([&] { port.PurgeInput(); });
    QSignalSpy vanished(&port, &TComPort::deviceVanished);
    pty.reset(); // the adapter is pulled
    ASSERT_TRUE(waitUntil([&] { return vanished.count() == 1; }));
    EXPECT_FALSE(port.Active());
    EXPECT_FALSE(port.eventThreadRunning());
    ASSERT_EQ(log.codes.size(), 1u);
    EXPECT_EQ(log.codes[0], EIO);
    EXPECT_EQ(port.DeviceName(), path);

    // A device at a new path: the port opens and delivers again.
    PtyPair again;
    int calls = 0;
    port.setOnRxChar([&] {
        ++calls;
        port.PurgeInput();
    });
    port.setDeviceName(again.path());
    port.Open();
    again.write("z");
    EXPECT_TRUE(waitUntil([&] { return calls == 1; }));
}

// Lock files other programs leave for a device: only a running process other
// than this one holds it; an ended one's lock or an unreadable one holds nothing.
TEST(PortLockFile, OnlyALiveOtherProcessHoldsTheDevice)
{
    QTemporaryDir run, var;
    ASSERT_TRUE(run.isValid() && var.isValid());
    const QStringList folders{run.path(), var.path()};
    pid_t ended = ::fork();
    ASSERT_GE(ended, 0);
    if (ended == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const int parent = static_cast<int>(::getppid());
    struct Case {
        const char *what;
        QByteArray content; // empty: no lock file
        bool inVar;
        bool locked;
    };
    const Case cases[] = {
        {"no lock file", {}, false, false},
        {"ascii pid of a running process", QByteArray::number(parent).rightJustified(10) + '\n', false, true},
        {"the same in the second folder", QByteArray::number(parent).rightJustified(10) + '\n', true, true},
        {"binary pid", QByteArray(reinterpret_cast<const char *>(&parent), sizeof parent), false, true},
        {"this process", QByteArray::number(static_cast<int>(::getpid())) + '\n', false, false},
        {"a process that has ended", QByteArray::number(static_cast<int>(ended)) + '\n', false, false},
        {"garbage", QByteArray("not a pid\n"), false, false},
    };
    for (const Case &c : cases) {
        const QString file = (c.inVar ? var.path() : run.path()) + QStringLiteral("/LCK..ttyUSB7");
        QFile::remove(run.path() + QStringLiteral("/LCK..ttyUSB7"));
        QFile::remove(var.path() + QStringLiteral("/LCK..ttyUSB7"));
        if (!c.content.isEmpty()) {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.content);
        }
        EXPECT_EQ(portLockedElsewhere(QStringLiteral("/dev/ttyUSB7"), folders), c.locked) << c.what;
        EXPECT_FALSE(portLockedElsewhere(QStringLiteral("/dev/ttyUSB8"), folders)) << c.what;
    }
}

// A stable link (as under /dev/serial/by-id) names the device another program
// locked under its node's name.
TEST(PortLockFile, LinkToALockedDeviceIsLocked)
{
    QTemporaryDir lockDir, devDir;
    const QString node = devDir.filePath(QStringLiteral("ttyUSB7"));
    const QString byId = devDir.filePath(QStringLiteral("usb-Maker_Serial_0001-if00-port0"));
    QFile nodeFile(node);
    ASSERT_TRUE(nodeFile.open(QIODevice::WriteOnly));
    nodeFile.close();
    ASSERT_TRUE(QFile::link(node, byId));
    QFile lock(lockDir.filePath(QStringLiteral("LCK..ttyUSB7")));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(static_cast<int>(::getppid())) + '\n');
    lock.close();
    EXPECT_TRUE(portLockedElsewhere(byId, {lockDir.path()}));
    EXPECT_FALSE(portLockedElsewhere(devDir.filePath(QStringLiteral("usb-other")), {lockDir.path()}));
}

TEST(ComPortEnum, ListsOnlyNamesWithoutDevPrefix)
{
    QStringList list{"keep"};
    TComPort::EnumComDevices(list);
    ASSERT_GE(list.size(), 1);
    EXPECT_EQ(list.first(), "keep");
    for (const QString &name : list)
        EXPECT_FALSE(name.startsWith("/dev/")) << name.toStdString();
}
