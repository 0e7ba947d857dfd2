#!/usr/bin/env bash
# Soak: N whole shows (each on an Xvfb screen of its own) and N whole captures, several at a time,
# with two `yes` keeping the processors busy beside them, glibc's checking malloc
# (libc_malloc_debug, glibc.malloc.check=3: a corrupt heap aborts at once), core files on, and the
# mutex probe (tests/e2e/mutex_probe.cpp) loaded into every run. A show that stops drawing, or a
# capture that stops writing, gets its threads' stacks written down by gdb and is killed; a crash
# gets its core's stacks. Ends with one line:
#   soak: <runs> runs (<shows> shows, <captures> captures): <c> crashes, <h> hangs, <p> probe events
# and exit status 0 only when all three are 0.
#
# Usage: scripts/soak.sh N
# Environment:
#   SOAK_JOBS        runs at a time (default 3)
#   SOAK_LOGS        where each run's folder and logs go (default build/soak), emptied first
#   SOAK_KEEP_CORES  keep the core files (by default only their stacks are kept)
#   LP_NUM_THREADS, MUTEX_PROBE_DELAY_US, MUTEX_PROBE_DELAY_EVERY  passed on to the runs: unset,
#                    the runs are as shipped. To see the fault the program avoids:
#                    LP_NUM_THREADS=1 MUTEX_PROBE_DELAY_US=5000 MUTEX_PROBE_DELAY_EVERY=5 scripts/soak.sh 5
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ne 1 ] || ! [ "$1" -ge 1 ] 2>/dev/null; then
    echo "usage: scripts/soak.sh N   (N shows and N captures)" >&2
    exit 2
fi
count=$1
jobs=${SOAK_JOBS:-3}
logs=$(realpath -m "${SOAK_LOGS:-build/soak}")
# A show draws a frame every 10 ms or so; a capture writes its video as it goes.
show_stall_seconds=20
capture_stall_seconds=90

scripts/install_deps.sh build test capture soak
cmake --preset default >/dev/null
cmake --build --preset default --target solid-objects solid-objects-capture sdl_spy mutex_probe \
    >/dev/null

show=$PWD/build/solid-objects
capture=$PWD/build/solid-objects-capture
spy=$PWD/build/tests/e2e/libsdl_spy.so
probe=$PWD/build/tests/e2e/libmutex_probe.so
# glibc's checking malloc, found by the loader like any library the program needs.
malloc_debug=libc_malloc_debug.so.0

rm -rf "$logs"
mkdir -p "$logs"
results=$logs/results
: >"$results"
ulimit -c unlimited
export GLIBC_TUNABLES=glibc.malloc.check=3
export MUTEX_PROBE_DELAY_THREADS=llvmpipe
export SDL_AUDIODRIVER=dummy
unset WAYLAND_DISPLAY SDL_VIDEODRIVER

# stacks PID FILE: every thread's stack of a running process.
stacks() {
    gdb -p "$1" -batch -ex "thread apply all bt" >"$2" 2>&1 || true
}

# crash_stacks PROGRAM FOLDER: the stacks in the core a crash left there, if any.
crash_stacks() {
    local core
    for core in "$2"/core*; do
        [ -e "$core" ] || continue
        gdb -batch -ex "thread apply all bt" "$1" "$core" >"$2/crash-stacks.txt" 2>&1 || true
        if [ -z "${SOAK_KEEP_CORES:-}" ]; then
            rm -f "$core"
        fi
    done
}

# finish KIND INDEX FOLDER STATUS HUNG PRODUCED: the run's verdict, one line of the results:
# hang; crash (a signal, an exit status other than 0 and the probe's 86, or a run that ended
# without its frames or video); event (the probe's 86); ok.
finish() {
    local kind=$1 index=$2 folder=$3 status=$4 hung=$5 produced=$6 events verdict=ok
    events=$(grep -c '^mutex-probe: event' "$folder/probe.log" 2>/dev/null || true)
    if [ "$hung" = yes ]; then
        verdict=hang
    elif [ "$status" -eq 86 ] && [ "${events:-0}" -gt 0 ]; then
        verdict=event
    elif [ "$status" -ne 0 ] || [ "$produced" != yes ]; then
        verdict=crash
    fi
    echo "$kind $index $verdict status=$status events=${events:-0} produced=$produced" >>"$results"
    # Its programs are gone: nothing of it is left to stop at the end.
    rm -f "$folder/pids"
}

