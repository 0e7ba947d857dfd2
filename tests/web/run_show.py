#!/usr/bin/env python3
"""The show's page in a browser engine (browsers.py: chromium, firefox or webkit), served over
local HTTP from the built site folder, on the test clock of show_harness.js (the capture's frame
times, one frame per animation frame, held while the test wants).

  show: the fullscreen question answered Yes with a click; the whole show plays to the end page
        on a test clock of --fps frames a second, every frame drawn and shown; the frames at --at
        show times match the capture's PNGs at that rate (--reference): at most --max-differing
        pixels differ by more than one level; the samples handed to Web Audio are the song.
  keys: Yes with Return, on the same test clock; Right and Up held for 20 frames each move the
        picture right and up against the capture's frame at 4 s; then the close button ends the
        show.
  no:   No with Escape; the program's closing message, OK with Return, and the end page.
  pace: on the real clock with every present made slow (longer than the frame timer's period):
        the page still gets its thread after each picture, so each one is shown.
  bench (not a test; scripts/bench_web.sh): whole shows on the real clock, animation frames a
        second in each scene and the program's milliseconds per frame.

Every part fails on an error in the page (and in the console, where the engine's driver reads
it). Run with Debian's python3 (selenium, websockets).
"""

import argparse
import base64
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
sys.path.insert(0, HERE)
from browsers import ENGINES, open_engine, serve  # noqa: E402
from frame_diff import Difference, read_frame  # noqa: E402

from PIL import Image  # noqa: E402

WIDTH, HEIGHT = 640, 480
FPS = 60
SONG_CRC = 0x871A75C3
SONG_FRAMES = 5362560
QUESTION = ("The Requested Fullscreen Mode Is Not Supported By\n"
            "Your Video Card. Use Windowed Mode Instead?")
CLOSING = "Program Will Now Close."
ENDED = "The show has ended."
# A whole show is 52 s of frames at the display's 60 a second, longer when the renderer cannot
# keep up on a loaded machine.
SHOW_TIMEOUT = 900
STEP_TIMEOUT = 120


def frame_on_screen_at(time_ms, fps=FPS):
    """The capture's frame on screen at a show time (platform/win32/frame_clock.h)."""
    frame = time_ms * fps // 1000
    while (frame + 1) * 1000 // fps <= time_ms:
        frame += 1
    return frame


def write_png(path, rgb):
    Image.frombytes("RGB", (WIDTH, HEIGHT), rgb).save(path)


def wait_for(browser, expression, timeout=STEP_TIMEOUT, what=None):
    deadline = time.monotonic() + timeout
    while not browser.run(expression):
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what or expression}")
        time.sleep(0.2)


def shown(element_id):
    return f"!document.getElementById('{element_id}').hidden"


def text_of(browser, element_id):
    return browser.run(f"document.getElementById('{element_id}').textContent")


def open_page(browser, url):
    browser.open(url)
    wait_for(browser, shown("dialog"), what="the first dialog")
    text = text_of(browser, "dialog-text")
    assert text == QUESTION, f"first dialog says {text!r}"


def click_button(browser, label):
    """Clicks the dialog's button with that label, as a user's pointer does."""
    labels = browser.run("[...document.querySelectorAll('#dialog-buttons button')]"
                         ".map((button) => button.textContent)")
    assert label in labels, f"no {label} button among {labels}"
    browser.click(f"#dialog-buttons button:nth-child({labels.index(label) + 1})")


def grabbed_frame(browser, frame):
    return base64.b64decode(browser.run(f"window.showTest.grabbed[{frame}]"))


def check_no_errors(browser, part):
    errors = browser.errors()
    problems = browser.run("window.showTest.problems")
    for message in errors + problems:
        print(f"{part}: {message}")
    assert not errors and not problems, f"{part}: errors in the page"


def check_ended(browser):
    wait_for(browser, shown("ended"), what="the end page")
    ended = text_of(browser, "ended-text")
    assert ended == ENDED, f"end page says {ended!r}"


