// SPDX-License-Identifier: GPL-3.0-or-later
// WaitMs as a nested event loop.
#include "meter/WaitMs.h"

#include <QEventLoop>
#include <QTimer>

namespace vandrel {

void WaitMs(int ms)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms < 0 ? 0 : ms);
    loop.exec();
}

} // namespace vandrel
