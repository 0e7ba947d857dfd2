#!/usr/bin/env bash
# Runs inside a fresh Debian 12 root (tests/release/check_files.sh makes it) with the release's
# package and tarball beside it: installs the package as its user would, runs its programs, runs
# the tarball's from the unpacked folder, and removes the package again.
#
# Usage (in the root): inside_root.sh FOLDER VERSION   (FOLDER holds the .deb and the .tar.gz)
set -euo pipefail
cd "$1"
version=$2
deb=solid-objects_${version}_amd64.deb
tarball=solid-objects-$version-linux-x86_64.tar.gz
export DEBIAN_FRONTEND=noninteractive

say() {
    echo "root: $*"
}

fail() {
    echo "root: FAILED: $*"
    exit 1
}

# Every path on the root's own file system but the scratch, apt's and dpkg's records and the logs:
# what a package may leave behind.
paths() {
    find / -xdev \( -path /tmp -o -path /var/tmp -o -path /root -o -path /var/lib/apt \
        -o -path /var/cache -o -path /var/log -o -path /var/lib/dpkg -o -path "$PWD" \) -prune \
        -o -print | LC_ALL=C sort
}

packages() {
    dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" { print $2 }' |
        LC_ALL=C sort
}

# The show's own checks: the version it names, and its no-display path as ever (the fullscreen
# question on standard error, answered Yes for want of a screen, then "Window Creation Error.",
# exit code 0).
check_programs() {
    local bin=$1 what=$2 status=0
    [ "$("$bin/solid-objects" --version)" = "solid-objects $version" ] ||
        fail "$what: solid-objects --version"
    [ "$("$bin/solid-objects-capture" --version)" = "solid-objects-capture $version" ] ||
        fail "$what: solid-objects-capture --version"
    if ldd "$bin/solid-objects" "$bin/solid-objects-capture" | grep 'not found'; then
        fail "$what: libraries not found"
    fi

    env --unset=DISPLAY --unset=WAYLAND_DISPLAY timeout 60 "$bin/solid-objects" >out.txt 2>err.txt ||
        status=$?
    [ "$status" -eq 0 ] || fail "$what: solid-objects without a display ended with $status, not 0"
    grep -qF "The Requested Fullscreen Mode Is Not Supported By" err.txt &&
        grep -qF "ERROR: Window Creation Error." err.txt ||
        fail "$what: solid-objects without a display said: $(cat out.txt err.txt)"
    say "$what: solid-objects without a display: exit code 0, and:"
    sed 's/^/root:     /' err.txt

    local clip=$PWD/clip-$what.mp4 info
    (cd /tmp && timeout 600 "$bin/solid-objects-capture" --until 3000 "$clip")
    info=$(ffprobe -v error -of default=noprint_wrappers=1 \
        -show_entries stream=codec_type,width,height,nb_frames:format=duration "$clip" |
        tr '\n' ' ')
    grep -q 'width=640 height=480 nb_frames=180 codec_type=audio .*duration=3\.0' <<<"$info" ||
        fail "$what: the capture's 3 s clip is not 180 frames of 640 x 480 with sound: $info"
    say "$what: solid-objects-capture --until 3000: $info"
}

paths >paths-before.txt
packages >packages-before.txt

say "installing ./$deb"
started=$(date +%s)
apt-get update -qq
apt-get install -y -qq "./$deb" >install.log 2>&1 || { tail -20 install.log; fail "apt-get install"; }
packages >packages-installed.txt
added=$(LC_ALL=C comm -13 packages-before.txt packages-installed.txt | wc -l)
say "installed in $(($(date +%s) - started)) s: $added packages with it (ffmpeg recommended):"
LC_ALL=C comm -13 packages-before.txt packages-installed.txt | paste -sd' ' | fold -s -w 96 |
    sed 's/^/root:     /'
check_programs /usr/bin package

say "the tarball's programs, run from its unpacked folder"
mkdir -p unpacked
tar -xzf "$tarball" -C unpacked
check_programs "$PWD/unpacked/solid-objects-$version-linux-x86_64/bin" tarball

say "removing the package"
dpkg -L solid-objects >package-files.txt
apt-get purge -y -qq solid-objects >remove.log 2>&1 || { tail -20 remove.log; fail "apt-get purge"; }
if dpkg-query -W -f='${db:Status-Abbrev}\n' solid-objects 2>/dev/null | grep -q '^i'; then
    fail "solid-objects is still installed"
fi
while read -r path; do
    # What was there before, and the folders other packages share (/usr/share/icons/hicolor...).
    if [ "$path" = /. ] || grep -qxF "$path" paths-before.txt || [ ! -e "$path" ] ||
        { [ -d "$path" ] && dpkg -S "$path" >/dev/null 2>&1; }; then
        continue
    fi
    fail "left behind: $path"
done <package-files.txt
apt-get autoremove --purge -y -qq >>remove.log 2>&1
packages >packages-after.txt
if ! cmp -s packages-before.txt packages-after.txt; then
    fail "after removing it and what it pulled in, the installed packages differ:" \
        "$(diff packages-before.txt packages-after.txt | tr '\n' ' ')"
fi
paths >paths-after.txt
left=$(LC_ALL=C comm -13 paths-before.txt paths-after.txt)
if grep -i solid <<<"$left"; then
    fail "left behind after removal"
fi
say "removed: none of its $(wc -l <package-files.txt) paths left, the same packages installed as" \
    "before; new paths on the root's file system besides: $(grep -c . <<<"$left" || true)"
grep . <<<"$left" | head -20 | sed 's/^/root:     /' || true
say "passed"
