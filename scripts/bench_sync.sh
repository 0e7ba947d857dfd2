#!/usr/bin/env bash
# How far the desktop's sound is from the show's clock: the song through sndPlaySoundA over SDL
# into a PulseAudio null sink, its monitor recorded, against the clock the show reads
# (tests/e2e/bench_sync.py), RUNS times (3 unless set), with the machine's load. A benchmark, not a
# test: it fails only when the sound does not play. The browsers' figures: PARTS=sync
# scripts/bench_web.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh build test web
cmake --preset default >/dev/null
cmake --build --preset default --target sync_sdl sdl_spy >/dev/null
/usr/bin/python3 tests/e2e/bench_sync.py --program build/tools/bench/sync_sdl \
    --spy build/tests/e2e/libsdl_spy.so --runs "${RUNS:-3}" --seconds "${SECONDS_PLAYED:-10}"
