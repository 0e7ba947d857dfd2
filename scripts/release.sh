#!/usr/bin/env bash
# Makes the release: every form of the show, built from the committed HEAD into dist/.
#
#   solid-objects-VERSION-windows.zip       both Windows executables, a read-me, file_id.diz and
#                                           a screenshot
#   solid-objects_VERSION_amd64.deb         the Debian package (CPack, from the install rules)
#   solid-objects-VERSION-linux-x86_64.tar.gz  the same programs for other distributions
#   solid-objects-VERSION.html              the browser build in one file that plays from disk
#   solid-objects-VERSION.mp4               the show as a video (the capture)
#   solid-objects-VERSION-soundtrack.flac   the whole song, lossless, tagged
#   SHA256SUMS                              the SHA-256 of each of them
#
# Usage: scripts/release.sh            builds dist/ (installing what the builds need first)
#        scripts/release.sh --check    builds it twice, from two clones of HEAD in different
#                                      folders, with different umask, time zone and locale, at
#                                      different times; compares the two byte for byte (diffoscope
#                                      says where they differ), and then checks each file the way
#                                      its user uses it (tests/release/check_files.sh)
#
# The build runs in a clone of HEAD (build-release/clone/): what is not committed is not in the
# release. Everything is made reproducibly: the time of HEAD's commit stands for every date
# (SOURCE_DATE_EPOCH), the source folder is mapped out of the programs (-ffile-prefix-map), the
# archives hold their files in a fixed order with fixed times, owners and modes.
set -euo pipefail
cd "$(dirname "$0")/.."

say() {
    echo "release: $*"
}

fail() {
    echo "release: FAILED: $*" >&2
    exit 1
}

seconds_since() {
    echo $(($(date +%s) - $1))
}

# Clones HEAD into a fresh folder.
clone_head() {
    local into=$1
    rm -rf "$into"
    mkdir -p "$(dirname "$into")"
    git clone --quiet --no-local . "$into"
    git -C "$into" checkout --quiet --detach "$(git rev-parse HEAD)"
}

# --- one build, inside a clone: scripts/release.sh --build OUT ------------------------------------

# The staging folders and builds, beside the clone's sources.
work=build-release

# Debian's hardening of the Linux programs (dpkg-buildflags' hardening=+all, less its warning
# flags): none of it changes floating-point results.
hardening="-fstack-protector-strong -fstack-clash-protection -fcf-protection -D_FORTIFY_SOURCE=2"

build_all() {
    local root map
    root=$(pwd)
    # The folder the sources are in leaves no trace in what is built from them.
    map="-ffile-prefix-map=$root=."
    say "building the Linux programs"
    cmake --preset default -B "$work/linux" -DSOLID_BUILD_TESTS=OFF \
        -DCMAKE_CXX_FLAGS="$map $hardening" -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro,-z,now" \
        >/dev/null
    cmake --build "$work/linux" -j2 >/dev/null
    for arch in x86 x64; do
        say "building the $arch Windows executable"
        # Stripped: the symbols would only name the build's own paths and objects.
        cmake --preset "windows-$arch" -B "$work/windows-$arch" -DSOLID_BUILD_TESTS=OFF \
            -DCMAKE_CXX_FLAGS="$map" -DCMAKE_EXE_LINKER_FLAGS="-s" >/dev/null
        cmake --build "$work/windows-$arch" -j2 --target solid-objects >/dev/null
    done
    say "building the browser version"
    NODE_PATH=/usr/share/nodejs cmake --preset web -B "$work/web" -DSOLID_BUILD_TESTS=OFF \
        -DCMAKE_CXX_FLAGS="$map" >/dev/null
    NODE_PATH=/usr/share/nodejs cmake --build "$work/web" -j2 --target solid-objects >/dev/null
}

# Normalises what a folder's files say beyond their bytes: the mode (755 for programs and
# folders, 644 for the rest, whatever the umask) and the time (the commit's).
normalise() {
    find "$1" -type d -exec chmod 755 {} +
    find "$1" -type f -perm /111 -exec chmod 755 {} +
    find "$1" -type f ! -perm /111 -exec chmod 644 {} +
    find "$1" -exec touch --no-dereference --date="@$SOURCE_DATE_EPOCH" {} +
}

