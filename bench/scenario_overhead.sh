#!/usr/bin/env bash
# Measures what scenarios cost: examples/scenarios/plant-1000.toml (every profile, a tenth of the
# Relay-Boxes toggling themselves) with faults on 1 % of the reports, against the same 1,000 devices
# with fixed values, each SECONDS_TO_RUN seconds (default 60) against mimicbox-server on loopback.
# Prints CPU as a share of one core, peak RSS and report lateness for both, and the overhead.
# Needs a built tree: see bench/common.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
seconds=${SECONDS_TO_RUN:-60}
port=54798

# The plant with four kinds of fault, a quarter of a percent of the reports each.
cp examples/scenarios/plant-1000.toml examples/scenarios/kiln.csv "$work/"
for kind in split garbage double-nul stale-clock; do
    printf '\n[[fault]]\nkind = "%s"\nprobability = 0.0025\n' "$kind" >> "$work/plant-1000.toml"
done

"$build/mimicbox-server" --quiet --port "$port" < /dev/null > /dev/null 2>&1 &
pids+=($!)
sleep 0.3

measure() {
    local name=$1
    shift
    "$build/mimicbox-cli" --quiet --port "$port" --duration "$((seconds + 4))" "$@" > "$work/$name.txt" 2>&1 &
    local cli=$!
    sleep 4
    local before after
    before=$(cpu_of "$cli")
    sleep "$((seconds - 2))"
    after=$(cpu_of "$cli")
    local rss
    rss=$(rss_of "$cli")
    wait "$cli" || true
    grep -E '^[0-9]+ devices: ' "$work/$name.txt" | tail -n 1 | awk -v name="$name" -v b="$before" -v a="$after" \
        -v w="$((seconds - 2))" -v rss="$rss" '
        {
            for (i = 1; i <= NF; i++) if ($i == "p99") p99 = $(i + 1)
            cpu = (a - b) / w * 100
            faults = ($NF == "faults") ? $(NF - 1) : 0
            printf "%-9s CPU %6.2f %% of a core, peak RSS %6.1f MB, %s reports, %s faults, lateness p99 %s ms\n", \
                   name, cpu, rss, $3, faults, p99
            print cpu > "/dev/stderr"
        }' 2>> "$work/cpu"
}

measure fixed --device thermo:1-500 --device relay:1001-1500 --temperature 20 --ramp-up 2
measure scenario --scenario "$work/plant-1000.toml"
awk 'NR == 1 {fixed = $1} NR == 2 {scenario = $1} END {
    printf "overhead: %+.1f %% CPU (target at most +20 %%)\n", (scenario - fixed) / fixed * 100 }' "$work/cpu"
