#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CPU used by the whole program (window included, offscreen) while it is
# connected to the simulated meter. Usage: bench/cpu_usage.sh BUILD_DIR [seconds]
set -euo pipefail
build=${1:?build directory}
secs=${2:-60}
QT_QPA_PLATFORM=offscreen "$build/bin/vandrel" --demo > /dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
sleep 5 # start-up and the meter search
ticks=$(getconf CLK_TCK)
read -r u0 s0 < <(awk '{print $14, $15}' /proc/$pid/stat)
sleep "$secs"
read -r u1 s1 < <(awk '{print $14, $15}' /proc/$pid/stat)
awk -v u="$((u1 - u0 + s1 - s0))" -v hz="$ticks" -v s="$secs" \
  'BEGIN { printf "vandrel --demo: %.2f s CPU in %d s = %.2f %% of one core (target <= 1 %%)\n", u / hz, s, 100 * u / hz / s
           printf "RESULT | CPU of the whole program, connected and idle (--demo, %d s) | %.2f %% of one core | <= 1 %%\n", s, 100 * u / hz / s }'
