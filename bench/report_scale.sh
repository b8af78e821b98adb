#!/usr/bin/env bash
# Measures `mimicbox-cli report` as plants grow: for DEVICES devices (default 10,000, 100,000 and
# 1,000,000, half Thermo-Box, half Relay-Box), a log of a minute of their life (connect, four
# reports each, a failed expectation for one device in a thousand) is made, and the report written
# from it. Prints the log's size, the time taken, peak memory and the HTML file's size.
# Needs a built tree: see bench/common.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
sizes=${DEVICES:-"10000 100000 1000000"}

cat > "$work/plant.toml" <<'TOML'
[expect]
connection = "kept"
TOML

printf '%-9s %10s %9s %12s %10s\n' devices "log MB" seconds "peak MB" "HTML MB"
for devices in $sizes; do
    /usr/bin/python3 - "$devices" "$work/run.jsonl" <<'PY'
import sys
devices, path = int(sys.argv[1]), sys.argv[2]
start = 1796713287000
def iso(ms):
    import time
    return time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(ms // 1000)) + ".%03dZ" % (ms % 1000)
with open(path, "w") as out:
    out.write('{"t":0,"time":"%s","event":"run","run":"bench","plant":"bench","shard":"0/1"}\n' % iso(start))
    half = devices // 2
    names = [("thermo:%d" % (n + 1), 16) for n in range(half)] + [("relay:%d" % (100001 + n), 8) for n in range(devices - half)]
    for i, (name, kind) in enumerate(names):
        t = i * 20.0 / devices
        out.write('{"t":%.6f,"time":"%s","device":"%s","event":"connected"}\n' % (t, iso(start + int(t * 1000)), name))
    for report in range(4):
        for i, (name, kind) in enumerate(names):
            t = i * 20.0 / devices + 1.5 * (report + 1)
            serial = name.split(":")[1]
            body = "%d, 21.500000;" % (1796713287 + int(t)) if kind == 16 else "%d, 1, 0;" % (1796713287 + int(t))
            out.write('{"t":%.6f,"time":"%s","device":"%s","event":"sent","record":"TolvarkControl: %d, %s, 4, 0, 0, 1, 10;%s","scheduled":%.6f,"lateness":0.00005}\n'
                      % (t, iso(start + int(t * 1000)), name, kind, serial, body, t))
    for i, (name, kind) in enumerate(names):
        if i % 1000 == 7:
            out.write('{"t":30,"time":"%s","device":"%s","event":"closed","reason":"Connection reset by peer"}\n' % (iso(start + 30000), name))
PY
    log_mb=$(du -m "$work/run.jsonl" | cut -f1)
    /usr/bin/time -f "%e %M" -o "$work/time" "$build/mimicbox-cli" report "$work/run.jsonl" -o "$work/report.html" \
        --scenario "$work/plant.toml" 2> "$work/errors" || { cat "$work/errors"; exit 1; }
    read -r seconds peak < "$work/time"
    html_mb=$(awk -v b="$(stat -c %s "$work/report.html")" 'BEGIN {printf "%.1f", b / 1048576}')
    printf '%-9s %10s %9s %12.0f %10s\n' "$devices" "$log_mb" "$seconds" "$((peak / 1024))" "$html_mb"
done