make_files() {
    local out=$1 version=$2 linux=$work/linux
    local stem=solid-objects-$version

    say "capturing the show (video, a screenshot, the song)"
    rm -rf "$work/shots"
    "$linux/solid-objects-capture" "$out/$stem.mp4" --png "$work/shots" --at 20000 \
        --wav "$work/song.wav"

    say "encoding the soundtrack"
    flac --silent --best --no-preserve-modtime -T "TITLE=Solid Objects" \
        -T "ALBUM=Solid Objects $version" -T "VERSION=$version" \
        -T "DESCRIPTION=The soundtrack of the show, whole; the show plays its first 52.3 s." \
        -o "$out/$stem-soundtrack.flac" "$work/song.wav"

    say "packing the Windows zip"
    local zip=$work/zip
    rm -rf "$zip"
    mkdir -p "$zip"
    cp "$work/windows-x86/solid-objects.exe" "$zip/solid-objects-x86.exe"
    cp "$work/windows-x64/solid-objects.exe" "$zip/solid-objects-x64.exe"
    cp "$linux/packaging/release/README-windows.txt" "$zip/README.txt"
    cp "$linux/packaging/release/file_id.diz" "$zip/file_id.diz"
    cp "$work/shots/frame_020000.png" "$zip/screenshot.png"
    normalise "$zip"
    # Plain entries (no owners or extra times) in a fixed order; zip writes local times, so the
    # zone is fixed too, and strip-nondeterminism normalises whatever is left.
    (cd "$zip" && LC_ALL=C ls | LC_ALL=C sort | TZ=UTC zip -X -9 -q -@ "../$stem-windows.zip")
    strip-nondeterminism --type zip --timestamp "$SOURCE_DATE_EPOCH" "$work/$stem-windows.zip" \
        >/dev/null
    mv "$work/$stem-windows.zip" "$out/"

    say "making the Debian package"
    rm -rf "$work/cpack"
    # CPack gives the package's folders and its ar members the modes the umask leaves.
    (cd "$linux" && umask 022 && cpack -G DEB -B "$(pwd)/../cpack" >/dev/null)
    mv "$work/cpack/solid-objects_${version}_amd64.deb" "$out/"

    say "packing the Linux tarball"
    local name=$stem-linux-x86_64
    rm -rf "$work/tar"
    cmake --install "$linux" --prefix "$work/tar/$name" --strip >/dev/null
    cp "$linux/packaging/release/README-linux.txt" "$work/tar/$name/README.txt"
    normalise "$work/tar"
    (cd "$work/tar" && LC_ALL=C tar --sort=name --format=gnu --owner=0 --group=0 \
        --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" -cf - "$name") | gzip -9n >"$out/$name.tar.gz"

    say "packing the page into one file"
    python3 packaging/pack_page.py "$work/web/site" "$out/$stem.html" --compare

    (cd "$out" && LC_ALL=C ls | grep -vx SHA256SUMS | LC_ALL=C sort | xargs sha256sum >SHA256SUMS)
}

# The checks every build makes of its own files before it is done: cheap, and each catches a
# file that would let its user down.
check_files() {
    local out=$1 version=$2 linux=$work/linux
    local stem=solid-objects-$version
    say "checking the files"
    for program in solid-objects solid-objects-capture; do
        [ "$("$linux/$program" --version)" = "$program $version" ] ||
            fail "$program --version does not say '$program $version'"
    done

    local listed
    listed=$(unzip -Z1 "$out/$stem-windows.zip" | tr '\n' ' ')
    [ "$listed" = "README.txt file_id.diz screenshot.png solid-objects-x64.exe solid-objects-x86.exe " ] ||
        fail "the zip holds $listed"
    # A description file is read on screens 40 or 45 columns wide.
    unzip -p "$out/$stem-windows.zip" file_id.diz | tr -d '\r' |
        awk -v limit=40 'length($0) > limit { print; bad = 1 } END { exit bad }' ||
        fail "file_id.diz has lines wider than 40 columns"
    for arch in x86 x64; do
        python3 - "$work/windows-$arch/solid-objects.exe" "$version" <<'EOF' ||
import struct, sys
data = open(sys.argv[1], "rb").read()
# The link time in the PE header, and the version strings of the version resource.
header = struct.unpack_from("<I", data, 0x3C)[0]
stamp = struct.unpack_from("<I", data, header + 8)[0]
for key in ("FileVersion", "ProductVersion"):
    text = (key + "\0").encode("utf-16-le")
    at = data.find(text)
    # The value follows the key's NUL, aligned to 4 bytes.
    value_at = (at + len(text) + 3) & ~3
    value = data[value_at:value_at + 64].decode("utf-16-le", "replace").split("\0")[0]
    if at < 0 or value != sys.argv[2]:
        sys.exit(f"{sys.argv[1]}: {key} is {value!r}, not {sys.argv[2]}")
if stamp != 0:
    sys.exit(f"{sys.argv[1]}: a link time in the PE header ({stamp})")
EOF
            fail "the $arch executable's version resource or header"
    done

    # Debian's checker: no error, and no warning either. All it tells (as information) is that
    # the programs keep their .comment section (the compilers' names), which strip leaves.
    local findings
    findings=$(lintian --display-info --pedantic "$out/solid-objects_${version}_amd64.deb" 2>&1 |
        grep -v 'running with root privileges' || true)
    echo "$findings" | sed 's/^/release: lintian: /'
    if grep -q '^E:' <<<"$findings"; then
        fail "lintian reports errors on the package"
    fi

    # What the tarball's read-me says the programs need from the C and C++ libraries must be what
    # their symbol versions ask for.
    local glibc glibcxx
    glibc=$(objdump -T "$linux/solid-objects" "$linux/solid-objects-capture" |
        grep -oE 'GLIBC_[0-9.]+' | sed 's/GLIBC_//' | sort -uV | tail -1)
    glibcxx=$(objdump -T "$linux/solid-objects" "$linux/solid-objects-capture" |
        grep -oE 'GLIBCXX_[0-9.]+' | sed 's/GLIBCXX_//' | sort -uV | tail -1)
    tar -xzOf "$out/$stem-linux-x86_64.tar.gz" "$stem-linux-x86_64/README.txt" |
        grep -q "GNU C library $glibc or later.*(libstdc++ $glibcxx)" ||
        fail "the tarball's read-me does not name glibc $glibc and libstdc++ $glibcxx"

    # The video as the capture makes it, and the song without a sample lost: its CRC-32 is the
    # design's.
    local video
    video=$(ffprobe -v error -of default=noprint_wrappers=1 \
        -show_entries stream=codec_type,width,height:format=duration "$out/$stem.mp4" | tr '\n' ' ')
    grep -q 'width=640 height=480 .*codec_type=audio .*duration=52\.[2-4]' <<<"$video" ||
        fail "the video is not 640 x 480, about 52.3 s, with sound: $video"
    flac --silent --decode --stdout --force-raw-format --endian=little --sign=signed \
        "$out/$stem-soundtrack.flac" | python3 -c '
import sys, zlib
pcm = sys.stdin.buffer.read()
sys.exit(0 if (len(pcm), zlib.crc32(pcm)) == (10725120, 0x871A75C3) else
         f"{len(pcm)} bytes of PCM, CRC-32 {zlib.crc32(pcm):#010x}")' ||
        fail "the FLAC file does not hold the song"
    [ "$(metaflac --show-tag=TITLE "$out/$stem-soundtrack.flac")" = "TITLE=Solid Objects" ] ||
        fail "the FLAC file has no title"

    local disk zipped
    disk=$(stat -c %s "$out/$stem.html")
    zipped=$(gzip -9nc "$out/$stem.html" | wc -c)
    say "the page: $disk bytes on disk, $zipped gzipped (-9)"
    [ "$zipped" -le 65536 ] || fail "the page is $zipped bytes gzipped, over 64 KB"
    grep -q "<title>Solid Objects $version</title>" "$out/$stem.html" ||
        fail "the page's title does not name the version"

    (cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c SHA256SUMS"
}

build_into() {
    local out=$1 version started
    started=$(date +%s)
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct HEAD)
    export SOURCE_DATE_EPOCH
    rm -rf "$out"
    mkdir -p "$out"
    build_all
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$work/linux/CMakeCache.txt")
    [ -n "$version" ] || fail "no project version in $work/linux/CMakeCache.txt"
    say "building took $(seconds_since "$started") s"
    make_files "$out" "$version"
    check_files "$out" "$version"
    say "version $version of $(git rev-parse --short HEAD) in $out, in $(seconds_since "$started") s:"
    (cd "$out" && ls -l --time-style=+ | awk 'NR > 1 { printf "release:   %9d  %s\n", $5, $NF }')
}

# --- the commands ---------------------------------------------------------------------------------

case "${1:-}" in
--build)
    # The build inside a clone, run by the commands below.
    build_into "$2"
    exit 0
    ;;
