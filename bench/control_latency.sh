#!/usr/bin/env bash
# Measures the live control under load: 1,000 devices (half Thermo-Box, half Relay-Box) against
# mimicbox-server on loopback, CHANGES API changes (default 10,000) from 4 keep-alive clients. Prints
# - the time from each temperature change's HTTP response to the first report that carries it, as
#   the server logs it (at most one period by construction, 1.5 s for a Thermo-Box);
# - the time from a disconnect's response to the server seeing the connection close;
# - the runner's report lateness while the API is hammered, next to the same run with the API idle.
# Needs a built tree: BUILD_DIR (default build, which scripts/build.sh makes as a Release build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
changes=${CHANGES:-10000}
port=54797
work=$(mktemp -d)
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; rm -rf "$work"' EXIT

run() {  # run NAME LOAD(0|1)
    "$build/mimicbox-server" --port "$port" < /dev/null > "$work/$1.server" 2>&1 &
    pids+=($!)
    sleep 0.3
    "$build/mimicbox-cli" --control 127.0.0.1:0 --port "$port" --quiet --ramp-up 2 \
        --device thermo:1-500 --device relay:1001-1500 < /dev/null > "$work/$1.cli" 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do grep -q '^control: ' "$work/$1.cli" && break; sleep 0.1; done
    local api
    api=$(sed -n 's/^control: //p' "$work/$1.cli")
    sleep 4
    /usr/bin/python3 - "$api" "$2" "$changes" "$work/$1.changes" <<'PY'
import http.client, json, sys, threading, time
from urllib.parse import urlparse
api, load, total, out = urlparse(sys.argv[1]), sys.argv[2] == "1", int(sys.argv[3]), sys.argv[4]
records = []
lock = threading.Lock()
def client(worker, count):
    connection = http.client.HTTPConnection(api.hostname, api.port, timeout=10)
    for k in range(count):
        serial = 1 + (worker * count + k) % 500
        # A value no other change uses, so that its report can be found in the server's log.
        value = round(40 + (worker * count + k) * 0.001, 3)
        body = json.dumps({"value": value})
        connection.request("PUT", f"/devices/thermo:{serial}/temperature", body, {"Content-Type": "application/json"})
        response = connection.getresponse()
        response.read()
        with lock:
            records.append((time.time(), serial, value, response.status))
if load:
    threads = [threading.Thread(target=client, args=(w, total // 4)) for w in range(4)]
    start = time.time()
    for t in threads: t.start()
    for t in threads: t.join()
    print(f"{len(records)} changes in {time.time() - start:.1f} s", file=sys.stderr)
else:
    time.sleep(10)
# Disconnects, one at a time, for the server to notice.
connection = http.client.HTTPConnection(api.hostname, api.port, timeout=10)
drops = []
for serial in range(1001, 1021):
    connection.request("POST", f"/devices/relay:{serial}/disconnect", b"", {"Content-Length": "0"})
    connection.getresponse().read()
    drops.append((time.time(), serial))
    time.sleep(0.05)
time.sleep(2)
json.dump({"changes": records, "drops": drops}, open(out, "w"))
connection.request("POST", "/stop", b"", {"Content-Length": "0"})
connection.getresponse().read()
PY
    sleep 2
    kill "${pids[@]}" 2>/dev/null || true
    wait 2>/dev/null || true
    pids=()
}

echo "API idle:"
run idle 0
grep -E '^[0-9]+ devices: ' "$work/idle.cli" | sed 's/^/  runner: /'
echo "API under load:"
run load 1
grep -E '^[0-9]+ devices: ' "$work/load.cli" | sed 's/^/  runner: /'

/usr/bin/python3 - "$work/load.changes" "$work/load.server" <<'PY'
import datetime, json, re, sys
data = json.load(open(sys.argv[1]))
today = datetime.date.today()
def when(stamp):
    clock = datetime.datetime.strptime(stamp, "%H:%M:%S.%f").time()
    return datetime.datetime.combine(today, clock).timestamp()
reports, closes = {}, {}
peers = {}
for line in open(sys.argv[2], errors="replace"):
    match = re.match(r"(\S+) (\S+) Thermo-Box (\d+) .* (-?\d+\.\d+) °C", line)
    if match:
        reports.setdefault((int(match[3]), round(float(match[4]), 3)), when(match[1]))
        continue
    match = re.match(r"(\S+) (\S+) Relay-Box (\d+) ", line)
    if match:
        peers[match[2]] = int(match[3])
        continue
    match = re.match(r"(\S+) (\S+) closed the connection", line)
    if match and match[2] in peers:
        closes.setdefault(peers[match[2]], when(match[1]))
def percentiles(name, values, target):
    values = sorted(values)
    if not values:
        print(f"{name}: nothing measured"); return
    at = lambda q: values[min(len(values) - 1, int(q * len(values)))] * 1000
    print(f"{name}: {len(values)} measured, p50 {at(0.5):.1f} ms, p99 {at(0.99):.1f} ms, max {values[-1] * 1000:.1f} ms ({target})")
landed = [reports[(serial, value)] - answered for answered, serial, value, status in data["changes"]
          if status == 200 and (serial, value) in reports]
overwritten = len(data["changes"]) - len(landed)
percentiles("change to its report", [max(0.0, t) for t in landed], "at most one period, 1500 ms, by construction")
print(f"  {overwritten} changes were overwritten by the next change to the same device before its report")
percentiles("disconnect seen by the server", [max(0.0, closes[s] - t) for t, s in data["drops"] if s in closes],
            "target p99 at most 50 ms")
PY