def part_show(browser, url, args):
    times = sorted(int(t) for t in args.at.split(","))
    frames = [frame_on_screen_at(t, args.fps) for t in times]
    open_page(browser, f"{url}?fps={args.fps}")
    browser.run(f"window.showTest.wanted = {frames}, window.showTest.runTo = Infinity")
    started = time.monotonic()
    click_button(browser, "Yes")
    wait_for(browser, shown("ended"), SHOW_TIMEOUT, "the end page")
    print(f"show: ended after frame {browser.run('window.showTest.frame')} "
          f"in {time.monotonic() - started:.0f} s")
    check_ended(browser)
    assert browser.run(shown("again")), "no Play it again button"

    sound = browser.run("window.showTest.sound")
    assert sound is not None, "no samples reached Web Audio"
    print(f"show: sound {sound['frames']} frames, {sound['channels']} channel(s), "
          f"{sound['rate']} Hz, CRC-32 {sound['crc']:#010x}")
    assert (sound["crc"], sound["frames"], sound["channels"], sound["rate"]) == \
        (SONG_CRC, SONG_FRAMES, 1, 44100)

    failures = []
    for time_ms, frame in zip(times, frames):
        name = f"frame_{time_ms:06d}.png"
        if not browser.run(f"{frame} in window.showTest.grabbed"):
            failures.append(f"{time_ms} ms: frame {frame} never shown")
            continue
        write_png(os.path.join(args.out, name), grabbed_frame(browser, frame))
        # The canvas shows the 16-bit picture expanded to 8 bits by the browser's rounding, the
        # capture by repeating the high bits: the same colour may come out one level apart.
        difference = Difference(read_frame(os.path.join(args.reference, name)),
                                read_frame(os.path.join(args.out, name)), big=1)
        print(f"show: {time_ms:6d} ms: {difference}", flush=True)
        if difference.big > args.max_differing:
            failures.append(f"{time_ms} ms: {difference}")
    check_no_errors(browser, "show")
    assert not failures, "; ".join(failures)


def content_centre(rgb):
    """The mean position of the pixels that are not the background (the commonest colour)."""
    pixels = [rgb[i:i + 3] for i in range(0, len(rgb), 3)]
    counts = {}
    for pixel in pixels:
        counts[pixel] = counts.get(pixel, 0) + 1
    background = max(counts, key=counts.get)
    xs = ys = n = 0
    for i, pixel in enumerate(pixels):
        if pixel != background:
            xs += i % WIDTH
            ys += i // WIDTH
            n += 1
    assert n > 1000, "hardly anything drawn"
    return xs / n, ys / n


def run_frames_to(browser, frame):
    browser.run(f"window.showTest.runTo = {frame}")
    wait_for(browser, f"window.showTest.frame >= {frame}", what=f"frame {frame}")


def hold_key(browser, key, frames):
    """Holds a key for `frames` frames of the held clock: pressed and released while it stands."""
    for down in (True, False):
        before = browser.run("window.showTest.keys")
        browser.key(key, down)
        wait_for(browser, f"window.showTest.keys >= {before + 1}", what="the key in the page")
        # The program has looked at its queue since: two more waits for a frame.
        waits = browser.run("window.showTest.waits")
        wait_for(browser, f"window.showTest.waits >= {waits + 2}", what="the program's next look")
        if down:
            run_frames_to(browser, browser.run("window.showTest.frame") + frames)


def part_keys(browser, url, args):
    open_page(browser, f"{url}?fps={args.fps}")
    browser.press("Enter")
    wait_for(browser, shown("window"), what="the window")
    run_frames_to(browser, frame_on_screen_at(1000, args.fps))
    hold_key(browser, "ArrowRight", 20)
    hold_key(browser, "ArrowUp", 20)
    time_ms = 4000
    frame = frame_on_screen_at(time_ms, args.fps)
    browser.run(f"window.showTest.wanted = [{frame}]")
    run_frames_to(browser, frame)
    wait_for(browser, f"{frame} in window.showTest.grabbed", what=f"frame {frame}")
    moved = grabbed_frame(browser, frame)
    write_png(os.path.join(args.out, "keys_004000.png"), moved)
    _, _, still = read_frame(os.path.join(args.reference, f"frame_{time_ms:06d}.png"))
    (x0, y0), (x1, y1) = content_centre(still), content_centre(moved)
    print(f"keys: the picture's centre moved from ({x0:.1f}, {y0:.1f}) to ({x1:.1f}, {y1:.1f})")
    # Twenty steps of 0.1 move this scene's sprites about 22 pixels each way; a key that is lost,
    # counted twice or taken for another moves them not at all, twice as far, or the wrong way.
    assert 15 < x1 - x0 < 30 and 15 < y0 - y1 < 30, \
        "Right and Up did not move the picture right and up by twenty steps"
    # The close button: the program's loop ends, it takes its window and GL context down itself,
    # and the page ends.
    browser.click("#close")
    check_ended(browser)
    check_no_errors(browser, "keys")


def part_no(browser, url, args):
    open_page(browser, url)
    browser.press("Escape")
    wait_for(browser, f"document.getElementById('dialog-text').textContent === '{CLOSING}'"
             f" && {shown('dialog')}", what="the closing box")
    assert browser.run("document.getElementById('window').hidden"), "a window was shown"
    browser.press("Enter")
    check_ended(browser)
    assert browser.run("window.showTest.sound") is None, "sound started after No"
    check_no_errors(browser, "no")
    print("no: the closing message, then the end page")


# Each present made this much slower: longer than the frame timer's 10 ms, so that the timer is
# due again as soon as a frame is finished.
SLOW_PRESENT_MS = 15
PACE_PRESENTS = 30


