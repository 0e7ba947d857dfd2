#!/usr/bin/env bash
# Builds the show (installing what the build needs first) and plays it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh build run
cmake --preset default >/dev/null
cmake --build --preset default
exec build/solid-objects
