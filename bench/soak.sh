#!/usr/bin/env bash
# Checks that nothing is lost or leaked over a long run: DEVICES devices (default 10,000, half
# Thermo-Boxes, half Relay-Boxes) with --reconnect 1 and a scenario with faults on 1 % of the reports,
# for MINUTES minutes (default 30), against mimicbox-server restarted every RESTART_EVERY seconds
# (default 300). It prints a line a minute (the runner's RSS and descriptors, the lateness p99 and
# missed ticks of that minute) and one per restart (how long until every device was back), and at
# the end compares the reports the runner sent with the records the server instances received
# whole. The faults (split, stale-clock, future-clock) keep every report one readable record, so
# that a server that reads an unreadable record, or fewer records than were sent beyond those in
# flight at its restarts, shows a loss.
# Needs a built tree: see bench/common.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
devices=${DEVICES:-10000}
minutes=${MINUTES:-30}
restart_every=${RESTART_EVERY:-300}
port=${PORT:-54798}

half=$((devices / 2))
cat > "$work/soak.toml" <<EOF
seed = 7
[server]
port = $port
[[device]]
model = "thermo"
serials = "1-$half"
profile = { kind = "sine", mean = 20.0, amplitude = 5.0, period = 60.0 }
[[device]]
model = "relay"
serials = "1001-$((1000 + devices - half))"
[[fault]]
kind = "split"
probability = 0.004
delay = 0.05
[[fault]]
kind = "stale-clock"
probability = 0.003
[[fault]]
kind = "future-clock"
probability = 0.003
EOF

start_server() {
    "$build/mimicbox-server" --quiet --stats --port "$port" < /dev/null >> "$work/server.log" 2>&1 &
    server=$!
    pids+=("$server")
    for _ in $(seq 50); do [ "$(grep -c listening "$work/server.log")" -ge "$1" ] && return; sleep 0.1; done
    echo "the server did not start" >&2
    exit 1
}

start_server 1
"$build/mimicbox-cli" --scenario "$work/soak.toml" --quiet --ramp-up 10 --reconnect 1 --control 127.0.0.1:0 \
    --duration "$((minutes * 60))" > "$work/cli.log" 2>&1 &
cli=$!
pids+=("$cli")
for _ in $(seq 50); do grep -q '^control: ' "$work/cli.log" && break; sleep 0.1; done
api=$(sed -n 's/^control: //p' "$work/cli.log")
echo "soak: $devices devices for $minutes min, faults on 1 % of the reports, the server restarted every $restart_every s"

# Samples the runner once a second; a line a minute, a line per restart.
python3 - "$api" "$cli" "$devices" "$minutes" "$restart_every" "$work" "$build" "$port" <<'PY'
import os, re, signal, subprocess, sys, time, urllib.request

api, cli, devices, minutes, restart_every, work, build, port = sys.argv[1:]
cli, devices, minutes, restart_every = int(cli), int(devices), int(minutes), int(restart_every)
bounds = [0.0001, 0.0002, 0.0005, 0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.5, 1.0, float("inf")]

def metrics():
    text = urllib.request.urlopen(api + "/metrics", timeout=5).read().decode()
    buckets = [float(m) for m in re.findall(r'lateness_seconds_bucket\{le="[^"]+"\} (\d+)', text)]
    value = lambda name: float(re.search(rf"^{name} (\S+)$", text, re.M).group(1))
    return buckets, value("mimicbox_missed_ticks_total"), value("mimicbox_connected_devices")

def p99(before, after):
    counts = [a - b for a, b in zip(after, before)]
    total = counts[-1]
    if total <= 0:
        return "-"
    for bound, cumulative in zip(bounds, counts):
        if cumulative >= 0.99 * total:
            return f"<= {bound * 1000:g} ms" if bound != float("inf") else "> 1 s"

def rss_and_fds():
    with open(f"/proc/{cli}/status") as status:
        rss = next(int(line.split()[1]) for line in status if line.startswith("VmRSS")) / 1024
    return rss, len(os.listdir(f"/proc/{cli}/fd"))

def server_pid():
    return int(subprocess.check_output(["pgrep", "-n", "-f", f"mimicbox-server --quiet --stats --port {port}"]).split()[0])

start = time.monotonic()
window = metrics()
restarts, rss_first, back_times = 0, None, []
next_restart, next_sample = start + restart_every, start + 60
print(f"{'minute':>6} | {'RSS':>8} | {'fds':>5} | {'lateness p99':>13} | {'missed':>6} | connected")
while time.monotonic() - start < minutes * 60 - 5:
    time.sleep(1)
    now = time.monotonic()
    if now >= next_restart and now - start < minutes * 60 - 60:
        os.kill(server_pid(), signal.SIGTERM)
        time.sleep(1)
        subprocess.Popen([f"{build}/mimicbox-server", "--quiet", "--stats", "--port", port], stdin=subprocess.DEVNULL,
                         stdout=open(f"{work}/server.log", "a"), stderr=subprocess.STDOUT)
        restarts += 1
        listening = time.monotonic()
        while metrics()[2] < devices and time.monotonic() - listening < 120:
            time.sleep(0.5)
        back_times.append(time.monotonic() - listening)
        print(f"restart {restarts}: every device back {back_times[-1]:.1f} s after the server listened again")
        next_restart += restart_every
    if now >= next_sample:
        sample = metrics()
        rss, fds = rss_and_fds()
        rss_first = rss_first if rss_first is not None else rss
        print(f"{int((now - start) // 60):>6} | {rss:>5.1f} MB | {fds:>5} | {p99(window[0], sample[0]):>13} | "
              f"{int(sample[1] - window[1]):>6} | {int(sample[2])}")
        window = sample
        next_sample += 60
rss, fds = rss_and_fds()
print(f"RSS after the first minute {rss_first:.1f} MB, at the end {rss:.1f} MB (grew {rss - rss_first:+.1f} MB); "
      f"descriptors {fds}; restarts {restarts}, back within {max(back_times, default=0):.1f} s at most")
PY

wait "$cli" || true
kill "$(pgrep -n -f "mimicbox-server --quiet --stats --port $port")" 2>/dev/null || true
sleep 1
sent=$(grep -E '^[0-9]+ devices: ' "$work/cli.log" | sed 's/^[0-9]* devices: \([0-9]*\) report.*/\1/')
# Each server instance's last stats line holds its totals; sum them.
received=$(awk '/stats: / {for (i = 1; i < NF; i++) if ($i == "records") {gsub(",", "", $(i + 1)); last = $(i + 1)}}
                /listening on/ {total += last; last = 0} END {print total + last}' "$work/server.log")
unreadable=$(awk '/stats: / {for (i = 1; i < NF; i++) if ($i == "unreadable") {gsub(",", "", $(i + 1)); last = $(i + 1)}}
                  /listening on/ {total += last; last = 0} END {print total + last}' "$work/server.log")
restarts=$(( $(grep -c 'listening on' "$work/server.log") - 1 ))
grep -E '^fault\[' "$work/cli.log" || true
echo "reports sent $sent, records the servers received $received, of them unreadable $unreadable;" \
     "lost $((sent - received)) over $restarts restarts ($(( restarts > 0 ? (sent - received) / restarts : 0 )) a restart," \
     "at most one in flight per device: $devices)"
