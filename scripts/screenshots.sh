#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the pictures in docs/screenshots by driving the program with its
# simulated meter on a virtual screen: a real-time run (also on a small
# 1024x600 screen), an opened table file drawn as a graph, that graph printed
# to a PDF file and exported as a picture, and the data-logger window after a
# download.
# Usage: scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]
# (needs xvfb, xdotool, imagemagick, poppler-utils and matchbox-window-manager,
# which maximises the main window as a desktop does)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build-asan}" && pwd)
out=$(mkdir -p "${2:-$here/docs/screenshots}" && cd "${2:-$here/docs/screenshots}" && pwd)

if [ -z "${VANDREL_SHOTS_INNER:-}" ]; then
  VANDREL_SHOTS_INNER=small xvfb-run -a -s "-screen 0 1024x600x24" "$0" "$build" "$out"
  VANDREL_SHOTS_INNER=large exec xvfb-run -a -s "-screen 0 1280x960x24" "$0" "$build" "$out"
fi

work=$(mktemp -d)
trap 'stop_app; kill "${wm:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
matchbox-window-manager -use_titlebar no > /dev/null 2>&1 &
wm=$!
export LANG=C.UTF-8 LC_ALL=C.UTF-8

# Three days of readings every five minutes, in the program's table-file format.
python3 - "$work/greenhouse.csv" <<'PY'
import datetime, math, random, sys
random.seed(7)
t = datetime.datetime(2026, 11, 30, 0, 0, 0)
with open(sys.argv[1], "w", newline="") as f:
    for i in range(3 * 24 * 12):
        h = (t.hour + t.minute / 60) / 24 * 2 * math.pi
        t1 = 21 + 4 * math.sin(h - 2) + random.uniform(-0.2, 0.2)
        t2 = 14 + 6 * math.sin(h - 2.3) + random.uniform(-0.2, 0.2)
        rh = 62 - 14 * math.sin(h - 2) + random.uniform(-0.6, 0.6)
        a, b = 17.27, 237.7
        g = a * t1 / (b + t1) + math.log(rh / 100)
        dp = b * g / (a - g)
        f.write(f"{t.day} {t:%b %Y},{t:%H:%M:%S},{rh:.1f},%RH,{t1:.1f},C,{t2:.1f},C,{dp:.1f},\r\n")
        t += datetime.timedelta(minutes=5)
PY

# Each picture comes from a fresh program with a home of its own, so no
# settings, windows or recovery files carry over from the one before.
start_app() {
  export HOME=$work/$1 XDG_CONFIG_HOME=$work/$1/.config XDG_DATA_HOME=$work/$1/.local/share \
         XDG_RUNTIME_DIR=$work/$1/run
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  "$build/bin/vandrel" --demo > "$work/$1.log" 2>&1 &
  app=$!
  win=$(xdotool search --sync --onlyvisible --pid "$app" --name '^Vandrel' | head -1)
  sleep 3   # the start-up search and the first frames
}
stop_app() {
  if [ -n "${app:-}" ]; then kill "$app" 2>/dev/null || true; wait "$app" 2>/dev/null || true; fi
  app=
}
press() { xdotool windowfocus --sync "$win"; xdotool key --clearmodifiers "$@"; }
shoot() { sleep "$2"; import -window "$win" "$out/$1"; echo "wrote $out/$1"; }
output_to_graph() { xdotool mousemove --sync 188 37 click 1; }   # the toolbar's graph button

# 0. On a small screen (a netbook's 1024x600): the same run, laid out to fit.
if [ "$VANDREL_SHOTS_INNER" = small ]; then
  start_app small
  press F9
  shoot main-window-1024x600.png 40
  stop_app
  exit 0
fi

# 1. A run at the default two-second rate: panel, live graph and table.
start_app run
press F9
shoot main-window-run.png 40
stop_app

# 2. A table file opened and drawn as a graph, the empty real-time windows closed.
start_app file
press ctrl+w
# The graph is no longer the active window once the table has gone: a click
# on its title bar makes it so.
xdotool mousemove --sync 700 67 click 1
sleep 1
press ctrl+w
press ctrl+o
sleep 2
xdotool type --delay 20 "$work/greenhouse.csv"
xdotool key Return
sleep 4
output_to_graph
xdotool mousemove 640 940   # off the toolbar, so no button shows as hovered
shoot table-file-graph.png 5

# 2a. That graph printed: the print dialog's file printer writes a PDF into
# the folder used last (the table file's), whose page becomes a picture.
press ctrl+p
sleep 3
xdotool key Return
pdf=
for _ in $(seq 1 30); do
  pdf=$(ls -t "$work"/*.pdf 2>/dev/null | head -1 || true)
  [ -n "$pdf" ] && [ -s "$pdf" ] && break
  sleep 1
done
sleep 2
pdftoppm -png -r 50 -singlefile "$pdf" "$out/printed-graph"
echo "wrote $out/printed-graph.png"

# 2b. And exported as a picture, as printed (black on white).
press alt+f
xdotool key e
sleep 3
xdotool key ctrl+a
xdotool type --delay 20 "$work/exported-graph.png"
xdotool key Return
for _ in $(seq 1 30); do [ -s "$work/exported-graph.png" ] && break; sleep 1; done
sleep 1
convert "$work/exported-graph.png" -resize 50% "$out/exported-graph.png"
echo "wrote $out/exported-graph.png"
stop_app

# 3. The simulated meter's logger memory, downloaded: the progress window comes
# and goes, then the data-logger window shows the sets.
windows() { xdotool search --onlyvisible --pid "$app" --name . 2>/dev/null | wc -l; }
start_app logger
xdotool mousemove --sync 226 8 click 1   # the menu bar's DataLogger command
for _ in $(seq 1 30); do [ "$(windows)" -gt 1 ] && break; sleep 1; done
for _ in $(seq 1 300); do [ "$(windows)" -le 1 ] && break; sleep 1; done
xdotool mousemove 640 940
shoot datalogger-window.png 5
stop_app
