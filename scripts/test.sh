#!/usr/bin/env bash
# Installs what the tests need, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh build test capture
cmake --preset default
cmake --build --preset default
ctest --preset default -j2 --no-tests=error
scripts/test_sanitizers.sh
tests/windows/run.sh
scripts/fuzz_stage.sh
