#!/usr/bin/env bash
# Builds Mimicbox and runs every test: the whole suite on the Release build (-O3), whose Debian
# package is built, unpacked and checked; a short run of every fuzz target and the unit tests, both
# under sanitizers in one Clang build; and the live control's threads under ThreadSanitizer.
# Warnings are errors in every build here.
set -euo pipefail
cd "$(dirname "$0")/.."
MIMICBOX_WERROR=ON bash scripts/build.sh
jobs="$(nproc)"

echo "== on Clang under AddressSanitizer and UndefinedBehaviorSanitizer: every fuzz target, then the unit tests"
CXX=clang++ cmake -S . -B build-asan -G Ninja -DMIMICBOX_FUZZ=ON -DMIMICBOX_WERROR=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-asan --parallel "$jobs"
# The fuzz budget is shared between the targets, each starting from its seed corpus.
fuzzers=(receive scenario control line_command session server_record csv)
fuzz_seconds=$(( ${FUZZ_SECONDS:-30} / ${#fuzzers[@]} ))
corpus="$(mktemp -d)"
trap 'rm -rf "$corpus"' EXIT
for fuzzer in "${fuzzers[@]}"; do
    mkdir -p "$corpus/$fuzzer"
    case "$fuzzer" in
        scenario) cp examples/scenarios/*.toml "$corpus/$fuzzer/" ;;
        line_command) cp tests/fuzz/corpus/lines/* "$corpus/$fuzzer/" ;;
        server_record) cp tests/fuzz/corpus/server/* "$corpus/$fuzzer/" ;;
        *) cp tests/fuzz/corpus/"$fuzzer"/* "$corpus/$fuzzer/" ;;
    esac
    echo "-- ${fuzzer}_fuzzer, ${fuzz_seconds} s"
    # A finding prints whole: the input that caused it, and where.
    if ! ./build-asan/"${fuzzer}_fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=0 -max_len=4096 \
        -artifact_prefix="$corpus/" "$corpus/$fuzzer" > "$corpus/$fuzzer.log" 2>&1; then
        cat "$corpus/$fuzzer.log"
        exit 1
    fi
    tail -n 1 "$corpus/$fuzzer.log"
done
# Left out here: the sanitizer runtime itself needs descriptors (it probes memory through a pipe), so
# a server run out of them reports false errors; the other builds run that test.
(cd build-asan && ctest --output-on-failure --timeout 300 -E 'DoesNotAnswer|OutOfDescriptors' | tail -n 3)

echo "== the live control's threads under ThreadSanitizer"
CXX=clang++ cmake -S . -B build-tsan -G Ninja -DMIMICBOX_WITH_QT=OFF -DMIMICBOX_WERROR=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS="-fsanitize=thread" >/dev/null
cmake --build build-tsan --parallel "$jobs" --target control_tests
TSAN_OPTIONS="halt_on_error=1 suppressions=tests/tsan.supp" ./build-tsan/control_tests | tail -n 3

echo "== the Debian package"
bash tests/package/check-package.sh build

echo "== all tests"
cd build
ctest --output-on-failure --timeout 300
