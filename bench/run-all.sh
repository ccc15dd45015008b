#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark of a build made with -DVANDREL_BUILD_BENCH=ON (Release)
# and prints their figures as one table. Builds nothing; a benchmark that is
# missing or prints no figure gets a row saying so.
# Each benchmark prints lines "RESULT | <figure> | <measured value> | <target>";
# any further bench_* program in BUILD_DIR/bin is run without arguments.
# Usage: bench/run-all.sh BUILD_DIR   (the full output of each goes to standard error)
set -uo pipefail
build=${1:?usage: run-all.sh BUILD_DIR}
bin="$build/bin"
here=$(cd "$(dirname "$0")" && pwd)
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
results="$work/results"
: > "$results"

# run NAME COMMAND...: runs it, shows its output, keeps its RESULT lines.
run() {
    local name=$1
    shift
    echo "=== $name" >&2
    "$@" > "$work/raw" 2>&1
    local rc=$?
    # Colour codes of the console reporters would hide a line's start.
    sed 's/\x1b\[[0-9;]*m//g' "$work/raw" > "$work/out"
    cat "$work/out" >&2
    if grep -q '^RESULT |' "$work/out"; then
        grep '^RESULT |' "$work/out" >> "$results"
    else
        echo "RESULT | $name | no figure (exit code $rc) | -" >> "$results"
    fi
}

# Programs with their own arguments or runners; bench_tablefile runs under compare.sh.
special="bench_tablefile"
bench() {
    local name=$1
    shift
    special="$special $name"
    if [ -x "$bin/$name" ]; then
        run "$name" "$bin/$name" "$@"
    else
        echo "RESULT | $name | not built | -" >> "$results"
    fi
}

bench bench_frames
bench bench_logger_decode
bench bench_panel
bench bench_chart
bench bench_link_timing
bench bench_search_time
if [ -x "$bin/vandrel" ]; then
    run "cpu_usage.sh" "$here/cpu_usage.sh" "$build"
else
    echo "RESULT | cpu_usage.sh | not built (bin/vandrel) | -" >> "$results"
fi
run "tablefile/compare.sh" "$here/tablefile/compare.sh" "$build"
if [ -x "$bin/vandrel-cli" ]; then
    run "insight/report_speed.sh" "$here/insight/report_speed.sh" "$build"
else
    echo "RESULT | insight/report_speed.sh | not built (bin/vandrel-cli) | -" >> "$results"
fi
if [ -x "$bin/vandrel-station" ]; then
    run "station/station_load.sh" "$here/station/station_load.sh" "$build"
    run "station/station_load.sh (MQTT)" "$here/station/station_load.sh" "$build" 8 120 mqtt
else
    echo "RESULT | station/station_load.sh | not built (bin/vandrel-station) | -" >> "$results"
fi
bench bench_download
# Starts its own broker and database on free loopback ports (mosquitto, influxd).
bench bench_publish
for exe in "$bin"/bench_*; do
    [ -x "$exe" ] || continue
    name=$(basename "$exe")
    case " $special " in *" $name "*) continue ;; esac
    run "$name" "$exe"
done

model=$(lscpu | sed -n 's/^Model name:[[:space:]]*//p' | head -n 1)
debian=$(cat /etc/debian_version 2>/dev/null || echo unknown)
echo "Machine: ${model:-unknown CPU}, $(nproc) cores, Debian $debian; run $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
awk -F' [|] ' '
    { sub(/^RESULT [|] /, ""); n++; for (i = 1; i <= 3; i++) { c[n, i] = $i; if (length($i) > w[i]) w[i] = length($i) } }
    END {
        h[1] = "Figure"; h[2] = "Measured"; h[3] = "Target"
        for (i = 1; i <= 3; i++) if (length(h[i]) > w[i]) w[i] = length(h[i])
        printf "| %-*s | %-*s | %-*s |\n", w[1], h[1], w[2], h[2], w[3], h[3]
        printf "|%s|%s|%s|\n", dashes(w[1] + 2), dashes(w[2] + 2), dashes(w[3] + 2)
        for (r = 1; r <= n; r++) printf "| %-*s | %-*s | %-*s |\n", w[1], c[r, 1], w[2], c[r, 2], w[3], c[r, 3]
    }
    function dashes(k,   s) { s = ""; while (k-- > 0) s = s "-"; return s }
' "$results"
