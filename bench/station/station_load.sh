#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The station under load: METERS simulated meters at a 1-second rate for
# SECONDS. Prints the station's CPU, its peak memory, the samples missed per
# meter while connected, and the time of a /metrics scrape.
# With "mqtt" as the fourth word the station also publishes every sample to
# a Mosquitto broker started on a free loopback port, and a subscriber counts
# what arrives.
# Usage: bench/station/station_load.sh BUILD_DIR [METERS=32] [SECONDS=300] [mqtt]
set -euo pipefail
build=${1:?usage: station_load.sh BUILD_DIR [meters] [seconds] [mqtt]}
meters=${2:-32}
secs=${3:-300}
mqtt=${4:-}
bin="$build/bin"
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2> /dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2> /dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
port=$(free_port)
if [ "$mqtt" = mqtt ]; then
    broker=$(free_port)
    printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$broker" > "$work/mosquitto.conf"
    mosquitto -c "$work/mosquitto.conf" 2> "$work/mosquitto.log" &
    pids+=($!)
    for _ in $(seq 1 100); do
        python3 -c "import socket,sys; socket.create_connection(('127.0.0.1', $broker), timeout=1)" 2> /dev/null && break
        sleep 0.1
    done
    mosquitto_sub -h 127.0.0.1 -p "$broker" -q 1 -t 'vandrel/+/+/state' > "$work/received" &
    pids+=($!)
fi
{
    printf '[station]\ndata = %s/data\nlisten = 127.0.0.1:%s\n' "$work" "$port"
    [ "$mqtt" = mqtt ] && printf '[mqtt]\nhost = 127.0.0.1\nport = %s\n' "$broker"
    for i in $(seq 1 "$meters"); do
        printf '[meter.m%02d]\ndevice = %s/dev-%02d\nrate = 1\nhumidity_low = 10\nhumidity_high = 90\n' "$i" "$work" "$i"
    done
} > "$work/station.conf"
for i in $(seq 1 "$meters"); do
    "$bin/vandrel-meter-sim" --model 580 --link "$(printf '%s/dev-%02d' "$work" "$i")" < /dev/null > /dev/null 2>&1 &
    pids+=($!)
done
for _ in $(seq 1 100); do
    n=$(find "$work" -maxdepth 1 -name 'dev-*' | wc -l)
    [ "$n" -ge "$meters" ] && break
    sleep 0.1
done

"$bin/vandrel-station" --config "$work/station.conf" 2> "$work/station.log" &
station=$!
pids+=($station)

# Waits until every meter is connected, then measures.
python3 - "$port" "$meters" << 'PY'
import socket, sys, time
port, meters = int(sys.argv[1]), int(sys.argv[2])
deadline = time.time() + 60
while time.time() < deadline:
    try:
        s = socket.create_connection(("127.0.0.1", port), timeout=2)
        s.sendall(b"GET /metrics HTTP/1.1\r\n\r\n")
        data = b""
        while chunk := s.recv(65536):
            data += chunk
        if data.count(b"vandrel_meter_connected{") == meters and b"} 0\n" not in data.split(b"vandrel_meter_connected")[-2:][0]:
            connected = sum(1 for l in data.split(b"\n") if l.startswith(b"vandrel_meter_connected{") and l.endswith(b" 1"))
            if connected == meters:
                sys.exit(0)
    except OSError:
        pass
    time.sleep(0.5)
sys.exit("not every meter connected within 60 s")
PY

ticks=$(getconf CLK_TCK)
read -r u0 s0 < <(awk '{print $14, $15}' /proc/$station/stat)
received0=$( [ "$mqtt" = mqtt ] && wc -l < "$work/received" || echo 0)
sleep "$secs"
read -r u1 s1 < <(awk '{print $14, $15}' /proc/$station/stat)
received1=$( [ "$mqtt" = mqtt ] && wc -l < "$work/received" || echo 0)
hwm=$(awk '/^VmHWM:/ {print $2}' /proc/$station/status)

# Scrapes, timed from connecting to the last byte.
scrape=$(python3 - "$port" << 'PY'
import socket, sys, time
port = int(sys.argv[1])
times = []
for _ in range(50):
    t = time.perf_counter()
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall(b"GET /metrics HTTP/1.1\r\n\r\n")
    while s.recv(65536):
        pass
    times.append((time.perf_counter() - t) * 1000)
    s.close()
times.sort()
print(f"{times[len(times) // 2]:.2f} {times[-1]:.2f}")
PY
)
kill -TERM "$station"
wait "$station" || true
echo "--- the station's log (last lines)" >&2
tail -n 20 "$work/station.log" >&2

# Missed samples: the meters stay connected, so each meter's file must hold
# one row for every second from its first row to its last. Row times are the
# tick's clock time in whole seconds: a tick that comes a little late after
# one that came a little early skips a second in the times without a sample
# being lost, so the count of rows is what is compared, and the skipped
# times are shown beside it.
missed=$(python3 - "$work/data" << 'PY'
import os, sys, datetime
root = sys.argv[1]
total_missed = rows_all = skipped = 0
for meter in sorted(m for m in os.listdir(root) if not m.startswith(".")):  # .cursors: the outputs' places
    times = []
    for day in sorted(os.listdir(os.path.join(root, meter))):
        with open(os.path.join(root, meter, day), encoding="utf-8") as f:
            for line in f:
                cells = line.rstrip("\r\n").split(",")
                times.append(datetime.datetime.strptime(day[:10] + " " + cells[1], "%Y-%m-%d %H:%M:%S"))
    rows_all += len(times)
    if times:
        span = int((times[-1] - times[0]).total_seconds()) + 1
        total_missed += max(0, span - len(times))
    for a, b in zip(times, times[1:]):
        step = int((b - a).total_seconds())
        if step > 1:
            skipped += step - 1
print(total_missed, rows_all, skipped)
PY
)
read -r miss rows skipped <<< "$missed"
read -r median worst <<< "$scrape"
cpu=$(awk -v u="$((u1 - u0 + s1 - s0))" -v hz="$ticks" -v s="$secs" 'BEGIN { printf "%.2f", 100 * u / hz / s }')
echo "station, $meters meters at 1 s for $secs s: CPU $cpu % of one core, peak RSS $((hwm / 1024)) MB, $rows rows, $miss samples missed ($skipped skipped row times), scrape median $median ms (worst $worst ms)"
if [ "$mqtt" = mqtt ]; then
    echo "MQTT: $((received1 - received0)) state messages reached the subscriber while measured"
    echo "RESULT | station CPU publishing to MQTT, $meters meters at 1 s ($secs s) | $cpu % of one core | <= 3 %"
    exit 0
fi
echo "RESULT | station CPU, $meters meters at 1 s ($secs s) | $cpu % of one core | <= 3 %"
echo "RESULT | station peak memory, $meters meters | $((hwm / 1024)) MB | <= 80 MB"
echo "RESULT | samples missed while connected, $meters meters ($secs s) | $miss of $rows rows | 0"
echo "RESULT | /metrics scrape, $meters meters (median of 50, worst) | $median ms ($worst ms) | <= 5 ms"
