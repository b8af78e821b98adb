#!/usr/bin/env bash
# Measures mimicbox-cli and mimicbox-server at 32, 1,000, 5,000 and 10,000 devices (half Thermo-Box,
# half Relay-Box) on loopback, SECONDS_TO_RUN seconds each (default 120), and prints one row per size:
# CPU as a share of one core and peak RSS of both programs, records/s, report lateness, missed ticks
# and the period p99 as the server sees it. First it prints the floor of this machine: the CPU and
# the wake-up lateness of a process that only wakes as often as 32 devices report. Last it restarts
# the server under 10,000 devices that reconnect with backoff, and prints how long they took to
# return and the largest burst of connects the server saw in any 100 ms.
# Needs a built tree: see bench/common.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
seconds=${SECONDS_TO_RUN:-120}
sizes=${SIZES:-"32 1000 5000 10000"}
port=54799


start_server() {
    "$build/mimicbox-server" --quiet --stats --port "$port" < /dev/null > "$1" 2>&1 &
    server=$!
    pids+=("$server")
    for _ in $(seq 50); do grep -q listening "$1" && return; sleep 0.1; done
    echo "the server did not start" >&2
    exit 1
}

device_args() {
    local half=$(($1 / 2))
    echo "--device thermo:1-$half --device relay:1001-$((1000 + $1 - half))"
}

# What the machine itself costs at the 32 devices' rate of wake-ups (43 a second, spread out).
c++ -O2 -std=c++20 -o "$work/timer_floor" bench/timer_floor.cpp
"$work/timer_floor" 43 "$((seconds / 2))"
echo

printf '%-7s | %-9s | %-10s | %-9s | %-10s | %-9s | %-13s | %-13s | %-12s | %-6s | %s\n' devices "cli CPU" "cli RSS" \
    "srv CPU" "srv RSS" records/s "lateness p50" "lateness p99" "lateness max" missed "server period p99"
for size in $sizes; do
    start_server "$work/server.$size"
    # shellcheck disable=SC2046
    "$build/mimicbox-cli" --quiet --ramp-up 2 --duration "$((seconds + 5))" $(device_args "$size") \
        --port "$port" > "$work/cli.$size" 2>&1 &
    cli=$!
    pids+=("$cli")
    # Measure the steady state: from after the ramp-up to just before the end.
    sleep 5
    cli0=$(cpu_of "$cli"); srv0=$(cpu_of "$server")
    sleep "$((seconds - 3))"
    cli1=$(cpu_of "$cli"); srv1=$(cpu_of "$server")
    clirss=$(rss_of "$cli"); srvrss=$(rss_of "$server")
    wait "$cli" || true
    kill "$server"; wait "$server" 2>/dev/null || true
    window=$((seconds - 3))
    run=$(grep -E '^[0-9]+ devices: ' "$work/cli.$size" | tail -n 1)
    period=$(grep 'period deviation p99' "$work/server.$size" | tail -n 20 | head -n 15 |
             sed 's/.*p99 \([0-9.]*\) ms.*/\1/' | sort -g | tail -n 1)
    rate=$(grep 'records/s' "$work/server.$size" | tail -n 20 | head -n 15 |
           sed 's/.*records\/s \([0-9.]*\),.*/\1/' | awk '{s += $1; n++} END {if (n) printf "%.0f", s / n}')
    echo "$run" | awk -v size="$size" -v c0="$cli0" -v c1="$cli1" -v s0="$srv0" -v s1="$srv1" -v w="$window" \
        -v crss="$clirss" -v srss="$srvrss" -v rate="$rate" -v period="$period" '
        {
            for (i = 1; i <= NF; i++) {
                if ($i == "p50") p50 = $(i + 1)
                if ($i == "p99") p99 = $(i + 1)
                if ($i == "max") mx = $(i + 1)
                if ($i == "missed") missed = $(i - 1)
            }
            printf "%-7d | %7.2f %% | %7.1f MB | %7.2f %% | %7.1f MB | %9s | %10s ms | %10s ms | %9s ms | %-6s | %s ms\n",
                   size, (c1 - c0) / w * 100, crss, (s1 - s0) / w * 100, srss, rate, p50, p99, mx, missed, period
        }'
done

# The restart case: 10,000 devices with backoff from 0.5 s; the server goes away for 3 s.
restart_size=${RESTART_SIZE:-10000}
start_server "$work/restart.1"
# shellcheck disable=SC2046
"$build/mimicbox-cli" --quiet --ramp-up 2 --reconnect 0.5 --duration 90 $(device_args "$restart_size") \
    --port "$port" > "$work/cli.restart" 2>&1 &
cli=$!
pids+=("$cli")
sleep 8
kill "$server"; wait "$server" 2>/dev/null || true
sleep 3
start_server "$work/restart.2"
restarted=$(date +%s.%N)
back=""
for _ in $(seq 700); do
    connected=$(grep -o '^.*devices [0-9]*' "$work/restart.2" | tail -n 1 | awk '{print $NF}' || true)
    if [ "${connected:-0}" -ge "$restart_size" ]; then
        back=$(awk -v a="$restarted" -v b="$(date +%s.%N)" 'BEGIN {printf "%.1f", b - a}')
        break
    fi
    sleep 0.1
done
burst=$(sed -n 's/.*connects per 100 ms \([0-9]*\),.*/\1/p' "$work/restart.2" | sort -n | tail -n 1)
kill "$cli" "$server" 2>/dev/null || true
echo
echo "restart under $restart_size devices with --reconnect 0.5: all back after ${back:-more than 70} s" \
     "(server's stats, to within 1 s); largest burst ${burst:-0} connects in 100 ms"
