#!/usr/bin/env bash
# What drawing on the program's own thread costs on Mesa's software renderer (llvmpipe), against
# llvmpipe's rasteriser threads (LP_NUM_THREADS set to the number of processors, its default):
# the capture's whole show as video, and the desktop show's frame times scene by scene (on an Xvfb
# screen of 1024 x 768, through sdl_spy). The two ways take turns, RUNS rounds (3 by default),
# and each figure is the median of its runs, with the load average beside every run.
#
# Usage: scripts/bench_renderer_threads.sh   (builds what it needs into build/)
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${RUNS:-3}
threads=$(nproc)
scripts/install_deps.sh build test capture >/dev/null
cmake --preset default >/dev/null
cmake --build --preset default --target solid-objects solid-objects-capture sdl_spy >/dev/null
capture=$PWD/build/solid-objects-capture
show=$PWD/build/solid-objects
spy=$PWD/build/tests/e2e/libsdl_spy.so
work=$(mktemp -d)
xvfb=
cleanup() {
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

load() {
    cut -d' ' -f1-3 /proc/loadavg
}

# with WAY COMMAND...: runs the command the given way: "own thread" as shipped, or "threads".
with() {
    if [ "$1" = threads ]; then
        LP_NUM_THREADS=$threads "${@:2}"
    else
        (
            unset LP_NUM_THREADS
            "${@:2}"
        )
    fi
}

# One screen for every desktop run; Xvfb writes the display number it took.
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp -noreset 5>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
display=":$(head -n1 "$work/display")"

echo "bench_renderer_threads: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')," \
    "$(nproc) cores; load average $(load); $runs rounds; threads: LP_NUM_THREADS=$threads"
for round in $(seq "$runs"); do
    for way in "own thread" threads; do
        name=${way// /-}-$round
        before=$(load)
        TIMEFORMAT='%R %U %S'
        times=$({ time (cd "$work" && with "$way" "$capture" "$name.mp4" >/dev/null 2>&1); } 2>&1)
        read -r wall user system <<<"$times"
        rm -f "$work/$name.mp4"
        printf '%s\t%s\t%s\n' "$way" "$wall" "$(awk "BEGIN { print $user + $system }")" \
            >>"$work/captures"
        echo "round $round, $way: capture ${wall} s wall, load $before -> $(load)"
        before=$(load)
        (cd "$work" && with "$way" env DISPLAY="$display" SDL_AUDIODRIVER=dummy \
            SDL_SPY_LOG="$work/$name.spy" LD_PRELOAD="$spy" "$show" >/dev/null 2>&1)
        echo "round $round, $way: desktop show, load $before -> $(load)"
    done
done

# The desktop's frame times: from the start of each frame to the start of the next (the frame
# timer ticks every 10 ms; a frame that takes longer delays the next), by scene of the show's
# clock, from the time its sound started. The median of each run, then the median of the runs.
python3 - "$work" "$runs" <<'REPORT'
import statistics
import sys

work, runs = sys.argv[1], int(sys.argv[2])
ways = ["own thread", "threads"]
scene_ends = [8.5, 12.5, 14.3, 24.3, 34.3, 44.3, 46.3, 48.3, 50.3, 52.3]

captures = {way: [] for way in ways}
for line in open(f"{work}/captures"):
    way, wall, cpu = line.rstrip("\n").split("\t")[:3]
    captures[way].append((float(wall), float(cpu)))
print(f"\nthe whole show as video (medians of {runs}):")
for way in ways:
    walls = [w for w, _ in captures[way]]
    cpus = [c for _, c in captures[way]]
    print(f"  {way:10} {statistics.median(walls):6.2f} s wall, {statistics.median(cpus):6.2f} s "
          f"processor (walls {', '.join(f'{w:.2f}' for w in walls)})")
own = statistics.median(w for w, _ in captures["own thread"])
threaded = statistics.median(w for w, _ in captures["threads"])
print(f"  drawing on the program's thread takes {100 * (own / threaded - 1):+.1f}% wall time")

def scene_medians(path):
    zero, last, times = None, None, [[] for _ in scene_ends]
    for line in open(path, encoding="latin-1"):
        fields = line.split()
        if fields[:1] == ["play"]:
            zero = float(fields[1])
        elif fields[:1] == ["frame"] and zero is not None:
            t = float(fields[1]) - zero
            if last is not None:
                scene = next((i for i, end in enumerate(scene_ends) if last < end), None)
                if scene is not None:
                    times[scene].append(1000 * (t - last))
            last = t
    return [statistics.median(t) if t else float("nan") for t in times]

print(f"\nthe desktop show: median frame time by scene, ms, and frames a second (medians of "
      f"{runs})")
for way in ways:
    per_run = [scene_medians(f"{work}/{way.replace(' ', '-')}-{r}.spy") for r in range(1, runs + 1)]
    medians = [statistics.median(run[s] for run in per_run) for s in range(len(scene_ends))]
    print(f"  {way:10} " + " ".join(f"{s + 1}:{m:.1f}({1000 / m:.0f})"
                                    for s, m in enumerate(medians)))
REPORT
echo "load average at the end: $(load)"
