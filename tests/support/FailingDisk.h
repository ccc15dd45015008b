// SPDX-License-Identifier: GPL-3.0-or-later
// Disk calls that fail the way a full or broken disk does, at one chosen step,
// and count what was asked of them; the rest is done by the system.
#pragma once

#include "platform/SafeSaveFile.h"

#include <cerrno>
#include <string>

namespace vandrel::test {

struct FailingDisk {
    enum class Step { None, Write, TornWrite, Sync, Close, Rename };
    Step failAt = Step::None;
    int error = ENOSPC;
    int writes = 0;
    int syncs = 0;
    std::string steps; // 'w' for each write, 's' for each sync, in order

    // Valid while this object lives.
    DiskCalls calls()
    {
        const DiskCalls &system = systemDiskCalls();
        return {
            [this, system](int fd, const char *data, std::size_t size) -> ssize_t {
                ++writes;
                steps += 'w';
                if (failAt == Step::TornWrite && size > 1) {
                    // Half the bytes go in, then the disk is full.
                    failAt = Step::Write;
                    return system.write(fd, data, size / 2);
                }
                if (failAt == Step::Write)
                    return errno = error, -1;
                return system.write(fd, data, size);
            },
            [this, system](int fd) {
                ++syncs;
                steps += 's';
                return failAt == Step::Sync ? (errno = error, -1) : system.sync(fd);
            },
            [this, system](int fd) {
                // The descriptor is let go either way, as the system does.
                const int r = system.close(fd);
                return failAt == Step::Close ? (errno = error, -1) : r;
            },
            [this, system](const char *from, const char *to) {
                return failAt == Step::Rename ? (errno = error, -1) : system.rename(from, to);
            },
        };
    }
};

} // namespace vandrel::test
