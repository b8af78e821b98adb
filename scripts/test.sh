#!/usr/bin/env bash
# Builds Mimicbox and runs every test: a short fuzz run of the incoming path under sanitizers, the
# unit tests once more under sanitizers, then the whole suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
jobs="$(nproc)"

echo "== fuzzing the incoming records (${FUZZ_SECONDS:-30} s)"
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DMIMICBOX_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --parallel "$jobs" --target receive_fuzzer
corpus="$(mktemp -d)"
trap 'rm -rf "$corpus"' EXIT
cp tests/fuzz/corpus/* "$corpus"/
./build-fuzz/receive_fuzzer -max_total_time="${FUZZ_SECONDS:-30}" -print_final_stats=0 "$corpus" 2>&1 | tail -n 3

echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DMIMICBOX_WITH_QT=OFF -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined" >/dev/null
cmake --build build-asan --parallel "$jobs"
(cd build-asan && ctest --output-on-failure --timeout 300 -E 'DoesNotAnswer' | tail -n 3)

echo "== all tests"
cd build
ctest --output-on-failure --timeout 300
