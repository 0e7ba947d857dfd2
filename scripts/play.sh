#!/usr/bin/env bash
# Builds the show (installing what the build needs first) and plays it. On a machine with no
# display it renders the show into a video file with the capture instead, and says where.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "play: there is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the"
    echo "play: show cannot open its window. Rendering it into a video with the capture instead."
    since=$(date +%s)
    scripts/install_deps.sh build capture
    echo "play: installing took $(($(date +%s) - since)) s"
    since=$(date +%s)
    # A build of its own, without the tests, which need more than the capture does.
    cmake -S . -B build-capture -DCMAKE_BUILD_TYPE=Release -DSOLID_BUILD_TESTS=OFF >/dev/null
    cmake --build build-capture --target solid-objects-capture -j2
    echo "play: building took $(($(date +%s) - since)) s"
    since=$(date +%s)
    video="$(pwd)/build-capture/solid-objects.mp4"
    build-capture/solid-objects-capture "$video"
    echo "play: the capture took $(($(date +%s) - since)) s"
    echo "play: the show is in $video"
    exit 0
fi

scripts/install_deps.sh build run
# Playing needs no tests; the test command's configure switches them back on.
cmake --preset default -DSOLID_BUILD_TESTS=OFF >/dev/null
cmake --build --preset default
exec build/solid-objects
