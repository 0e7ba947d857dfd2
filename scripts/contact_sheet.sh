#!/usr/bin/env bash
# Makes the README's contact sheet: one frame from each scene of the show, captured without a
# screen by solid-objects-capture (--png) and tiled five by two, each at 256 x 192, by ffmpeg.
# Usage: scripts/contact_sheet.sh [OUTPUT.png]   (default: docs/contact_sheet.png)
# The capture is taken from build/ unless CAPTURE names another one.
set -euo pipefail
cd "$(dirname "$0")/.."

output="${1:-docs/contact_sheet.png}"
capture="${CAPTURE:-build/solid-objects-capture}"
if [ ! -x "$capture" ]; then
    echo "contact_sheet: no capture program at $capture (build it: cmake --build --preset default)" >&2
    exit 1
fi

# Show times in milliseconds, one inside each of the ten scenes, in the order they play.
times="4000,10000,13500,20000,30000,40000,45300,47300,49300,51300"

frames="$(mktemp -d)"
trap 'rm -rf "$frames"' EXIT
"$capture" --png "$frames/shots" --at "$times"
mkdir -p "$(dirname "$output")"
# The frame files are named after their zero-padded times, so the glob keeps the show's order.
ffmpeg -nostdin -hide_banner -loglevel error -y -pattern_type glob -i "$frames/shots/frame_*.png" \
    -vf "scale=256:192:flags=area,tile=5x2" -frames:v 1 -update 1 "$output"
echo "contact_sheet: wrote $output"
