#!/usr/bin/env bash
# Runs one Windows program under Wine and exits with its exit code. The cross builds use it to
# run their test executables (CMAKE_CROSSCOMPILING_EMULATOR).
#
# Wine is kept quiet (WINEDEBUG=-all) and never offers to install Mono or Gecko. The prefix is
# $WINEPREFIX when the caller made one (tests/windows/run.sh does, once per test run);
# otherwise a throw-away prefix is made for this one program and removed afterwards.
# SOLID_WINE_TIMEOUT (seconds, default 600) bounds the run.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: wine_run.sh PROGRAM.exe [ARGUMENTS...]" >&2
    exit 2
fi

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

own_prefix=""
if [ -z "${WINEPREFIX:-}" ]; then
    own_prefix=$(mktemp -d -t solid-wine.XXXXXX)
    export WINEPREFIX="$own_prefix"
    "${SOLID_WINE:-wine}" wineboot -i >/dev/null 2>&1
fi

cleanup() {
    if [ -n "$own_prefix" ]; then
        wineserver -k >/dev/null 2>&1 || true
        rm -rf "$own_prefix"
    fi
}
trap cleanup EXIT

status=0
timeout --kill-after=10 "${SOLID_WINE_TIMEOUT:-600}" "${SOLID_WINE:-wine}" "$@" || status=$?
exit "$status"