"" | --check) ;;
*)
    echo "usage: scripts/release.sh [--check]" >&2
    exit 2
    ;;
esac

started=$(date +%s)
scripts/install_deps.sh build capture release
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    say "note: uncommitted changes are left out; the release is built from HEAD" \
        "($(git rev-parse --short HEAD))"
fi

if [ "${1:-}" != --check ]; then
    clone_head "$work/clone"
    (cd "$work/clone" && scripts/release.sh --build "$OLDPWD/dist")
    say "done in $(seconds_since "$started") s"
    exit 0
fi

# Two builds that share nothing but the commit: their own clones, one in the project's folder and
# one deeper in another, one after the other, with their own umask, time zone and language.
other=$(mktemp -d "${TMPDIR:-/var/tmp}/solid-release.XXXXXX")
trap 'rm -rf "$other"' EXIT
clone_head "$work/a/solid-objects"
clone_head "$other/elsewhere/b/solid-objects"
say "build A in $work/a/solid-objects: umask 022, TZ=UTC, LC_ALL=C.UTF-8"
(cd "$work/a/solid-objects" && umask 022 && TZ=UTC LC_ALL=C.UTF-8 LANG=C.UTF-8 \
    scripts/release.sh --build "$OLDPWD/$work/a/dist")
say "build B in $other/elsewhere/b/solid-objects: umask 077, TZ=<+14>-14 (UTC+14), LC_ALL=C"
rm -rf "$work/b"
mkdir -p "$work/b"
(cd "$other/elsewhere/b/solid-objects" && umask 077 && TZ='<+14>-14' LC_ALL=C LANG=C \
    scripts/release.sh --build "$OLDPWD/$work/b/dist")

