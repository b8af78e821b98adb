#!/usr/bin/env bash
# Configures and builds Mimicbox into build/ (a Release build unless BUILD_TYPE says otherwise),
# installing what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" \
    -DMIMICBOX_WERROR="${MIMICBOX_WERROR:-OFF}" -DMIMICBOX_UNIT_TESTS="${MIMICBOX_UNIT_TESTS:-ON}" >/dev/null
cmake --build build --parallel "$(nproc)"
