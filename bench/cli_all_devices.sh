#!/usr/bin/env bash
# Measures mimicbox-cli with all 32 devices against the reference server for 60 s: records per
# second, CPU time, resident memory and the report period's deviation. Prints its figures.
# Needs a built tree (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
port=54798
seconds=${SECONDS_TO_RUN:-60}

"$build/mimicbox-server" --quiet --port "$port" < /dev/null > /dev/null &
pids+=($!)
sleep 0.3

summary="$work/summary.txt"
"$build/mimicbox-cli" --all --quiet --port "$port" --duration "$seconds" > "$summary" &
cli=$!
sleep $((seconds - 5))
hwm=$(awk '/VmHWM/ {print $2, $3}' /proc/$cli/status)
ticks=$(getconf CLK_TCK)
read -r user system < <(awk '{print $14, $15}' /proc/$cli/stat)
wait $cli

awk -v seconds="$seconds" -v uticks="$user" -v sticks="$system" -v hz="$ticks" -v hwm="$hwm" '
    /reports,/ {
        devices++; reports += $2
        nominal = ($1 ~ /^relay/) ? 500 : 1500
        for (i = 1; i <= NF; i++) {
            if ($i == "mean") { d = ($(i + 1) - nominal) / nominal * 100; if (d < 0) d = -d; if (d > worstmean) worstmean = d }
            if ($i == "p99") { p = $(i + 2) + 0; if (p > worstp99) worstp99 = p }
            if ($i == "worst") { w = $(i + 1) + 0; if (w > worst) worst = w }
        }
    }
    END {
        cpu = (uticks + sticks) / hz
        measured = seconds - 5
        printf "%d devices, %d reports in %d s = %.1f records/s\n", devices, reports, seconds, reports / seconds
        printf "CPU %.2f s (user %.2f s, system %.2f s) in the first %d s = %.3f %% of a core\n", \
               cpu, uticks / hz, sticks / hz, measured, cpu / measured * 100
        printf "peak resident memory %s\n", hwm
        printf "period: mean off nominal by %.3f %% at most, p99 deviation %.2f ms at most, worst interval %.2f ms\n", \
               worstmean, worstp99, worst
    }' "$summary"
grep -E '^(thermo:1|relay:1001):' "$summary"
