#!/usr/bin/env bash
# End-to-end run of the Windows executable under Wine, on its own Xvfb screen managed by openbox
# (Alt+F4 closes the active window), checked from the outside: by X (xdotool) and by window_probe.exe, which runs in the same Wine session and reads
# the windows, message boxes and display modes through Win32.
#
# Usage: e2e.sh CASE SHOW.exe PROBE.exe
#   fullscreen    640 x 480 x 16 screen: the mode change succeeds, the show runs fullscreen to its
#                 end and the process exits with code 0 about 52.3 s after the show starts
#   windowed-yes  1024 x 768 x 16 screen: the mode change fails, the box asks for windowed mode,
#                 Return answers Yes, the show runs in a window with a 640 x 480 client area, and
#                 closing that window (Alt+F4) ends the process with code 0
#   windowed-no   1024 x 768 x 16 screen: the box is answered No, "Program Will Now Close."
#                 follows, and the process ends with code 0 without showing the window
#
# Uses $WINEPREFIX if set (restarting its Wine session so that Wine's desktop uses this test's
# screen), otherwise a throw-away prefix of its own. Wine's exit code is the show's own: the show
# runs as a plain `wine SHOW.exe`, never inside a virtual desktop.
set -euo pipefail

if [ $# -ne 3 ]; then
    echo "usage: e2e.sh fullscreen|windowed-yes|windowed-no SHOW.exe PROBE.exe" >&2
    exit 2
fi
case_name=$1
show_exe=$2
probe_exe=$3

case "$case_name" in
fullscreen) screen=640x480x16 ;;
windowed-yes | windowed-no) screen=1024x768x16 ;;
*)
    echo "unknown case: $case_name" >&2
    exit 2
    ;;
esac

work=$(mktemp -d -t solid-e2e.XXXXXX)
xvfb_pid=""
openbox_pid=""
show_pid=""
own_prefix=""

cleanup() {
    if [ -n "$show_pid" ] && kill -0 "$show_pid" 2>/dev/null; then
        kill "$show_pid" 2>/dev/null || true
    fi
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$openbox_pid" ]; then
        kill "$openbox_pid" 2>/dev/null || true
        wait "$openbox_pid" 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    if [ -n "$own_prefix" ]; then
        rm -rf "$own_prefix"
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL ($case_name): $*" >&2
    if [ -s "$work/show.log" ]; then
        echo "--- show's output (ALSA's complaints about the missing sound card left out)" >&2
        grep -v -e '^ALSA lib' -e ':trace:winmm:' "$work/show.log" >&2 || true
    fi
    exit 1
}

now() {
    date +%s.%N
}

# seconds(a, b) = b - a, to the millisecond.
seconds() {
    awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'
}

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's GL is this machine's Mesa: without a GPU, llvmpipe, whose own rasteriser threads race
# over its fences (platform/mesa/software_renderer.cpp). The Windows executable leaves Mesa's
# environment alone, so the run sets what the program sets for itself on the other backends.
export LP_NUM_THREADS=0

# An X screen of its own: a display number picked at random from 200 to 899 that no other
# server holds, tried again with another number if Xvfb cannot take it.
for _ in $(seq 20); do
    number=$((200 + RANDOM % 700))
    [ -e "/tmp/.X${number}-lock" ] || [ -e "/tmp/.X11-unix/X${number}" ] && continue
    Xvfb ":$number" -screen 0 "$screen" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X${number}" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$xvfb_pid" 2>/dev/null && xdpyinfo -display ":$number" >/dev/null 2>&1; then
        break
    fi
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
done
[ -n "$xvfb_pid" ] || fail "Xvfb did not start"
export DISPLAY=":$number"

# openbox with its defaults (no user configuration), so that Alt+F4 closes the active window.
mkdir -p "$work/xdg-config"
XDG_CONFIG_HOME="$work/xdg-config" openbox >"$work/openbox.log" 2>&1 &
openbox_pid=$!
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
    fail "openbox did not start"

if [ -n "${WINEPREFIX:-}" ]; then
    # A running Wine session keeps the display of the process that started it.
    wineserver -k >/dev/null 2>&1 || true
else
    own_prefix=$(mktemp -d -t solid-wine.XXXXXX)
    export WINEPREFIX=$own_prefix
    "${SOLID_WINE:-wine}" wineboot -i >/dev/null 2>&1
fi
wineserver -w

probe() {
    timeout 60 "${SOLID_WINE:-wine}" "$probe_exe" "$1" 2>/dev/null | tr -d '\r'
}

# Waits until a visible X window has exactly this name; fails after the limit (seconds).
wait_for_window() {
    local name=$1 limit=$2 deadline
    deadline=$(awk -v t="$(now)" -v l="$limit" 'BEGIN { printf "%.3f", t + l }')
    until xdotool search --onlyvisible --name "^${name}\$" >/dev/null 2>&1; do
        if ! kill -0 "$show_pid" 2>/dev/null; then
            fail "the show ended before the window \"$name\" appeared"
        fi
        if awk -v t="$(now)" -v d="$deadline" 'BEGIN { exit !(t > d) }'; then
            fail "no window \"$name\" after ${limit} s"
        fi
        sleep 0.1
    done
}

# Waits until the window with keyboard focus has exactly this name, as keys go to that window.
wait_for_active() {
    local name=$1
    for _ in $(seq 200); do
        [ "$(xdotool getactivewindow getwindowname 2>/dev/null)" = "$name" ] && return 0
        sleep 0.1
    done
    fail "the window \"$name\" did not get the keyboard focus"
}

