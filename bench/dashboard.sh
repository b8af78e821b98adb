#!/usr/bin/env bash
# Measures what the dashboard costs: 10,000 devices (half Thermo-Box, half Relay-Box) against
# mimicbox-server for SECONDS_TO_RUN seconds (default 60) without a page, then the same with the page
# open in headless Chromium, loaded before the window. Prints the runner's CPU and, over the window,
# the lateness p99 (from GET /metrics, as its bucket's bound) for both, the time from page load to
# its first full render, and the memory of the history. Last it runs the plant for
# REPORT_SECONDS (default 600) with --report and prints the time to write the report, its size, and
# the time Chromium takes to open and render it (REPORT_SECONDS=0 leaves this out).
# Needs a built tree (bench/common.sh), chromium, chromium-driver and python3-selenium.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
seconds=${SECONDS_TO_RUN:-60}
report_seconds=${REPORT_SECONDS:-600}
port=54797
devices="--device thermo:1-5000 --device relay:1001-6000"

"$build/mimicbox-server" --quiet --port "$port" < /dev/null > /dev/null 2>&1 &
pids+=($!)
sleep 0.3

# Runs the plant for the window, with the page open when $1 is "page"; prints one row.
measure() {
    local name=$1
    # shellcheck disable=SC2086
    "$build/mimicbox-cli" --quiet --ramp-up 2 --duration "$((seconds + 14))" $devices --port "$port" \
        --control 127.0.0.1:0 > "$work/$name.txt" 2>&1 &
    local cli=$!
    pids+=("$cli")
    for _ in $(seq 50); do grep -q '^dashboard: ' "$work/$name.txt" && break; sleep 0.1; done
    local page
    page=$(sed -n 's/^dashboard: //p' "$work/$name.txt")
    sleep 6
    if [ "$name" = page ]; then
        /usr/bin/python3 bench/page_timer.py "$page" "$((seconds + 6))" > "$work/page.timer" 2>&1 &
        pids+=($!)
    fi
    # The browser's start and the page's first load are over before the window opens.
    sleep 6
    local before after memory
    curl -s "${page}metrics" > "$work/$name.before"
    before=$(cpu_of "$cli")
    sleep "$seconds"
    after=$(cpu_of "$cli")
    curl -s "${page}metrics" > "$work/$name.after"
    memory=$(curl -s "${page}run" | /usr/bin/python3 -c 'import json,sys; print("%.1f" % (json.load(sys.stdin)["history_bytes"] / 2**20))')
    wait "$cli" || true
    awk -v name="$name" -v b="$before" -v a="$after" -v w="$seconds" -v mem="$memory" \
        -v p99="$(python3 bench/window_p99.py "$work/$name.before" "$work/$name.after")" \
        'BEGIN { printf "%-10s | %7.2f %% | %20s | %6s MB\n", name, (a - b) / w * 100, p99, mem }'
}

printf '%-10s | %-9s | %-20s | %s\n' run "cli CPU" "lateness p99" "history"
measure no-page
measure page
grep 'first render' "$work/page.timer" || cat "$work/page.timer"

[ "$report_seconds" -gt 0 ] || exit 0
echo
echo "== a report of 10,000 devices over $report_seconds s"
# shellcheck disable=SC2086
"$build/mimicbox-cli" --quiet --ramp-up 2 --duration "$report_seconds" $devices --port "$port" \
    --report "$work/report.html" > "$work/report.txt" 2>&1 &
cli=$!
pids+=("$cli")
# The report is written after the summary: the time from the summary line to the end of the process.
while ! grep -qE '^[0-9]+ devices: ' "$work/report.txt" 2>/dev/null; do sleep 0.05; done
start=$(date +%s.%N)
wait "$cli" || true
end=$(date +%s.%N)
awk -v s="$start" -v e="$end" 'BEGIN { printf "written in %.2f s (from the summary to the exit)\n", e - s }'
echo "size: $(du -k "$work/report.html" | cut -f1) KB"
/usr/bin/python3 bench/page_timer.py "file://$work/report.html" 0 | sed 's/first render/opened and rendered in Chromium/'
