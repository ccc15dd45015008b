// SPDX-License-Identifier: GPL-3.0-or-later
// Frame cutting over the receive buffer.
#include "meter/FrameCutter.h"

#include <algorithm>

namespace vandrel {

std::vector<DisplayFrame> cutFrames(QByteArray &buffer)
{
    std::vector<DisplayFrame> frames;
    qsizetype pos = 0; // consumed so far; removed once at the end
    const qsizetype size = buffer.size();
    while (size - pos >= 10) {
        const qsizetype start = buffer.indexOf(char(kFrameStart), pos);
        if (start == pos) {
            if (static_cast<std::uint8_t>(buffer.at(pos + 9)) == kFrameEnd) {
                DisplayFrame f;
                std::copy_n(reinterpret_cast<const std::uint8_t *>(buffer.constData() + pos), 10, f.begin());
                frames.push_back(f);
            }
            pos += 10;
        } else if (start < 0) {
            pos += 10;
        } else {
            pos = start;
        }
    }
    buffer.remove(0, pos);
    return frames;
}

} // namespace vandrel
