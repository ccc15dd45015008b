// SPDX-License-Identifier: GPL-3.0-or-later
// Cuts display frames out of the received byte stream. Pure: bytes in, frames out;
// the receive buffer keeps whatever does not yet make a whole frame.
#pragma once

#include "meter/DecodeFrame.h"

#include <QByteArray>

#include <vector>

namespace vandrel {

// Consumes from `buffer` every complete frame (0x02, eight bytes, 0x03) and the
// garbage before it, and returns the frames in order. A start byte whose tenth
// byte is not the end mark costs ten bytes, the way the meter's own protocol
// resynchronises; fewer than ten bytes are always kept for the next call.
std::vector<DisplayFrame> cutFrames(QByteArray &buffer);

} // namespace vandrel