# Waits for the show to end within the limit (seconds) and checks its exit code is 0.
wait_for_exit() {
    local limit=$1 status=0
    for _ in $(seq $((limit * 10))); do
        kill -0 "$show_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$show_pid" 2>/dev/null && fail "the show was still running ${limit} s later"
    end_since_boot=$(cut -d' ' -f1 /proc/uptime)
    wait "$show_pid" || status=$?
    show_pid=""
    end_time=$(now)
    [ "$status" -eq 0 ] || fail "the show's exit code was $status, not 0"
}

expect_line() {
    local file=$1 line=$2
    grep -qxF -- "$line" "$file" || fail "expected the line '$line' in: $(cat "$file")"
}

# A picture in the show's window, not a blank one: its X window (the client area; the frame
# around it is the window manager's) is 640 x 480 and holds at least two colours.
expect_picture() {
    local window size colours
    window=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -1)
    [ -n "$window" ] || fail "no X window for the show to take a picture of"
    import -display "$DISPLAY" -window "$window" "$work/window.png" 2>/dev/null ||
        fail "no screenshot of the show's window"
    size=$(identify -format '%wx%h' "$work/window.png")
    [ "$size" = 640x480 ] || fail "the show's X window is $size, not 640x480"
    colours=$(convert "$work/window.png" -format %k info:)
    [ "$colours" -ge 2 ] || fail "the show's window is one flat colour"
}

start_time=$(now)
# Wine's own trace of winmm, with times since boot, shows when the show started its song: the
# show's time 0, by its own doing, whatever the load.
WINEDEBUG=-all,+timestamp,+winmm timeout --kill-after=10 230 "${SOLID_WINE:-wine}" "$show_exe" \
    >"$work/show.log" 2>&1 &
show_pid=$!

title="Kelo's Solid Object Tutorial"
case "$case_name" in
fullscreen)
    wait_for_window "$title" 90
    shown_time=$(now)
    probe modes >"$work/modes"
    expect_line "$work/modes" "current 640x480x16"
    expect_line "$work/modes" "change 640x480x16 DISP_CHANGE_SUCCESSFUL"
    probe windows >"$work/windows"
    # The mode change went through: no question was asked, and the window is a borderless popup
    # (WS_POPUP, WS_VISIBLE, WS_CLIPSIBLINGS, WS_CLIPCHILDREN) over the whole screen.
    grep -q '"Kelo GL"' "$work/windows" && fail "the show asked for windowed mode: $(cat "$work/windows")"
    expect_line "$work/windows" \
        "window \"$title\" class \"OpenGL\" style 0x96000000 exstyle 0x00040000 at 0,0 client 640x480"
    sleep 3
    expect_picture
    wait_for_exit 120
    # The show's clock starts as its song starts playing; the clock runs 52.3 s, and each scene
    # change may come a frame late.
    zero=$(awk -F: '/:trace:winmm:MULTIMEDIA_PlaySound / { print $1; exit }' "$work/show.log")
    [ -n "$zero" ] || fail "no trace of the song starting (winmm's PlaySound) in Wine's log"
    elapsed=$(seconds "$zero" "$end_since_boot")
    awk -v e="$elapsed" 'BEGIN { exit !(e >= 52.0 && e <= 55.0) }' ||
        fail "the show ended ${elapsed} s after its song started, not about 52.3 s"
    echo "fullscreen: exit code 0, $(seconds "$start_time" "$end_time") s after start," \
        "${elapsed} s after the song started, $(seconds "$shown_time" "$end_time") s after the" \
        "window appeared"
    ;;
windowed-yes)
    wait_for_window "Kelo GL" 90
    probe modes >"$work/modes"
    expect_line "$work/modes" "change 640x480x16 DISP_CHANGE_BADMODE"
    probe windows >"$work/windows"
    expect_line "$work/windows" "  text \"The Requested Fullscreen Mode Is Not Supported By\\nYour\
 Video Card. Use Windowed Mode Instead?\""
    expect_line "$work/windows" "  button 6 \"&Yes\""
    expect_line "$work/windows" "  button 7 \"&No\""
    wait_for_active "Kelo GL"
    xdotool key Return
    wait_for_window "$title" 90
    probe windows >"$work/windows"
    # An ordinary overlapped window (WS_OVERLAPPEDWINDOW, WS_VISIBLE, WS_CLIPSIBLINGS,
    # WS_CLIPCHILDREN) at the top left, its client area the show's 640 x 480.
    grep -q "^window \"$title\" class \"OpenGL\" style 0x16CF0000 exstyle 0x00040100 at 0,0 client\
 640x480\$" "$work/windows" || fail "not the expected window: $(cat "$work/windows")"
    sleep 3
    expect_picture
    # Close it as a person would: Alt+F4, which openbox turns into a close request.
    wait_for_active "$title"
    xdotool key alt+F4
    wait_for_exit 60
    echo "windowed-yes: closed with Alt+F4, exit code 0," \
        "$(seconds "$start_time" "$end_time") s after start"
    ;;
windowed-no)
    wait_for_window "Kelo GL" 90
    wait_for_active "Kelo GL"
    xdotool key n
    wait_for_window "ERROR" 60
    probe windows >"$work/windows"
    expect_line "$work/windows" "  text \"Program Will Now Close.\""
    expect_line "$work/windows" "  button 1 \"OK\""
    grep -q "\"$title\"" "$work/windows" && fail "the show's window was opened"
    wait_for_active "ERROR"
    xdotool key Return
    wait_for_exit 60
    echo "windowed-no: exit code 0, $(seconds "$start_time" "$end_time") s after start"
    ;;
esac
