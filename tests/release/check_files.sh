#!/usr/bin/env bash
# Checks each file of a built release (scripts/release.sh makes dist/) the way its user uses it:
#
#   SHA256SUMS    sha256sum -c passes.
#   the .deb      apt-get install ./solid-objects_VERSION_amd64.deb in a fresh Debian 12 root
#   the tarball   (scripts/debian_root.sh) installs it with what it needs; there the capture
#                 makes a 3 s video, the show without a display ends with its message and exit
#                 code 0 as ever, and the tarball's programs do the same from its unpacked folder;
#                 removing the package leaves none of its files, and removing what it pulled in
#                 leaves the packages installed before (tests/release/inside_root.sh).
#   the zip       each executable plays to its end under Wine, fullscreen on an Xvfb screen
#                 (tests/windows/e2e.sh); the 32-bit one only where the kernel runs 32-bit code.
#   the page      opened from disk in headless Chromium, it plays to its end page, its frames
#                 match the capture's and the console shows no error (check_page.py); served over
#                 HTTP labelled UTF-8, it still starts.
#
# Usage: tests/release/check_files.sh [DIST]   (default dist/; needs root for the Debian root)
# Logs and scratch go to build-release/checks/. The Debian root is checked beside the rest.
set -euo pipefail
cd "$(dirname "$0")/../.."

dist=$(realpath "${1:-dist}")
work=$PWD/build-release/checks
started=$(date +%s)

say() {
    echo "check_files: $*"
}

if [ "$(id -u)" -ne 0 ]; then
    echo "check_files: needs root, for the Debian root's chroot and mounts" >&2
    exit 2
fi
scripts/install_deps.sh windows web capture fresh-machine release

deb=$(cd "$dist" && ls solid-objects_*_amd64.deb)
version=${deb#solid-objects_}
version=${version%_amd64.deb}
stem=solid-objects-$version
rm -rf "$work"
mkdir -p "$work"
failed=()

say "sha256sum -c SHA256SUMS"
(cd "$dist" && sha256sum -c SHA256SUMS) | sed 's/^/check_files:   /'

# The zip's executables under Wine: each plays the show fullscreen to its end, exit code 0, 52.0
# to 55.0 s after its song started. window_probe.exe, which watches them, is built for each.
unzip -q "$dist/$stem-windows.zip" -d "$work/zip"
runs_32bit=yes
status=0
/lib/ld-linux.so.2 --version >/dev/null 2>&1 || status=$?
if [ "$status" -eq 126 ]; then
    runs_32bit=no
    export SOLID_WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64 WINEARCH=win64
fi
for arch in x64 x86; do
    if [ "$arch" = x86 ] && [ "$runs_32bit" = no ]; then
        say "LEFT OUT the 32-bit executable's run under Wine: this machine's kernel runs no 32-bit" \
            "x86 programs (/lib/ld-linux.so.2: Exec format error)"
        continue
    fi
    probe=$work/probe-$arch
    cmake --preset "windows-$arch" -B "$probe" >/dev/null
    cmake --build "$probe" --target window_probe >/dev/null
    say "solid-objects-$arch.exe under Wine, fullscreen to its end"
    status=0
    tests/windows/e2e.sh fullscreen "$work/zip/solid-objects-$arch.exe" \
        "$probe/tests/windows/window_probe.exe" >"$work/wine-$arch.log" 2>&1 || status=$?
    sed 's/^/check_files:   /' "$work/wine-$arch.log"
    [ "$status" -eq 0 ] || failed+=("solid-objects-$arch.exe under Wine")
done

# The package and the tarball in a fresh Debian 12 root, beside the page's check (it waits mostly
# on downloads; the page's runs on its own clock). Its log is printed at the end. The Wine runs
# come first, alone: their show runs on the real clock, which a loaded machine slows.
# shellcheck source=scripts/debian_root.sh
source scripts/debian_root.sh
root=$(mktemp -d "${TMPDIR:-/var/tmp}/solid-release-root.XXXXXX")
check_root() {
    if ! debian_root_make "$root" "$work/mmdebstrap.log" ca-certificates; then
        echo "root: FAILED: mmdebstrap could not make the root (see $work/mmdebstrap.log)"
        return 1
    fi
    echo "root: a fresh Debian 12 root in $root, $(du -sh --one-file-system "$root" | cut -f1)"
    mkdir -p "$root/tmp/release"
    cp "$dist/$deb" "$dist/$stem-linux-x86_64.tar.gz" tests/release/inside_root.sh \
        "$root/tmp/release/"
    local status=0
    debian_root_run "$root" "$work/inside-root.log" \
        "bash /tmp/release/inside_root.sh /tmp/release $version" || status=$?
    cat "$work/inside-root.log"
    return "$status"
}
(
    trap 'debian_root_remove "$root" || echo "root: could not remove $root entirely"' EXIT
    check_root
) >"$work/root.log" 2>&1 &
root_check=$!
trap 'kill $root_check 2>/dev/null || true; wait $root_check 2>/dev/null || true' EXIT

# The page from disk, against the capture's frames (the tarball's capture, on this machine).
times=16,4000,9000,13000,20000,28000,37000,45000,49000,51000
mkdir -p "$work/tarball"
tar -xzf "$dist/$stem-linux-x86_64.tar.gz" -C "$work/tarball"
"$work/tarball/$stem-linux-x86_64/bin/solid-objects-capture" --png "$work/reference" --at "$times"
say "$stem.html from disk in headless Chromium"
status=0
/usr/bin/python3 tests/release/check_page.py "$dist/$stem.html" --reference "$work/reference" \
    --at "$times" --out "$work/page-frames" >"$work/page.log" 2>&1 || status=$?
sed 's/^/check_files:   /' "$work/page.log"
[ "$status" -eq 0 ] || failed+=("the page")

say "waiting for the Debian root's checks"
status=0
wait "$root_check" || status=$?
trap - EXIT
sed 's/^/check_files: /' "$work/root.log"
if [ "$status" -ne 0 ]; then
    failed+=("the package and the tarball in a fresh Debian 12 root")
fi

if [ ${#failed[@]} -ne 0 ]; then
    say "FAILED: $(printf '%s; ' "${failed[@]}")"
    exit 1
fi
say "every file works as its user will use it ($(($(date +%s) - started)) s)"
