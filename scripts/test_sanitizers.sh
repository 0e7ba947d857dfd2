#!/usr/bin/env bash
# The checked builds. The unit tests and the show end to end under Xvfb (the e2e cases, the
# faults and the closes in every scene), built with AddressSanitizer and UndefinedBehaviorSanitizer
# into build-asan/ (preset asan). And, built with ThreadSanitizer by clang into build-tsan/
# (preset tsan, which builds only what it runs): the unit tests, a short capture and a whole show
# with random input, beside the first. Every report ends the process that made it, so it fails
# its test. SOLID_ONLY=build only installs and builds, SOLID_ONLY=test only tests
# (scripts/test.sh runs the two apart).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${SOLID_ONLY:-}" != test ]; then
    scripts/install_deps.sh build test capture hardening
    cmake --preset asan
    cmake --build --preset asan
    cmake --preset tsan
    cmake --build --preset tsan
fi
if [ "${SOLID_ONLY:-}" = build ]; then
    exit 0
fi

# No library is unloaded before the leak check (the GL drivers are loaded at run time), so that
# what they still hold at the end is reachable, and what leaks can be traced to its library.
export LD_PRELOAD="$PWD/build-asan/tests/sanitizers/libkeep_loaded.so"
export ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"

# The dependency check and the browser's test have nothing built with the sanitizers in them.
ctest --preset asan -j2 -LE '^(e2e|web|deps)$'

# The thread-checked runs go beside the end-to-end cases below, which wait on the show's clock
# for most of their time, into a log of their own that is shown at the end. Only reports proven to
# come from outside the program are suppressed (tests/sanitizers/tsan.supp, each with its reason).
# A process group of its own, so that a failure of the others stops it too.
tsan_log=build-tsan/tsan-tests.log
LD_PRELOAD="" \
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/sanitizers/tsan.supp" \
    setsid ctest --preset tsan -j2 --no-tests=error >"$tsan_log" 2>&1 &
tsan=$!
trap 'kill -- -$tsan 2>/dev/null || true' EXIT

# The run under valgrind, the three long runs and the failing allocation (a preloaded malloc,
# which the sanitizer runtime would not allow) stay with the default build.
ctest --preset asan -j2 -L e2e -E '^hardening[.](long-runs|memcheck|song-allocation-fails)$'

status=0
wait $tsan || status=$?
trap - EXIT
cat "$tsan_log"
if [ "$status" -ne 0 ]; then
    echo "test_sanitizers: the ThreadSanitizer build's tests failed (exit $status)" >&2
    exit "$status"
fi
