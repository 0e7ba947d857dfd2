#!/usr/bin/env bash
# Installs what the tests need, builds everything and runs every test. Says how long each stage
# took.
set -euo pipefail
cd "$(dirname "$0")/.."

started=$(date +%s)
# Runs one stage and says how long it took.
stage() {
    local what=$1 since
    shift
    since=$(date +%s)
    "$@"
    echo "test: $what took $(($(date +%s) - since)) s"
}

stage "installing the build and test packages" scripts/install_deps.sh build test capture web
stage "building" bash -c 'cmake --preset default && cmake --build --preset default'
stage "the CTest suite" ctest --preset default -j2 --no-tests=error
stage "the static analysis (clang-tidy)" scripts/static_analysis.sh
stage "the sanitizer stage (installing, building, testing)" scripts/test_sanitizers.sh
stage "the Windows stage (installing, building, testing)" tests/windows/run.sh
stage "the fuzz stage (installing, building, fuzzing)" scripts/fuzz_stage.sh
echo "test: everything passed; the whole command took $(($(date +%s) - started)) s"
