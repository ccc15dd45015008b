// SPDX-License-Identifier: GPL-3.0-or-later
// ComPortLine: the calls of the serial component that the link makes, each
// one wrapped so that a port failure ends as a plain result.
#include "meter/ComPortLine.h"

namespace vandrel {

namespace {

// Runs `f`; a port failure (already turned into the silent abort by the
// error hook) ends it quietly. Returns whether `f` ran to its end.
template <typename F>
bool quietly(F &&f)
{
    try {
        f();
        return true;
    } catch (const EAbort &) {
    } catch (const EComError &) {
    }
    return false;
}

} // namespace

ComPortLine::ComPortLine(TComPort &port) : port_(port)
{
    port_.setOnError([this](TComPort &, const EComError &e, TComAction &action) {
        error_ = e.ErrorCode;
        action = TComAction::caAbort;
    });
    port_.setBaudRate(9600);
    port_.setDataBits(8);
    port_.setParity(TParity::paNone);
    port_.setStopBits(TStopBits::sb1);
}

ComPortLine::ComPortLine() : ComPortLine(*new TComPort)
{
    owned_.reset(&port_);
}

ComPortLine::~ComPortLine()
{
    QObject::disconnect(vanished_);
    port_.setOnError(nullptr);
}

bool ComPortLine::open(const QString &path)
{
    error_ = 0;
    quietly([&] { port_.Close(); });
    quietly([&] { port_.setDeviceName(path); });
    quietly([&] { port_.Open(); });
    return port_.Active();
}

void ComPortLine::close()
{
    quietly([&] { port_.Close(); });
}

QByteArray ComPortLine::readAll()
{
    QByteArray got;
    quietly([&] {
        // What the driver says is waiting, into a buffer of that size: nothing
        // is read past it, and the byte order is kept.
        const int n = port_.InputCount();
        if (n <= 0)
            return;
        got.resize(n);
        got.resize(qMax(0, port_.Read(got.data(), n, false)));
    });
    return got;
}

void ComPortLine::write(char byte)
{
    quietly([&] { port_.Write(&byte, 1, false); });
}

void ComPortLine::purgeInput()
{
    quietly([&] { port_.PurgeInput(); });
}

void ComPortLine::purgeOutput()
{
    quietly([&] { port_.PurgeOutput(); });
}

void ComPortLine::setReadyHandler(std::function<void()> handler)
{
    port_.setOnRxChar(std::move(handler));
}

void ComPortLine::setVanishedHandler(std::function<void()> handler)
{
    QObject::disconnect(vanished_);
    if (handler)
        vanished_ = QObject::connect(&port_, &TComPort::deviceVanished, std::move(handler));
}

} // namespace vandrel
