// SPDX-License-Identifier: GPL-3.0-or-later
// A wait that keeps the user interface alive: a nested event loop ended by a
// timer, so window messages and timers run meanwhile and nothing spins.
#pragma once

namespace vandrel {

void WaitMs(int ms);

} // namespace vandrel
