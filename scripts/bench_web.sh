#!/usr/bin/env bash
# The show in each browser engine on the real clock (ENGINES, all three unless set: headless
# Chromium with SwiftShader's WebGL 2 on the processor; Firefox ESR and WebKitGTK on Xvfb with
# Mesa's llvmpipe): the frames a second of each scene and the milliseconds the program spends per
# frame (its frame driver, our GL subset and presenting), medians of whole shows (RUNS, 3 unless
# set), with the machine's load; how far the picture is from the sound as heard (sync: the first
# 20 s of the show, RUNS times); and the size of the built folder, gzipped file by file as a
# server sends it. PARTS=bench or PARTS=sync runs one of the two. A benchmark, not a test: it fails
# only when the show does not run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_deps.sh web
cmake --preset web >/dev/null
cmake --build --preset web --target solid-objects >/dev/null
for engine in ${ENGINES:-chromium firefox webkit}; do
    echo "bench_web: $engine: load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
    /usr/bin/python3 tests/web/run_show.py --engine "$engine" --dir build-web/site \
        --out "build-web/bench_$engine" --parts "${PARTS:-bench,sync}" --runs "${RUNS:-3}"
    echo "bench_web: $engine: load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
done
/usr/bin/python3 - build-web/site <<'PY'
import gzip, os, sys
folder = sys.argv[1]
total = 0
for name in sorted(os.listdir(folder)):
    with open(os.path.join(folder, name), "rb") as file:
        data = file.read()
    packed = len(gzip.compress(data, 9))
    total += packed
    print(f"bench_web: {name:20} {len(data):7d} bytes, gzipped {packed:6d}")
print(f"bench_web: the folder gzipped: {total} bytes ({total / 1024:.1f} KiB; target under 100 KB)")
PY
