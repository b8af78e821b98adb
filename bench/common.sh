# shellcheck shell=bash disable=SC2034
# Shared by the benchmarks, sourced from the source tree's root after `cd`.
# The built tree: BUILD_DIR (default build, which scripts/build.sh makes as a Release build).
build=${BUILD_DIR:-build}

# CPU seconds of a running process so far, all its threads, to the nanosecond.
cpu_of() { cat /proc/"$1"/task/*/schedstat | awk '{ns += $1} END {printf "%.6f", ns / 1e9}'; }
# Peak resident memory of a running process, in MB.
rss_of() { awk '/VmHWM/ {printf "%.1f", $2 / 1024}' "/proc/$1/status"; }

# A scratch folder and the processes a benchmark starts: both go when it ends, however it ends.
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