say "comparing the two builds"
rm -f "$work"/diffoscope-*.txt
differ=0
for file in $(cd "$work/a/dist" && LC_ALL=C ls); do
    a=$(sha256sum <"$work/a/dist/$file" | cut -d' ' -f1)
    b=$(sha256sum <"$work/b/dist/$file" 2>/dev/null | cut -d' ' -f1 || true)
    verdict=identical
    if [ "$a" != "$b" ]; then
        verdict=DIFFERENT
        differ=1
        diffoscope --text "$work/diffoscope-$file.txt" "$work/a/dist/$file" \
            "$work/b/dist/$file" >/dev/null 2>&1 || true
        say "$file differs; diffoscope's account is in $work/diffoscope-$file.txt:"
        head -n 40 "$work/diffoscope-$file.txt" | sed 's/^/    /'
    fi
    say "  $file"
    say "    A $a"
    say "    B ${b:-(missing)}  $verdict"
done
if [ "$(cd "$work/a/dist" && ls)" != "$(cd "$work/b/dist" && ls)" ]; then
    say "the two builds hold different files"
    differ=1
fi
[ "$differ" -eq 0 ] || fail "the two builds differ"
say "the two builds are byte-identical"

rm -rf dist
cp -a "$work/a/dist" dist
tests/release/check_files.sh dist
say "done in $(seconds_since "$started") s"
