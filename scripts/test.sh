#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what the tests need, builds everything (the benchmarks included)
# with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test; then runs the serial port
# tests and the table file tests (whose reader runs ahead on a thread) once
# more under ThreadSanitizer. (Only those: tests that start the
# simulated meter through QProcess confuse ThreadSanitizer, whose bookkeeping
# does not survive the way Qt starts child processes.)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
# Builds share a compiler cache when one is installed (the dependencies bring it).
command -v ccache > /dev/null && export CMAKE_CXX_COMPILER_LAUNCHER=ccache
jobs=$(nproc)

# Every benchmark is built too (not run), so one that stops compiling fails here.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANDREL_SANITIZE=ON -DVANDREL_BUILD_BENCH=ON > /dev/null
cmake --build build-asan --parallel "$jobs"
ctest --test-dir build-asan --output-on-failure --parallel "$jobs"

if [ "${VANDREL_SKIP_TSAN:-0}" != 1 ]; then
  cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANDREL_TSAN=ON > /dev/null
  cmake --build build-tsan --parallel "$jobs" --target platform_comport_tests records_tests
  ctest --test-dir build-tsan --output-on-failure -R '^(ComPort|TableFile\.)'
fi
