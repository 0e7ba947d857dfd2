#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer
# (the fuzz preset, into build-fuzz/) and runs each for a bounded time: SOLID_FUZZ_SECONDS, 45 s
# by default. Inputs that crash are kept in build-fuzz/fuzz/artifacts/.
# Longer runs by hand: SOLID_FUZZ_SECONDS=1200 scripts/fuzz_stage.sh (or see fuzz/fuzz_*.cpp).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh build test fuzz
# Given every time, so that a longer run by hand does not stay in the cache.
cmake --preset fuzz -DSOLID_FUZZ_SECONDS="${SOLID_FUZZ_SECONDS:-45}"
cmake --build --preset fuzz
ctest --preset fuzz -j2
