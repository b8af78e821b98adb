#!/usr/bin/env bash
# What recording costs: 1,000 devices through `mimicbox-cli record` and directly, side by side.
#  - the latency the proxy adds, measured from both ends in one process (bench/proxy_latency.cpp):
#    1,000 connections send a record every 1.5 s straight to a sink, then through the proxy to it;
#  - the proxy's CPU and peak RSS beside the runner's own CPU, for mimicbox-cli with 500 Thermo-Boxes
#    and 500 Relay-Boxes recorded into mimicbox-server for SECONDS_TO_RUN seconds (default 30);
#  - the same plant through bench/forward_floor.cpp, a forwarder that does nothing but receive and
#    send through io_uring: the floor under any proxy's CPU, beside the runner feeding it;
#  - the capture's size per device-hour;
#  - the runner's lateness replaying that capture's 1,000 devices in values mode.
# Needs a built tree (bench/common.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
seconds=${SECONDS_TO_RUN:-30}
c++ -O2 -std=c++20 -o "$work/proxy_latency" bench/proxy_latency.cpp
c++ -O2 -std=c++20 -o "$work/forward_floor" bench/forward_floor.cpp -luring

echo "== latency, 1,000 connections, a record every 1.5 s each, ${seconds} s"
direct=$("$work/proxy_latency" 54911 127.0.0.1 54911 1000 "$seconds")
"$build/mimicbox-cli" record --listen 127.0.0.1:54912 --server 127.0.0.1:54913 --out "$work/latency.jsonl" > /dev/null &
pids+=($!)
sleep 0.3
proxied=$("$work/proxy_latency" 54913 127.0.0.1 54912 1000 "$seconds")
kill "${pids[-1]}"
printf '%-8s %s\n' direct "$direct" proxied "$proxied"
awk -v d="$direct" -v p="$proxied" 'BEGIN {
    n = split("p50 p99 max", q, " ")
    for (i = 1; i <= n; ++i) {
        match(d, q[i] " [0-9.]+"); dv = substr(d, RSTART + length(q[i]) + 1, RLENGTH - length(q[i]) - 1)
        match(p, q[i] " [0-9.]+"); pv = substr(p, RSTART + length(q[i]) + 1, RLENGTH - length(q[i]) - 1)
        printf "added %s: %.3f ms\n", q[i], pv - dv
    }
}'

# Feeds the forwarder $1 (a pid, listening on port $2) with mimicbox-cli's 1,000 devices for the
# window; prints "NAME CPU %, ... the runner feeding it CPU %" with $3 as NAME, and the forwarder's
# peak RSS after it when $4 is "rss".
feed() {
    local forwarder=$1 port=$2 name=$3
    "$build/mimicbox-cli" --quiet --device thermo:1-500 --device relay:1001-1500 --port "$port" \
        --duration "$((seconds + 4))" > /dev/null 2>&1 &
    local cli=$!
    pids+=("$cli")
    sleep 2
    local forwarder_before cli_before forwarder_after cli_after rss=""
    forwarder_before=$(cpu_of "$forwarder"); cli_before=$(cpu_of "$cli")
    sleep "$seconds"
    forwarder_after=$(cpu_of "$forwarder"); cli_after=$(cpu_of "$cli")
    [ "${4:-}" = rss ] && rss=", peak RSS $(rss_of "$forwarder") MB"
    wait "$cli" || true
    kill "$forwarder"; wait "$forwarder" 2>/dev/null || true
    awk -v fb="$forwarder_before" -v fa="$forwarder_after" -v cb="$cli_before" -v ca="$cli_after" -v w="$seconds" \
        -v name="$name" -v rss="$rss" 'BEGIN {
        printf "%s CPU %.2f %% of a core%s; the runner feeding it %.2f %%\n", name, (fa - fb) / w * 100, rss, (ca - cb) / w * 100
    }'
}

echo
echo "== cost: mimicbox-cli, 1,000 devices, recorded into mimicbox-server for ${seconds} s"
"$build/mimicbox-server" --quiet --port 54914 < /dev/null > /dev/null 2>&1 &
pids+=($!)
"$build/mimicbox-cli" record --listen 127.0.0.1:54915 --server 127.0.0.1:54914 --out "$work/plant.jsonl" > /dev/null &
pids+=($!)
sleep 0.3
feed "${pids[-1]}" 54915 proxy rss
bytes=$(stat -c %s "$work/plant.jsonl")
awk -v bytes="$bytes" -v total="$((seconds + 4))" 'BEGIN {
    printf "capture: %.1f MB for 1,000 devices over %d s: %.2f MB per device-hour\n", bytes / 1e6, total, bytes / 1e6 / 1000 / (total / 3600)
}'

echo
echo "== the floor: the same plant through a forwarder that only receives and sends, ${seconds} s"
"$work/forward_floor" 54916 54914 &
pids+=($!)
sleep 0.3
feed "${pids[-1]}" 54916 "floor forwarder"

echo
echo "== a values replay of those 1,000 devices"
"$build/mimicbox-cli" --quiet --replay "$work/plant.jsonl" --port 54914 2>&1 | grep -E '^1000 devices'
