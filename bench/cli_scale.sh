#!/usr/bin/env bash
# Measures mimicbox-cli against the least a runner can do, in one run against one mimicbox-server
# --quiet: at 32 devices, 10,000, and as many as the descriptor limit holds (half Thermo-Box, half
# Relay-Box), SECONDS_TO_RUN seconds each (default 30), it runs bench/send_floor.cpp with one send()
# per record and with the records due in one io_uring submission, then mimicbox-cli with --io uring
# and --io epoll. For each it prints CPU as a share of one core, µs of CPU per record, peak RSS,
# report lateness, missed ticks and the server's CPU, and mimicbox-cli's ratio to the batched floor.
# Ratios measured in one run are what count: absolute figures move by a few points between runs.
# First it prints the floor of this machine's wake-ups: a process that only wakes as often as 32
# devices report. Last it restarts the server under 10,000 devices that reconnect with backoff, and
# prints how long they took to return and the largest burst of connects the server saw in 100 ms.
# Needs a built tree: see bench/common.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
seconds=${SECONDS_TO_RUN:-30}
limit=$(ulimit -Hn)
sizes=${SIZES:-"32 10000 $((limit - 100))"}
port=54799

start_server() {
    "$build/mimicbox-server" --quiet --stats --port "$port" < /dev/null > "$1" 2>&1 &
    server=$!
    pids+=("$server")
    for _ in $(seq 50); do grep -q listening "$1" && return; sleep 0.1; done
    echo "the server did not start" >&2
    exit 1
}

c++ -O2 -std=c++20 -o "$work/timer_floor" bench/timer_floor.cpp
c++ -O2 -std=c++20 -o "$work/send_floor" bench/send_floor.cpp -luring
"$work/timer_floor" 43 "$((seconds / 2))"
echo

row() {  # program size cpu% records/s rss p50 p99 max missed servercpu%
    awk -v name="$1" -v size="$2" -v cpu="$3" -v rate="$4" -v rss="$5" -v p50="$6" -v p99="$7" -v mx="$8" \
        -v missed="$9" -v srv="${10}" -v floor="${11:-}" 'BEGIN {
        ratio = floor > 0 ? sprintf("%.2f", cpu / floor) : "-"
        printf "%-7d | %-13s | %6.2f %% | %6.2f | %7.1f MB | %5s ms | %5s ms | %6s ms | %-6s | %6.2f %% | %s\n",
               size, name, cpu, cpu / 100 / rate * 1e6, rss, p50, p99, mx, missed, srv, ratio }'
}

printf '%-7s | %-13s | %-8s | %-6s | %-10s | %-8s | %-8s | %-9s | %-6s | %-8s | %s\n' devices program CPU "µs/rec" RSS \
    "late p50" "late p99" "late max" missed "srv CPU" "ratio to batched floor"
for size in $sizes; do
    relays=$((size / 2)); thermos=$((size - relays))
    rate=$(awk -v r="$relays" -v t="$thermos" 'BEGIN {printf "%.1f", r * 2 + t * 2 / 3}')
    start_server "$work/server.$size"
    floor=""
    for mode in send uring; do
        s0=$(cpu_of "$server")
        "$work/send_floor" "$mode" 127.0.0.1 "$port" "$relays" "$thermos" "$seconds" > "$work/floor.$mode"
        s1=$(cpu_of "$server")
        read -r cpu rss p50 p99 mx < <(sed -E 's/.*CPU ([0-9.]+) %.*RSS ([0-9.]+) MB.*p50 ([0-9.]+) ms, p99 ([0-9.]+) ms, max ([0-9.]+) ms/\1 \2 \3 \4 \5/' "$work/floor.$mode")
        srv=$(awk -v a="$s0" -v b="$s1" -v w="$seconds" 'BEGIN {printf "%.2f", (b - a) / (w + 1) * 100}')
        row "floor $mode" "$size" "$cpu" "$rate" "$rss" "$p50" "$p99" "$mx" "-" "$srv"
        [ "$mode" = uring ] && floor=$cpu
    done
    # Past about 15,000 connections from one address the kernel's search for a free port holds
    # every connect for long: a large plant connects from two.
    for io in uring epoll; do
        # Each from addresses of its own, clear of the ports the runs before it left in TIME_WAIT.
        sources=""
        [ "$size" -gt 10000 ] && sources=$([ "$io" = uring ] && echo "--source 127.0.0.2 --source 127.0.0.3" ||
                                           echo "--source 127.0.0.4 --source 127.0.0.5")
        # shellcheck disable=SC2086
        "$build/mimicbox-cli" --io "$io" --quiet --ramp-up 2 --duration "$((seconds + 5))" $sources \
            --device "thermo:1-$thermos" --device "relay:1001-$((1000 + relays))" --port "$port" > "$work/cli.$io" 2>&1 &
        cli=$!
        pids+=("$cli")
        # The steady state: from after the ramp-up to just before the end.
        sleep 4
        c0=$(cpu_of "$cli"); s0=$(cpu_of "$server")
        sleep "$((seconds - 1))"
        c1=$(cpu_of "$cli"); s1=$(cpu_of "$server")
        rss=$(rss_of "$cli")
        wait "$cli" || true
        window=$((seconds - 1))
        line=$(grep -E '^[0-9]+ devices: ' "$work/cli.$io" | tail -n 1)
        read -r p50 p99 mx missed < <(echo "$line" | sed -E 's/.*p50 ([0-9.]+) ms, p99 ([0-9.]+) ms, max ([0-9.]+) ms, ([0-9]+) missed.*/\1 \2 \3 \4/')
        cpu=$(awk -v a="$c0" -v b="$c1" -v w="$window" 'BEGIN {printf "%.2f", (b - a) / w * 100}')
        srv=$(awk -v a="$s0" -v b="$s1" -v w="$window" 'BEGIN {printf "%.2f", (b - a) / w * 100}')
        row "cli $io" "$size" "$cpu" "$rate" "$rss" "$p50" "$p99" "$mx" "$missed" "$srv" "$floor"
    done
    kill "$server"; wait "$server" 2>/dev/null || true
done

# The restart case: 10,000 devices with backoff from 0.5 s; the server goes away for 3 s.
restart_size=${RESTART_SIZE:-10000}
start_server "$work/restart.1"
"$build/mimicbox-cli" --quiet --ramp-up 2 --reconnect 0.5 --duration 90 --device "thermo:1-$((restart_size / 2))" \
    --device "relay:1001-$((1000 + restart_size - restart_size / 2))" --port "$port" > "$work/cli.restart" 2>&1 &
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
