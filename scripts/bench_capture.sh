#!/usr/bin/env bash
# Times the capture: a frame near the end as PNG (--png --at 51300) and the whole show as video
# with the default options, each the median of RUNS runs (3 by default), with the load average
# beside every run. Speeds are show seconds per wall second; the targets, 15x and 3x, hold on an
# otherwise idle machine. Then where a frame's processor time goes, from one more measurement: the
# same video with an ffmpeg that throws the frames away, which leaves the encoder out.
#
# Usage: scripts/bench_capture.sh [CAPTURE_PROGRAM]   (default: build/solid-objects-capture)
# Environment: RUNS, the runs per measurement.
set -euo pipefail
cd "$(dirname "$0")/.."

program=$(realpath "${1:-build/solid-objects-capture}")
runs=${RUNS:-3}
if [ ! -x "$program" ]; then
    echo "bench_capture: no capture at $program" \
         "(cmake --preset default && cmake --build --preset default)" >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '#!/bin/sh\nexec cat >/dev/null\n' >"$work/drain-ffmpeg"
chmod +x "$work/drain-ffmpeg"

load() {
    cut -d' ' -f1-3 /proc/loadavg
}

calc() {
    awk "BEGIN { printf \"$1\", $2 }"
}

# time_run NAME ARGS...: runs the capture in a fresh folder $work/NAME; sets wall and cpu, in
# seconds, cpu counting the capture and its ffmpeg together.
time_run() {
    local name=$1
    shift
    rm -rf "${work:?}/$name"
    mkdir "$work/$name"
    local TIMEFORMAT='%R %U %S' times user system
    if ! times=$({ time (cd "$work/$name" && "$program" "$@" >/dev/null 2>"$work/stderr"); } 2>&1)
    then
        echo "bench_capture: the capture failed: $(cat "$work/stderr")" >&2
        exit 1
    fi
    read -r wall user system <<<"$times"
    cpu=$(calc '%.2f' "$user + $system")
}

median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# measure LABEL SHOW TARGET NAME ARGS...: RUNS runs and their median. SHOW is the show seconds
# captured, or "video" to read them from the video the first run writes (show.mp4); TARGET the
# speed to meet, or empty.
measure() {
    local label=$1 target=$3 name=$4
    show=$2
    shift 4
    echo "$label"
    local walls=() cpus=() run before
    for run in $(seq "$runs"); do
        before=$(load)
        time_run "$name" "$@"
        if [ "$show" = video ]; then
            show=$(ffprobe -v error -show_entries format=duration -of csv=p=0 \
                "$work/$name/show.mp4")
            frames=$(ffprobe -v error -select_streams v -show_entries stream=nb_frames \
                -of csv=p=0 "$work/$name/show.mp4")
            echo "  ($frames frames, $show s of show)"
        fi
        walls+=("$wall")
        cpus+=("$cpu")
        echo "  run $run: $(calc '%6.2f' "$wall") s wall $(calc '%7.2f' "$cpu") s processor" \
             "$(calc '%6.2f' "$show / $wall")x real time   load $before -> $(load)"
    done
    median_wall=$(median "${walls[@]}")
    median_cpu=$(median "${cpus[@]}")
    local speed verdict=""
    speed=$(calc '%.2f' "$show / $median_wall")
    if [ -n "$target" ]; then
        verdict=$(awk "BEGIN { print ($speed >= $target) ? \"met\" : \"NOT met\" }")
        verdict=" (target ${target}x: $verdict)"
    fi
    echo "  median: $median_wall s wall, $median_cpu s processor: ${speed}x real time$verdict"
}

echo "bench_capture: $program"
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores;" \
     "load average $(load) (1, 5, 15 minutes); $runs runs each"
echo

measure "seek: --png shots --at 51300" 51.3 15 seek --png shots --at 51300
seek_cpu=$median_cpu
echo

measure "video: the whole show, default options" video 3 video show.mp4
video_cpu=$median_cpu
echo

measure "the same video with the encoder left out (an ffmpeg that throws the frames away)" \
    "$show" "" drawn show.mp4 --ffmpeg "$work/drain-ffmpeg"
drawn_cpu=$median_cpu
echo

per_frame() {
    calc '%6.2f' "1000 * ($1) / $frames"
}
echo "where a frame's processor time goes in the video (medians, ms a frame):"
echo "  the program's own code, and starting up  $(per_frame "$seek_cpu")   (the seek's time)"
echo "  the GL driver drawing, and reading back  $(per_frame "$drawn_cpu - $seek_cpu")"
echo "  the encoder: conversion, x264, AAC       $(per_frame "$video_cpu - $drawn_cpu")"
echo "  all together, on $(nproc) cores                $(per_frame "$video_cpu")"
echo "load average at the end: $(load)"
