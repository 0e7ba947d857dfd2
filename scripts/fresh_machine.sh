#!/usr/bin/env bash
# Runs the README's two commands as a newcomer would, on a fresh Debian 12 made here: a minimal
# root (mmdebstrap --variant=minbase bookworm) with only what a newly installed machine has beside
# it (the group fresh of scripts/deps.txt: git, sudo, ca-certificates), the committed HEAD cloned
# into it, no display. scripts/play.sh must leave the video (640 x 480, about 52.3 s, with
# sound) and scripts/test.sh must pass. Prints each command's wall time, the stage times the
# commands print themselves, and the root's disk use.
#
# Usage: sudo scripts/fresh_machine.sh [LOG_DIR]   (default: build-fresh/)
# Needs root (chroot, mounts). The root is made under $TMPDIR (default /var/tmp) from this
# machine's own Debian sources, and always unmounted and removed at the end, also when a step
# fails or the script is interrupted. The logs stay in LOG_DIR: play.log, test.log, summary.txt.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
    echo "fresh_machine: needs root, for chroot and its mounts (run it with sudo)" >&2
    exit 2
fi

logs=$(realpath -m "${1:-build-fresh}")
mkdir -p "$logs"
rm -f "$logs"/{mmdebstrap,play,test,ffprobe}.log "$logs/summary.txt"
scripts/install_deps.sh fresh-machine

root=$(mktemp -d "${TMPDIR:-/var/tmp}/solid-fresh.XXXXXX")
# Readable by the root's own users (apt downloads as _apt).
chmod 755 "$root"
child=""

say() {
    echo "fresh_machine: $*" | tee -a "$logs/summary.txt"
}

# Ends whatever still runs inside the root, unmounts everything under it (the last mounted
# first) and removes it, without crossing into anything still mounted.
cleanup() {
    local status=$? pid mounts
    trap - EXIT INT TERM
    if [ -n "$child" ]; then
        # The step's whole process group: asked first, then made to stop.
        kill -TERM -- "-$child" 2>/dev/null || true
        for _ in $(seq 10); do
            kill -0 -- "-$child" 2>/dev/null || break
            sleep 0.5
        done
        kill -KILL -- "-$child" 2>/dev/null || true
    fi
    for _ in 1 2 3; do
        for pid in /proc/[0-9]*; do
            if [ "$pid/root" -ef "$root" ]; then
                kill -KILL "${pid#/proc/}" 2>/dev/null || true
            fi
        done
        sleep 0.2
    done
    if [ -n "$child" ]; then
        wait "$child" 2>/dev/null || true
    fi
    mounts=$(awk -v root="$root" 'index($2, root "/") == 1 { print $2 }' /proc/self/mounts | tac)
    for mount in $mounts; do
        umount "$mount" 2>/dev/null || umount -l "$mount" || true
    done
    rm -rf --one-file-system "$root"
    if [ -e "$root" ]; then
        echo "fresh_machine: could not remove $root entirely" >&2
        status=1
    else
        echo "fresh_machine: removed the root $root"
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'echo "fresh_machine: interrupted" >&2; exit 130' INT
trap 'echo "fresh_machine: terminated" >&2; exit 143' TERM

# Runs a step with its output in a log, in a process group of its own, in the background so
# that a signal is handled at once.
run() {
    local log=$1
    shift
    setsid "$@" >"$log" 2>&1 </dev/null &
    child=$!
    local status=0
    wait "$child" || status=$?
    child=""
    return "$status"
}

seconds_since() {
    echo $(($(date +%s) - $1))
}

disk_use() {
    du -sh --one-file-system "$root" | awk '{ print $1 }'
}

# This machine's own Debian sources: the only mirror there may be.
sources=()
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    if [ -f "$file" ] && grep -Eq '^[^#]*(^|[[:space:]])bookworm(-[a-z]+)?([[:space:]]|$)' "$file"; then
        sources+=("$file")
    fi
done
if [ ${#sources[@]} -eq 0 ]; then
    echo "fresh_machine: no Debian 12 (bookworm) apt sources on this machine to make the root from" >&2
    exit 1
fi
fresh=$(awk '{ sub(/#.*/, "") } NF >= 4 && index("," $4 ",", ",fresh,") { print $3 }' \
    scripts/deps.txt | sort -u | paste -sd, -)

say "making a minimal Debian 12 root in $root (with $fresh; sources ${sources[*]})"
started=$(date +%s)
if ! run "$logs/mmdebstrap.log" mmdebstrap --variant=minbase --include="$fresh" bookworm "$root" \
    "${sources[@]}"; then
    say "FAIL: mmdebstrap could not make the root (see $logs/mmdebstrap.log)"
    exit 1
fi
say "the root took $(seconds_since "$started") s and $(disk_use)"

cp /etc/resolv.conf "$root/etc/resolv.conf"
# The host names every installed Debian has from its installer (or cloud-init), which a minbase
# root lacks: without them "localhost" does not resolve, and a test talking to a local server by
# that name fails for a reason no real machine has.
printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"
for mount in /proc /sys /dev /dev/pts; do
    mkdir -p "$root$mount"
    mount --bind "$mount" "$root$mount"
done
git clone --quiet --no-local "$PWD" "$root/root/solid-objects"
say "cloned $(git rev-parse --short HEAD) ($(git log -1 --format=%s HEAD))"

# A login's environment, with no display.
in_root() {
    local log=$1
    shift
    run "$log" chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash -c "cd /root/solid-objects && $1"
}

failed=0
for command in scripts/play.sh scripts/test.sh; do
    log="$logs/$(basename "$command" .sh).log"
    started=$(date +%s)
    status=0
    in_root "$log" "$command" || status=$?
    result="passed"
    [ "$status" -eq 0 ] || result="FAILED with exit code $status"
    say "$command $result in $(seconds_since "$started") s (log: $log); the root now $(disk_use)"
    grep -E '^(play|test|windows/run): .* (took|in all)' "$log" | sed 's/^/fresh_machine:   /' |
        tee -a "$logs/summary.txt" || true
    if [ "$status" -ne 0 ]; then
        failed=1
        tail -n 30 "$log" | sed 's/^/    /'
        continue
    fi
    if [ "$command" = scripts/play.sh ]; then
        video=build-capture/solid-objects.mp4
        in_root "$logs/ffprobe.log" "ffprobe -v error -of default=noprint_wrappers=1 \
            -show_entries stream=codec_type,width,height:format=duration $video" || true
        info=$(cat "$logs/ffprobe.log")
        width=$(sed -n 's/^width=//p' <<<"$info")
        height=$(sed -n 's/^height=//p' <<<"$info")
        duration=$(sed -n 's/^duration=//p' <<<"$info" | tail -1)
        if [ "$width" = 640 ] && [ "$height" = 480 ] && grep -qx 'codec_type=audio' <<<"$info" &&
            awk -v d="${duration:-0}" 'BEGIN { exit !(d >= 52.0 && d <= 52.6) }'; then
            say "the video: ${width}x${height}, ${duration} s, with an audio stream"
        else
            say "FAIL: the video $video is not 640x480, about 52.3 s, with sound: $(tr '\n' ' ' <<<"$info")"
            failed=1
        fi
    fi
done

if [ "$failed" -eq 0 ]; then
    say "passed: both README commands on a fresh Debian 12 (summary in $logs/summary.txt)"
else
    say "FAILED (logs in $logs)"
fi
exit "$failed"