def part_pace(browser, url, args):
    open_page(browser, url + "?clock=real&slow=" + str(SLOW_PRESENT_MS))
    browser.press("Enter")
    wait_for(browser, f"window.showTest.presents >= {PACE_PRESENTS}",
             what=f"{PACE_PRESENTS} pictures")
    presents, waits, most = browser.run(
        "[window.showTest.presents, window.showTest.waits, Math.max("
        "window.showTest.mostPresentsPerWait,"
        " window.showTest.presents - window.showTest.presentsAtWait)]")
    print(f"pace: {presents} pictures in {waits} animation frames, at most {most} in one")
    assert most <= 1, "the program drew pictures the page never got to show"
    browser.click("#close")
    check_ended(browser)
    check_no_errors(browser, "pace")


# The scenes by their nominal start on the show's clock (ms); the four banner scenes together.
SCENE_STARTS = [("walk", 0), ("flicker", 8500), ("spin", 12500), ("fountain", 14300),
                ("orbit", 24300), ("falling", 34300), ("banners", 44300), ("end", 52300)]
# Frames this close to a scene change are left out: the change drifts by up to a frame a scene.
SCENE_MARGIN_MS = 250


def median(values):
    values = sorted(values)
    return values[len(values) // 2] if values else float("nan")


def bench_once(browser, url):
    """One whole show on the real clock: per scene, animation frames a second and the median
    milliseconds the program took per frame (its frame driver, our GL subset, presenting)."""
    open_page(browser, url + "?clock=real")
    browser.press("Enter")
    wait_for(browser, shown("ended"), SHOW_TIMEOUT, "the end page")
    start, times, spent = browser.run("[window.showTest.soundAt, window.showTest.frameTimes, "
                                      "window.showTest.programMs]")
    check_no_errors(browser, "bench")
    result = {}
    for (name, begin), (_, end) in zip(SCENE_STARTS, SCENE_STARTS[1:]):
        low, high = begin + SCENE_MARGIN_MS, end - SCENE_MARGIN_MS
        inside = [i for i, t in enumerate(times) if low <= t - start < high]
        result[name] = (len(inside) / ((high - low) / 1000), median([spent[i] for i in inside]))
    return result


def load_average():
    with open("/proc/loadavg", encoding="ascii") as load:
        return load.read().split()[0]


def part_bench(browser, url, args):
    runs = []
    for run in range(args.runs):
        before = load_average()
        runs.append(bench_once(browser, url))
        print(f"bench: {browser.name} run {run + 1}: load {before} -> {load_average()}: " +
              ", ".join(f"{name} {fps:.1f} fps {ms:.2f} ms"
                        for name, (fps, ms) in runs[-1].items()), flush=True)
    print(f"bench: {browser.name}: medians of {args.runs} runs")
    print(f"bench: {'scene':10} {'fps':>6} {'ms/frame':>9}")
    for name, _ in SCENE_STARTS[:-1]:
        fps = median([run[name][0] for run in runs])
        ms = median([run[name][1] for run in runs])
        print(f"bench: {name:10} {fps:6.1f} {ms:9.2f}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--engine", choices=ENGINES, default="chromium")
    parser.add_argument("--dir", required=True, help="the built site folder")
    parser.add_argument("--reference", help="the capture's frames (show, keys)")
    parser.add_argument("--out", default="build-web/browser_show",
                        help="frames seen (PNG) and the browser's logs")
    parser.add_argument("--at", default="", help="show times (ms) of the frames compared (show)")
    parser.add_argument("--fps", type=int, default=FPS,
                        help="the test clock's frames a second in the show, as the reference's")
    parser.add_argument("--max-differing", type=int, default=0)
    parser.add_argument("--parts", default="no,keys,pace,show",
                        help="of show, keys, no, pace and bench (the benchmark, on the real clock)")
    parser.add_argument("--runs", type=int, default=3, help="whole shows the benchmark plays")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    parts = {"show": part_show, "keys": part_keys, "no": part_no, "pace": part_pace,
             "bench": part_bench}
    with open(os.path.join(HERE, "show_harness.js"), encoding="utf-8") as harness:
        server = serve(args.dir, [harness.read()])
    browser = open_engine(args.engine, os.path.join(args.out, "browser"))
    failed = []
    try:
        print(f"{args.engine}: WebGL 2: {browser.renderer()}", flush=True)
        url = f"http://127.0.0.1:{server.server_address[1]}/index.html"
        for name in args.parts.split(","):
            started = time.monotonic()
            try:
                parts[name](browser, url, args)
                print(f"{name}: ok ({time.monotonic() - started:.0f} s)", flush=True)
            except AssertionError as error:
                print(f"{name}: FAILED: {error}", flush=True)
                failed.append(name)
    finally:
        browser.quit()
        server.shutdown()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
