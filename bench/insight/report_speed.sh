#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# vandrel-cli report of a ROWS-row table file (default 1,000,000 rows of a
# dew-point meter, one every 2 s, with humidity limits crossed now and then),
# and of a pathological file whose humidity crosses its limit on every other
# row. Prints the wall time and peak memory of each (best of 3) as RESULT lines,
# and the PDF's pages.
# Usage: bench/insight/report_speed.sh BUILD_DIR [ROWS]
set -euo pipefail
build=${1:?usage: report_speed.sh BUILD_DIR [rows]}
rows=${2:-1000000}
cli="$build/bin/vandrel-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

# The rows as the program writes them (C locale: dd/MM/yyyy would do as well).
python3 - "$rows" "$work" <<'PY'
import datetime, sys
rows, work = int(sys.argv[1]), sys.argv[2]
start = datetime.datetime(2026, 1, 1)
def write(name, rh):
    with open(f"{work}/{name}", "w", newline="") as f:
        for i in range(rows):
            t = start + datetime.timedelta(seconds=2 * i)
            t1 = 20 + (i % 50) / 10
            f.write(f"{t:%m/%d/%Y},{t:%H:%M:%S},{rh(i):.1f},%RH,{t1:.1f},C,{t1 - 3:.1f},C,{t1 - 8:.1f},\r\n")
write("plain.csv", lambda i: 50 + (i % 200) / 10)
write("crossings.csv", lambda i: 70.0 if i % 2 else 50.0)
PY

measure() {
    local name=$1 file=$2 best_s="" best_kb=""
    for _ in 1 2 3; do
        /usr/bin/time -f '%e %M' -o "$work/time" "$cli" report --in "$file" --out "$work/out.pdf" \
            --limits rh=:65/0/0 > /dev/null 2> "$work/err" || { cat "$work/err" >&2; return 1; }
        read -r s kb < "$work/time"
        if [ -z "$best_s" ] || awk "BEGIN{exit !($s < $best_s)}"; then best_s=$s; fi
        if [ -z "$best_kb" ] || [ "$kb" -lt "$best_kb" ]; then best_kb=$kb; fi
    done
    local pages
    pages=$(pdfinfo "$work/out.pdf" 2> /dev/null | sed -n 's/^Pages:[[:space:]]*//p')
    echo "RESULT | report of $rows rows ($name): time | ${best_s} s | $3"
    echo "RESULT | report of $rows rows ($name): peak memory | $((best_kb / 1024)) MB, ${pages:-?} pages | $4"
}

measure "plain" "$work/plain.csv" "<= 1.5 s" "<= 120 MB"
measure "a crossing every other row" "$work/crossings.csv" "-" "crossings listed in part"
