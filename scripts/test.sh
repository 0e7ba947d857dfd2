#!/usr/bin/env bash
# Installs what the tests need, builds everything and runs every test. Says how long each stage
# took.
#
# Most of the CTest suite waits on whole shows played in real time, so the other stages' builds
# (sanitizer, Windows, fuzz) run beside it at a low priority, taking the CPU the suite leaves
# idle, and their tests run after it; the static analysis, which only reads, runs beside both at
# the lowest priority. SOLID_SERIAL=1 runs every stage in turn instead.
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
    scripts/install_deps.sh build test capture web hardening fuzz windows tidy
stage "building" bash -c 'cmake --preset default && cmake --build --preset default'

# The builds of the sanitizer, Windows and fuzz stages.
other_builds='SOLID_ONLY=build scripts/test_sanitizers.sh && SOLID_ONLY=build tests/windows/run.sh &&
    SOLID_ONLY=build scripts/fuzz_stage.sh'

if [ -n "${SOLID_SERIAL:-}" ]; then
    stage "the CTest suite" ctest --preset default -j2 --no-tests=error
    stage "the other stages' builds" bash -c "$other_builds"
    stage "the static analysis (clang-tidy)" scripts/static_analysis.sh
else
    builds_log=build/other-builds.log
    tidy_log=build/static-analysis.log
    echo "test: building the sanitizer, Windows and fuzz stages beside the suite (log:" \
        "$builds_log), and the static analysis (log: $tidy_log)"
    since=$(date +%s)
    # Process groups of their own, so that a failing stage or an interrupt stops them too.
    setsid nice -n 15 bash -c "$other_builds" >"$builds_log" 2>&1 &
    builds=$!
    setsid nice -n 19 scripts/static_analysis.sh >"$tidy_log" 2>&1 &
    tidy=$!
    trap 'kill -- -$builds -$tidy 2>/dev/null || true' EXIT
    stage "the CTest suite" ctest --preset default -j2 --no-tests=error
    status=0
    wait $builds || status=$?
    cat "$builds_log"
    if [ "$status" -ne 0 ]; then
        echo "test: the other stages' builds failed (exit $status)" >&2
        exit "$status"
    fi
    echo "test: the other stages' builds took $(($(date +%s) - since)) s, beside the suite"
fi

stage "the sanitizer stage's tests" env SOLID_ONLY=test scripts/test_sanitizers.sh
stage "the Windows stage's tests" env SOLID_ONLY=test tests/windows/run.sh
stage "the fuzz stage's runs" env SOLID_ONLY=test scripts/fuzz_stage.sh
if [ -z "${SOLID_SERIAL:-}" ]; then
    status=0
    wait $tidy || status=$?
    trap - EXIT
    cat "$tidy_log"
    if [ "$status" -ne 0 ]; then
        echo "test: the static analysis (clang-tidy) failed (exit $status)" >&2
        exit "$status"
    fi
    echo "test: the static analysis (clang-tidy) took $(($(date +%s) - since)) s, beside the rest"
fi
echo "test: everything passed; the whole command took $(($(date +%s) - started)) s"
