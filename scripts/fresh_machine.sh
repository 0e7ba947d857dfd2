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

# shellcheck source=scripts/debian_root.sh
source scripts/debian_root.sh
mapfile -t sources < <(debian_root_sources)
if [ ${#sources[@]} -eq 0 ]; then
    echo "fresh_machine: no Debian 12 (bookworm) apt sources on this machine to make the root from" >&2
    exit 1
fi
root=$(mktemp -d "${TMPDIR:-/var/tmp}/solid-fresh.XXXXXX")

say() {
    echo "fresh_machine: $*" | tee -a "$logs/summary.txt"
}

# Ends whatever still runs inside the root, unmounts and removes it (scripts/debian_root.sh).
cleanup() {
    local status=$?
    trap - EXIT INT TERM
    if debian_root_remove "$root"; then
        echo "fresh_machine: removed the root $root"
    else
        echo "fresh_machine: could not remove $root entirely" >&2
        status=1
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'echo "fresh_machine: interrupted" >&2; exit 130' INT
trap 'echo "fresh_machine: terminated" >&2; exit 143' TERM

seconds_since() {
    echo $(($(date +%s) - $1))
}

disk_use() {
    du -sh --one-file-system "$root" | awk '{ print $1 }'
}

fresh=$(awk '{ sub(/#.*/, "") } NF >= 4 && index("," $4 ",", ",fresh,") { print $3 }' \
    scripts/deps.txt | sort -u | paste -sd, -)

say "making a minimal Debian 12 root in $root (with $fresh; sources ${sources[*]})"
started=$(date +%s)
if ! debian_root_make "$root" "$logs/mmdebstrap.log" "$fresh"; then
    say "FAIL: mmdebstrap could not make the root (see $logs/mmdebstrap.log)"
    exit 1
fi
say "the root took $(seconds_since "$started") s and $(disk_use)"

git clone --quiet --no-local "$PWD" "$root/root/solid-objects"
say "cloned $(git rev-parse --short HEAD) ($(git log -1 --format=%s HEAD))"

# A login's environment, with no display.
in_root() {
    debian_root_run "$root" "$1" "cd /root/solid-objects && $2"
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
