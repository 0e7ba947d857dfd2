#!/usr/bin/env bash
# Installs what the tests need, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh build test
cmake --preset default
cmake --build --preset default
ctest --preset default -j2
scripts/fuzz_stage.sh
