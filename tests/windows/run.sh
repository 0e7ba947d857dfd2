#!/usr/bin/env bash
# Builds the 32-bit and 64-bit Windows executables and runs their tests under Wine: the unit
# tests (the song, the colour helpers, the scenes against the GL recorder, the shell against the
# scripted Win32 stand-in) and the end-to-end runs of the real executable on Xvfb screens.
# Installs MinGW-w64 and Wine first if they are missing.
#
# Usage: tests/windows/run.sh [windows-x86] [windows-x64]   (both when none is named)
#
# The builds go where the presets put them (build-windows-x86/, build-windows-x64/), or into
# $SOLID_WINDOWS_BUILD_ROOT/<preset> when that is set. All Wine runs share one throw-away
# prefix, made here and removed at the end. SOLID_ONLY=build only installs and builds,
# SOLID_ONLY=test only runs (scripts/test.sh runs the two apart).
set -euo pipefail
cd "$(dirname "$0")/../.."

presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then
    presets=(windows-x86 windows-x64)
fi

only=${SOLID_ONLY:-}
started=$(date +%s)
if [ "$only" != test ]; then
    scripts/install_deps.sh windows
    echo "windows/run: installing took $(($(date +%s) - started)) s"
fi

# Some kernels run no 32-bit x86 code at all (the i386 loader fails with "Exec format error", exit
# 126). There both executables are still built, the 64-bit one runs on 64-bit Wine alone, and the
# 32-bit runs are left out, saying why. Only that refusal, seen before any run, leaves them out.
runs_32bit=yes
status=0
/lib/ld-linux.so.2 --version >/dev/null 2>&1 || status=$?
if [ "$status" -eq 126 ]; then
    runs_32bit=no
    # Wine's own launcher would take the 32-bit loader; the 64-bit one runs 64-bit programs alone.
    export SOLID_WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64 WINEARCH=win64
elif [ "$status" -ne 0 ]; then
    echo "windows/run: the i386 loader /lib/ld-linux.so.2 fails (exit $status), though the" \
        "windows group installs it" >&2
    exit 1
fi
wine=${SOLID_WINE:-wine}

build_dir() {
    if [ -n "${SOLID_WINDOWS_BUILD_ROOT:-}" ]; then
        echo "$SOLID_WINDOWS_BUILD_ROOT/$1"
    else
        echo "$PWD/build-$1"
    fi
}

song32=$(build_dir song32)
if [ "$only" != test ]; then
    for preset in "${presets[@]}"; do
        echo "windows/run: building $preset into $(build_dir "$preset")"
        cmake --preset "$preset" -B "$(build_dir "$preset")" >/dev/null
        cmake --build "$(build_dir "$preset")" -j2
        if [ "$preset" = windows-x86 ] && [ "$runs_32bit" = no ]; then
            # The song from 32-bit x86 code where no 32-bit program runs here: see below.
            scripts/install_deps.sh song32
            cmake -S tests/windows/song32 -B "$song32" -DCMAKE_BUILD_TYPE=Release \
                -DSOLID_WERROR=ON --toolchain "$PWD/cmake/toolchains/linux-i686.cmake" >/dev/null
            cmake --build "$song32" -j2
        fi
    done
    echo "windows/run: building took $(($(date +%s) - started)) s"
fi
if [ "$only" = build ]; then
    exit 0
fi
built=$(date +%s)

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The unit tests need no screen; the end-to-end runs make their own.
unset DISPLAY
WINEPREFIX=$(mktemp -d -t solid-wine.XXXXXX)
export WINEPREFIX

cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

echo "windows/run: making the Wine prefix $WINEPREFIX"
"$wine" wineboot -i >/dev/null 2>&1
wineserver -w

# A Wine session that stays up between the test programs, with both architectures loaded:
# starting Wine afresh costs seconds, and CTest allows 5 s for listing each program's test cases.
start_wine_session() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    wineserver -p
    "$wine" cmd.exe /c exit >/dev/null 2>&1 || true
    if [ "$runs_32bit" = yes ]; then
        "$wine" 'C:\windows\syswow64\cmd.exe' /c exit >/dev/null 2>&1 || true
    fi
}

status=0
for preset in "${presets[@]}"; do
    dir=$(build_dir "$preset")
    if [ "$preset" = windows-x86 ] && [ "$runs_32bit" = no ]; then
        echo "windows/run: LEFT OUT the 32-bit runs (windows-x86 unit tests and end-to-end cases;" \
            "built, not run): this machine's kernel runs no 32-bit x86 programs" \
            "(/lib/ld-linux.so.2: Exec format error)"
        # The one result that depends on 32-bit code generation, the song, is still checked:
        # rendered by i686 code with the same floating-point flags, under qemu-user.
        echo "windows/run: the song's CRC from 32-bit x86 code instead, built for i686 Linux and" \
            "run under qemu-user (tests/windows/song32)"
        ctest --test-dir "$song32" --output-on-failure || status=1
        continue
    fi
    echo "windows/run: unit tests of $preset under Wine"
    start_wine_session
    ctest --test-dir "$dir" --output-on-failure -j2 -LE wine_e2e || status=1
    # Each end-to-end case restarts the Wine session on a screen of its own. Verbose, for the
    # timings each case prints.
    echo "windows/run: end-to-end runs of $preset under Wine and Xvfb"
    ctest --test-dir "$dir" --output-on-failure -V -L wine_e2e || status=1
done

echo "windows/run: $(($(date +%s) - started)) s in all, of which installing and building" \
    "$((built - started)) s"
exit "$status"
