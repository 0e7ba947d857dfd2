#!/usr/bin/env bash
# Installs what the tests need, builds everything and runs every test. Says how long each stage
# took.
#
# Most of the CTest suite waits on whole shows played in real time, so the other stages' builds
# (sanitizer, Windows, fuzz) run beside it at a low priority, taking the CPU the suite leaves
# idle; their tests run after it. SOLID_SERIAL=1 runs every stage in turn instead.
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

stage "installing the packages of every stage" \
    scripts/install_deps.sh build test capture web hardening fuzz windows
stage "building" bash -c 'cmake --preset default && cmake --build --preset default'

# The builds of the sanitizer, Windows and fuzz stages.
other_builds='SOLID_ONLY=build scripts/test_sanitizers.sh && SOLID_ONLY=build tests/windows/run.sh &&
    SOLID_ONLY=build scripts/fuzz_stage.sh'

if [ -n "${SOLID_SERIAL:-}" ]; then
    stage "the CTest suite" ctest --preset default -j2 --no-tests=error
    stage "the other stages' builds" bash -c "$other_builds"
else
    log=build/other-builds.log
    echo "test: building the sanitizer, Windows and fuzz stages beside the suite (log: $log)"
    since=$(date +%s)
    # A process group of its own, so that a failing suite or an interrupt stops it too.
    setsid nice -n 15 bash -c "$other_builds" >"$log" 2>&1 &
    builds=$!
    trap 'kill -- -$builds 2>/dev/null || true' EXIT
    stage "the CTest suite" ctest --preset default -j2 --no-tests=error
    status=0
    wait $builds || status=$?
    trap - EXIT
    cat "$log"
    if [ "$status" -ne 0 ]; then
        echo "test: the other stages' builds failed (exit $status)" >&2
        exit "$status"
    fi
    echo "test: the other stages' builds took $(($(date +%s) - since)) s, beside the suite"
fi

stage "the sanitizer stage's tests" env SOLID_ONLY=test scripts/test_sanitizers.sh
stage "the Windows stage's tests" env SOLID_ONLY=test tests/windows/run.sh
stage "the fuzz stage's runs" env SOLID_ONLY=test scripts/fuzz_stage.sh
echo "test: everything passed; the whole command took $(($(date +%s) - started)) s"
