// SPDX-License-Identifier: GPL-3.0-or-later
// Scripted poll answers: a text file with one answer per line as hex bytes,
// sent in turn instead of live frames and started over at the end.
#pragma once

#include "LoggerMemory.h"

#include <istream>
#include <string>
#include <vector>

namespace vandrel::sim {

// Lines hold hex byte pairs separated by blanks ("02 00 00 01 C8 ..."), an
// optional 0x prefix per byte; blank lines and text after '#' are skipped. A
// line need not be a well-formed frame, so broken frames can be scripted too.
// Returns false with `error` naming the line on a bad token or an empty script.
bool parseFrameScript(std::istream &in, std::vector<Bytes> &frames, std::string &error);

bool loadFrameScript(const std::string &path, std::vector<Bytes> &frames, std::string &error);

} // namespace vandrel::sim
