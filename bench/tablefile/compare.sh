#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Opening and saving a real-time table file of ROWS rows (default a million):
# our open and save through a string grid against Python's csv module reading
# the same file into lists and writing it from them, side by side, best of 3.
# Usage: bench/tablefile/compare.sh BUILD_DIR [ROWS]   (a Release build with -DVANDREL_BUILD_BENCH=ON)
set -eu
build=${1:?usage: compare.sh BUILD_DIR [ROWS]}
rows=${2:-1000000}
bench="$build/bin/bench_tablefile"
[ -x "$bench" ] || { echo "no $bench; build the target bench_tablefile first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
in="$work/table.csv"

python3 - "$in" "$rows" <<'PY'
import sys
path, rows = sys.argv[1], int(sys.argv[2])
with open(path, "w", newline="") as f:
    for i in range(rows):
        s = i % 86400
        f.write("06/12/2026,%02d:%02d:%02d,%.1f,%%RH,%.1f,C,%.1f,C,%.1f,\r\n"
                % (s // 3600, s // 60 % 60, s % 60, 40 + i % 200 / 10, 20 + i % 90 / 10, 18 + i % 70 / 10, 9 + i % 30 / 10))
PY

best() { sort -n | head -n 1; }
: > "$work/ours" ; : > "$work/py"
for run in 1 2 3; do
    QT_QPA_PLATFORM=offscreen "$bench" "$in" "$work/out.csv" > "$work/run.txt"
    cmp -s "$in" "$work/out.csv" || { echo "saved file differs from the opened one" >&2; exit 1; }
    cat "$work/run.txt" >> "$work/ours"
    python3 - "$in" "$work/py.csv" >> "$work/py" <<'PY'
import csv, sys, time
src, dst = sys.argv[1], sys.argv[2]
t = time.perf_counter()
with open(src, newline="") as f:
    rows = list(csv.reader(f))
print("py_read_seconds %.3f" % (time.perf_counter() - t))
t = time.perf_counter()
with open(dst, "w", newline="") as f:
    csv.writer(f, lineterminator="\r\n").writerows(rows)
print("py_write_seconds %.3f" % (time.perf_counter() - t))
PY
done

pick() { grep "^$1 " "$2" | cut -d' ' -f2 | best; }
open_s=$(pick open_seconds "$work/ours"); save_s=$(pick save_seconds "$work/ours")
pyr=$(pick py_read_seconds "$work/py"); pyw=$(pick py_write_seconds "$work/py")
echo "rows                 $(pick rows "$work/ours")"
echo "open  (ours)         ${open_s} s   python csv read  ${pyr} s   ratio $(echo "$open_s $pyr" | awk '{printf "%.2f", $1/$2}')"
echo "save  (ours)         ${save_s} s   python csv write ${pyw} s   ratio $(echo "$save_s $pyw" | awk '{printf "%.2f", $1/$2}')"
echo "append one row + repaint: $(pick append_us_small "$work/ours") us on a small table, $(pick append_us_million "$work/ours") us on a million rows"
echo "memory per row       VmRSS delta $(pick rss_bytes_per_row "$work/ours") B, VmHWM delta $(pick hwm_bytes_per_row "$work/ours") B"
n=$(pick rows "$work/ours" | awk '{ s = sprintf("%d", $1); while (s ~ /[0-9][0-9][0-9][0-9]/) sub(/[0-9][0-9][0-9]($|,)/, ",&", s); print s }')
rss=$(pick rss_bytes_per_row "$work/ours")
echo "RESULT | Open table file, $n rows, best of 3 | ${open_s} s | ≤ 0.15 s for 1,000,000 rows"
echo "RESULT | Open against Python csv read, $n rows | $(echo "$open_s $pyr" | awk '{printf "%.2f", $1/$2}') × | —"
echo "RESULT | Save table file, $n rows, best of 3 | ${save_s} s | —"
echo "RESULT | Save against Python csv write, $n rows | $(echo "$save_s $pyw" | awk '{printf "%.2f", $1/$2}') × | —"
echo "RESULT | Table memory per row, $n rows | ${rss} B | ≤ 80 B"