run_show() {
    local index=$1 folder=$logs/show-$1 xvfb display status=0 hung=no swaps last_swaps quiet=0
    mkdir -p "$folder"
    # Xvfb picks a free display and writes its number.
    Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp -noreset \
        5>"$folder/display" 2>"$folder/xvfb.log" &
    xvfb=$!
    echo "$xvfb" >>"$folder/pids"
    for _ in $(seq 300); do
        [ -s "$folder/display" ] && break
        sleep 0.1
    done
    display=":$(head -n1 "$folder/display")"
    (cd "$folder" && DISPLAY=$display SDL_SPY_LOG="$folder/spy.log" MUTEX_PROBE_LOG="$folder/probe.log" \
        LD_PRELOAD="$malloc_debug $probe $spy" exec "$show" >"$folder/stdout" 2>"$folder/stderr") &
    local pid=$!
    echo "$pid" >>"$folder/pids"
    last_swaps=-1
    while kill -0 "$pid" 2>/dev/null; do
        sleep 1
        swaps=$(grep -c '^swap ' "$folder/spy.log" 2>/dev/null || true)
        if [ "${swaps:-0}" = "$last_swaps" ]; then
            quiet=$((quiet + 1))
        else
            quiet=0
        fi
        last_swaps=${swaps:-0}
        # Start-up (the song is made before the first frame) gets longer than a stalled frame.
        if { [ "$quiet" -ge "$show_stall_seconds" ] && [ "$last_swaps" -gt 0 ]; } ||
            [ "$quiet" -ge 120 ]; then
            hung=yes
            stacks "$pid" "$folder/hang-stacks.txt"
            kill -9 "$pid" 2>/dev/null || true
            break
        fi
    done
    wait "$pid" || status=$?
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    crash_stacks "$show" "$folder"
    # The show ran: frames drawn, and SDL shut down at its end.
    local produced=no
    if [ "$(grep -c '^swap ' "$folder/spy.log" 2>/dev/null || true)" -gt 100 ] &&
        grep -q '^quit ' "$folder/spy.log"; then
        produced=yes
    fi
    finish show "$index" "$folder" "$status" "$hung" "$produced"
}

run_capture() {
    local index=$1 folder=$logs/capture-$1 status=0 hung=no size last_size=-1 quiet=0
    mkdir -p "$folder/out"
    (cd "$folder" && MUTEX_PROBE_LOG="$folder/probe.log" LD_PRELOAD="$malloc_debug $probe" \
        exec "$capture" out/show.mp4 >"$folder/stdout" 2>"$folder/stderr") &
    local pid=$!
    echo "$pid" >>"$folder/pids"
    while kill -0 "$pid" 2>/dev/null; do
        sleep 1
        size=$(du -sb "$folder/out" | cut -f1)
        if [ "$size" = "$last_size" ]; then
            quiet=$((quiet + 1))
        else
            quiet=0
        fi
        last_size=$size
        if [ "$quiet" -ge "$capture_stall_seconds" ]; then
            hung=yes
            stacks "$pid" "$folder/hang-stacks.txt"
            kill -9 "$pid" 2>/dev/null || true
            break
        fi
    done
    wait "$pid" || status=$?
    crash_stacks "$capture" "$folder"
    local produced=no
    if [ -s "$folder/out/show.mp4" ]; then
        produced=yes
    fi
    # The video is not kept: only what happened.
    rm -rf "$folder/out"
    finish capture "$index" "$folder" "$status" "$hung" "$produced"
}

# The load: two processes that never sleep.
yes >/dev/null &
load1=$!
yes >/dev/null &
load2=$!
# On the way out, also when interrupted: the load, and every program a run started.
stop_all() {
    local pid
    kill "$load1" "$load2" 2>/dev/null || true
    for pid in $(cat "$logs"/*/pids 2>/dev/null); do
        kill -9 "$pid" 2>/dev/null || true
    done
}
trap stop_all EXIT

configuration="LP_NUM_THREADS=${LP_NUM_THREADS:-unset (as shipped)}, probe delay ${MUTEX_PROBE_DELAY_US:-0} us every ${MUTEX_PROBE_DELAY_EVERY:-1}"
echo "soak: $count shows and $count captures, $jobs at a time, beside two yes; $configuration;" \
    "logs in $logs"
started=$(date +%s)
running=0
for index in $(seq "$count"); do
    for kind in show capture; do
        if [ "$running" -ge "$jobs" ]; then
            wait -n || true
            running=$((running - 1))
        fi
        "run_$kind" "$index" &
        running=$((running + 1))
    done
done
while [ "$running" -gt 0 ]; do
    wait -n || true
    running=$((running - 1))
done

runs=$(wc -l <"$results")
shows=$(grep -c '^show ' "$results" || true)
captures=$(grep -c '^capture ' "$results" || true)
crashes=$(grep -c ' crash ' "$results" || true)
hangs=$(grep -c ' hang ' "$results" || true)
events=$(awk -F'events=' '{ total += $2 } END { print total + 0 }' "$results")
event_runs=$(awk -F'events=' '$2 > 0' "$results" | wc -l)
echo "soak: took $(($(date +%s) - started)) s; each run's verdict is in $results"
grep -v ' ok ' "$results" | sed 's/^/soak: not ok: /' || true
echo "soak: $runs runs ($shows shows, $captures captures): $crashes crashes, $hangs hangs," \
    "$events probe events (in $event_runs runs); $configuration"
[ "$crashes" -eq 0 ] && [ "$hangs" -eq 0 ] && [ "$events" -eq 0 ]
