#!/usr/bin/env bash
# The static analysis: clang-tidy, with the checks of .clang-tidy, over every file the default
# build compiles (the compilation database of build/, preset default). Any finding fails it.
# It takes minutes on two cores (the static analyzer runs on every file), so it is a stage of the
# test command of its own, not a CTest test; the format check (style.format) is one.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh build tidy
cmake --preset default >/dev/null
run-clang-tidy -p build -j 2 -quiet -clang-tidy-binary clang-tidy
