#!/usr/bin/env bash
# Builds Mimicbox and runs every test: the programs' tests (on loopback, against the reference server,
# the widgets on the offscreen platform, the examples) on the Release build (-O3), whose Debian
# package is built, unpacked and checked; every fuzz target for a short while and the unit tests,
# in one Clang build under AddressSanitizer and UndefinedBehaviorSanitizer; and the live control's
# threads under ThreadSanitizer. Warnings are errors in every build here.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"
stage() { echo "== $(date +%T) $*"; }

stage "the Release build"
MIMICBOX_WERROR=ON MIMICBOX_UNIT_TESTS=OFF bash scripts/build.sh

stage "the programs' tests on it: in parallel, the timing-sensitive ones alone"
(cd build && ctest --output-on-failure -j "$((jobs + 1))")

stage "the Debian package"
bash tests/package/check-package.sh build

# The fuzz budget is shared between the targets, each starting from its seed corpus, two at a time.
fuzzers=(receive scenario control line_command session server_record csv log capture pcap
         http guard data_path report proxy replay server_session arguments)
unit_tests=(rules_tests dialog_tests sim_tests tools_tests capture_tests control_tests)

# Only what runs under the sanitizers is built there: the unit tests and the fuzz targets, no window.
# Unoptimised, which halves its compile time: the tests and the short fuzzing run slower but whole.
stage "a Clang build under AddressSanitizer and UndefinedBehaviorSanitizer, with the fuzz targets"
CXX=clang++ cmake -S . -B build-asan -G Ninja -DMIMICBOX_FUZZ=ON -DMIMICBOX_WERROR=ON \
    -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS="-O0 -gline-tables-only" >/dev/null
cmake --build build-asan --parallel "$jobs" --target "${unit_tests[@]}" "${fuzzers[@]/%/_fuzzer}"
# At least two seconds each: the first of them goes to reading the seed corpus.
fuzz_seconds=$(( ${FUZZ_SECONDS:-36} / ${#fuzzers[@]} ))
((fuzz_seconds >= 2)) || fuzz_seconds=2
stage "every fuzz target, ${fuzz_seconds} s each, two at a time"
corpus="$(mktemp -d)"
trap 'rm -rf "$corpus"' EXIT
fuzz() {
    local fuzzer=$1
    mkdir -p "$corpus/$fuzzer" "$corpus/$fuzzer.found"
    case "$fuzzer" in
        scenario) cp examples/scenarios/*.toml "$corpus/$fuzzer/" ;;
        line_command) cp tests/fuzz/corpus/lines/* "$corpus/$fuzzer/" ;;
        server_record) cp tests/fuzz/corpus/server/* "$corpus/$fuzzer/" ;;
        *) cp tests/fuzz/corpus/"$fuzzer"/* "$corpus/$fuzzer/" ;;
    esac
    # A finding prints whole: where, and the input that caused it, byte for byte.
    if ! ./build-asan/"${fuzzer}_fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=0 -max_len=4096 \
        -artifact_prefix="$corpus/$fuzzer.found/" "$corpus/$fuzzer" > "$corpus/$fuzzer.log" 2>&1; then
        cat "$corpus/$fuzzer.log"
        for found in "$corpus/$fuzzer.found"/*; do echo "== $found"; od -An -c "$found"; done
        return 1
    fi
    echo "-- ${fuzzer}_fuzzer: $(tail -n 1 "$corpus/$fuzzer.log")"
}
for ((i = 0; i < ${#fuzzers[@]}; i += 2)); do
    fuzz "${fuzzers[i]}" & first=$!
    second=""
    if ((i + 1 < ${#fuzzers[@]})); then fuzz "${fuzzers[i + 1]}" & second=$!; fi
    wait "$first" && { [ -z "$second" ] || wait "$second"; } || exit 1
done

stage "the unit tests under the sanitizers"
(cd build-asan && ctest --output-on-failure -j "$((jobs + 1))" -L unit | tail -n 3)

stage "the live control's threads under ThreadSanitizer"
CXX=clang++ cmake -S . -B build-tsan -G Ninja -DMIMICBOX_WITH_QT=OFF -DMIMICBOX_WERROR=ON -DCMAKE_BUILD_TYPE= \
    -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only -fsanitize=thread" >/dev/null
cmake --build build-tsan --parallel "$jobs" --target control_tests
TSAN_OPTIONS="halt_on_error=1 suppressions=tests/tsan.supp" ./build-tsan/control_tests | tail -n 3
stage "done"
