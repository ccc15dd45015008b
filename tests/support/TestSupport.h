// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the tests: a pseudo-terminal pair that plays a device,
// and waiting for a condition while the event loop runs.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>

#include <functional>

namespace vandrel::test {

// Runs the event loop until `pred` holds or `timeoutMs` passes. Returns pred().
inline bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired())
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        // Windows closed with delete-on-close go away here too, as in a real event loop.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// A pseudo-terminal: the test holds the master side, the code under test
// opens `path()`. Closing the master is what an unplugged adapter looks like.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    QString path() const { return path_; }
    int master() const { return master_; }
    void write(const QByteArray &bytes);
    // Everything the device side has received so far (waits up to timeoutMs for at least `atLeast` bytes).
    QByteArray readAvailable(int atLeast = 0, int timeoutMs = 2000);
    void closeMaster();

private:
    int master_ = -1;
    int keepSlave_ = -1; // keeps the master from seeing EIO while nobody has the slave open
    QString path_;
};

} // namespace vandrel::test
