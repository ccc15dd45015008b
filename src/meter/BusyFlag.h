// SPDX-License-Identifier: GPL-3.0-or-later
// A flag set for the life of a scope and cleared however the scope is left:
// the guards against re-entry through event processing use it.
#pragma once

namespace vandrel {

class BusyFlag {
public:
    explicit BusyFlag(bool &flag) : flag_(flag) { flag_ = true; }
    ~BusyFlag() { flag_ = false; }
    BusyFlag(const BusyFlag &) = delete;
    BusyFlag &operator=(const BusyFlag &) = delete;

private:
    bool &flag_;
};

} // namespace vandrel
