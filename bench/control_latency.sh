#!/usr/bin/env bash
# Measures the live control under load: 1,000 devices (half Thermo-Box, half Relay-Box) against
# mimicbox-server on loopback, CHANGES API changes (default 10,000) from 4 keep-alive clients. Prints
# - the time from each temperature change's HTTP response to the first report that carries it, as
#   the server logs it (at most one period by construction, 1.5 s for a Thermo-Box);
# - the time from a disconnect's response to the server seeing the connection close;
# - the time from adding 500 Thermo-Boxes in one request to each one's first report (one period,
#   1.5 s, after its connect);
# - the runner's report lateness while the API is hammered, next to the same run with the API idle,
#   and to a run that gets the 500 devices more.
# Needs a built tree: see bench/common.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
changes=${CHANGES:-10000}
port=54797

run() {  # run NAME MODE: idle, load (changes and disconnects) or add (500 devices more)
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
api, mode, total, out = urlparse(sys.argv[1]), sys.argv[2], int(sys.argv[3]), sys.argv[4]
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
if mode == "load":
    threads = [threading.Thread(target=client, args=(w, total // 4)) for w in range(4)]
    start = time.time()
    for t in threads: t.start()
    for t in threads: t.join()
    print(f"{len(records)} changes in {time.time() - start:.1f} s", file=sys.stderr)
else:
    time.sleep(10)
# Made now: the server closes a connection idle for 5 s.
connection = http.client.HTTPConnection(api.hostname, api.port, timeout=10)
# Disconnects, one at a time, for the server to notice.
drops = []
for serial in range(1001, 1021) if mode == "load" else []:
    connection.request("POST", f"/devices/relay:{serial}/disconnect", b"", {"Content-Length": "0"})
    connection.getresponse().read()
    drops.append((time.time(), serial))
    time.sleep(0.05)
# 500 devices more in one request; each reports first one period after its connect.
added = {}
if mode == "add":
    body = json.dumps({"model": "thermo", "serials": "1001-1500", "temperature": 33.333})
    asked = time.time()
    connection.request("POST", "/devices", body, {"Content-Type": "application/json"})
    response = connection.getresponse()
    response.read()
    added = {"asked": asked, "answered": time.time(), "status": response.status}
    time.sleep(8)
json.dump({"changes": records, "drops": drops, "added": added}, open(out, "w"))
connection = http.client.HTTPConnection(api.hostname, api.port, timeout=10)
connection.request("POST", "/stop", b"", {"Content-Length": "0"})
connection.getresponse().read()
PY
    sleep 2
    kill "${pids[@]}" 2>/dev/null || true
    wait 2>/dev/null || true
    pids=()
}

for mode in idle load add; do
    echo "API $mode:"
    run "$mode" "$mode"
    grep -E '^[0-9]+ devices: ' "$work/$mode.cli" | sed 's/^/  runner: /'
done

/usr/bin/python3 - "$work/load.changes" "$work/load.server" "$work/add.changes" "$work/add.server" <<'PY'
import datetime, json, re, sys
data = json.load(open(sys.argv[1]))
today = datetime.date.today()
def when(stamp):
    clock = datetime.datetime.strptime(stamp, "%H:%M:%S.%f").time()
    return datetime.datetime.combine(today, clock).timestamp()
def parse(path):
    reports, closes = {}, {}
    for line in open(path, errors="replace"):
        match = re.match(r"(\S+) (\S+) Thermo-Box (\d+) .* (-?\d+\.\d+) °C", line)
        if match:
            reports.setdefault((int(match[3]), round(float(match[4]), 3)), when(match[1]))
            continue
        match = re.match(r"(\S+) \S+ relay:(\d+) closed the connection", line)
        if match:
            closes.setdefault(int(match[2]), when(match[1]))
    return reports, closes
reports, closes = parse(sys.argv[2])
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
added = json.load(open(sys.argv[3]))["added"]
added_reports, _ = parse(sys.argv[4])
print(f"500 devices added in one request: answered {added['status']} in {(added['answered'] - added['asked']) * 1000:.1f} ms")
firsts = [added_reports[(serial, 33.333)] - added["answered"] for serial in range(1001, 1501)
          if (serial, 33.333) in added_reports]
percentiles("  answer to each added device's first report", firsts, "one period, 1500 ms, after its connect")
PY
