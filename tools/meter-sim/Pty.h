// SPDX-License-Identifier: GPL-3.0-or-later
// One pseudo-terminal pair in raw mode. The simulator talks on the master and
// holds the slave open itself, so the master never reports a hang-up early.
#pragma once

#include <memory>
#include <string>

namespace vandrel::sim {

class Pty {
public:
    // Opens a new pair; nullptr with `error` set on failure (nothing left open).
    static std::unique_ptr<Pty> open(std::string &error);
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    int master() const { return master_; }
    const std::string &slavePath() const { return slavePath_; }

private:
    Pty() = default;
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// Points `link` at `target`, replacing whatever `link` was, atomically so a
// reader never finds the link missing.
bool replaceSymlink(const std::string &link, const std::string &target, std::string &error);

} // namespace vandrel::sim
