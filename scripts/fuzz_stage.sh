#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer
# (the fuzz preset, into build-fuzz/) and runs each for a bounded time: SOLID_FUZZ_SECONDS, 45 s
# by default. Inputs that crash are kept in build-fuzz/fuzz/artifacts/.
# Longer runs by hand: SOLID_FUZZ_SECONDS=1200 scripts/fuzz_stage.sh (or see fuzz/fuzz_*.cpp).
# SOLID_ONLY=build only installs and builds, SOLID_ONLY=test only fuzzes (scripts/test.sh runs
# the two apart).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${SOLID_ONLY:-}" != test ]; then
    scripts/install_deps.sh build test fuzz
fi
# Given every time, so that a longer run by hand does not stay in the cache.
cmake --preset fuzz -DSOLID_FUZZ_SECONDS="${SOLID_FUZZ_SECONDS:-45}" >/dev/null
if [ "${SOLID_ONLY:-}" != test ]; then
    cmake --build --preset fuzz
fi
if [ "${SOLID_ONLY:-}" != build ]; then
    ctest --preset fuzz -j2
fi
