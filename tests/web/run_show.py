#!/usr/bin/env python3
"""The show's page in headless Chromium (SwiftShader's WebGL 2), served over local HTTP from the
built site folder, on the test clock of show_harness.js (the capture's frame times, one frame per
animation frame, held while the test wants).

  show: the fullscreen question answered Yes with a click; the whole show plays to the end page;
        the frames at --at show times match the capture's PNGs (--reference): at most
        --max-differing pixels differ by more than one level; the samples handed to Web Audio
        are the song.
  keys: Yes with Return; Right and Up held for 20 frames each move the picture right and up
        against the capture's frame at 4 s; then the close button ends the show.
  no:   No with Escape; the program's closing message, OK with Return, and the end page.
  bench (not a test; scripts/bench_web.sh): whole shows on the real clock, animation frames a
        second in each scene and the program's milliseconds per frame.

Every part fails on an error in the browser's console. Run with Debian's python3 (selenium).
"""

import argparse
import base64
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
sys.path.insert(0, HERE)
from frame_diff import Difference, read_frame  # noqa: E402
from run_browser import console_errors, open_browser, serve, write_png  # noqa: E402

from selenium.webdriver.common.action_chains import ActionChains  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

FPS = 60
SONG_CRC = 0x871A75C3
SONG_FRAMES = 5362560
QUESTION = ("The Requested Fullscreen Mode Is Not Supported By\n"
            "Your Video Card. Use Windowed Mode Instead?")
CLOSING = "Program Will Now Close."
ENDED = "The show has ended."
# A whole show is 52 s of frames at the display's 60 a second, longer when SwiftShader cannot
# keep up on a loaded machine.
SHOW_TIMEOUT = 900
STEP_TIMEOUT = 120


def frame_on_screen_at(time_ms):
    """The capture's frame on screen at a show time (platform/win32/frame_clock.h)."""
    frame = time_ms * FPS // 1000
    while (frame + 1) * 1000 // FPS <= time_ms:
        frame += 1
    return frame


def state(driver, expression):
    return driver.execute_script(f"return {expression}")


def wait_for(driver, expression, timeout=STEP_TIMEOUT, what=None):
    try:
        WebDriverWait(driver, timeout, poll_frequency=0.2).until(lambda d: state(d, expression))
    except Exception:
        raise AssertionError(f"timed out waiting for {what or expression}") from None


def open_page(driver, url):
    driver.get(url)
    wait_for(driver, "!document.getElementById('dialog').hidden", what="the first dialog")
    text = driver.find_element(By.ID, "dialog-text").text
    assert text == QUESTION, f"first dialog says {text!r}"


def grabbed_frame(driver, frame):
    return base64.b64decode(state(driver, f"window.showTest.grabbed[{frame}]"))


def check_no_errors(driver, part):
    errors = console_errors(driver)
    problems = state(driver, "window.showTest.problems")
    for message in errors + problems:
        print(f"{part}: {message}")
    assert not errors and not problems, f"{part}: errors in the page"


def part_show(driver, url, args):
    times = sorted(int(t) for t in args.at.split(","))
    frames = [frame_on_screen_at(t) for t in times]
    open_page(driver, url)
    driver.execute_script(f"window.showTest.wanted = {frames}; window.showTest.runTo = Infinity;")
    started = time.monotonic()
    buttons = driver.find_elements(By.CSS_SELECTOR, "#dialog-buttons button")
    next(b for b in buttons if b.text == "Yes").click()
    wait_for(driver, "!document.getElementById('ended').hidden", SHOW_TIMEOUT, "the end page")
    print(f"show: ended after frame {state(driver, 'window.showTest.frame')} "
          f"in {time.monotonic() - started:.0f} s")
    ended = driver.find_element(By.ID, "ended-text").text
    assert ended == ENDED, f"end page says {ended!r}"
    assert driver.find_element(By.ID, "again").is_displayed()

    sound = state(driver, "window.showTest.sound")
    assert sound is not None, "no samples reached Web Audio"
    print(f"show: sound {sound['frames']} frames, {sound['channels']} channel(s), "
          f"{sound['rate']} Hz, CRC-32 {sound['crc']:#010x}")
    assert (sound["crc"], sound["frames"], sound["channels"], sound["rate"]) == \
        (SONG_CRC, SONG_FRAMES, 1, 44100)

    os.makedirs(args.out, exist_ok=True)
    failures = []
    for time_ms, frame in zip(times, frames):
        name = f"frame_{time_ms:06d}.png"
        if not state(driver, f"{frame} in window.showTest.grabbed"):
            failures.append(f"{time_ms} ms: frame {frame} never shown")
            continue
        write_png(os.path.join(args.out, name), grabbed_frame(driver, frame))
        # The canvas shows the 16-bit picture expanded to 8 bits by the browser's rounding, the
        # capture by repeating the high bits: the same colour may come out one level apart.
        difference = Difference(read_frame(os.path.join(args.reference, name)),
                                read_frame(os.path.join(args.out, name)), big=1)
        print(f"show: {time_ms:6d} ms: {difference}", flush=True)
        if difference.big > args.max_differing:
            failures.append(f"{time_ms} ms: {difference}")
    check_no_errors(driver, "show")
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
            xs += i % 640
            ys += i // 640
            n += 1
    assert n > 1000, "hardly anything drawn"
    return xs / n, ys / n


def run_frames_to(driver, frame):
    driver.execute_script(f"window.showTest.runTo = {frame}")
    wait_for(driver, f"window.showTest.frame >= {frame}", what=f"frame {frame}")


def hold_key(driver, key, frames):
    """Holds a key for `frames` frames of the held clock: pressed and released while it stands."""
    for action, keys_seen in ((ActionChains(driver).key_down(key), 1),
                              (ActionChains(driver).key_up(key), 2)):
        before = state(driver, "window.showTest.keys")
        action.perform()
        wait_for(driver, f"window.showTest.keys >= {before + 1}", what="the key in the page")
        # The program has looked at its queue since: two more waits for a frame.
        waits = state(driver, "window.showTest.waits")
        wait_for(driver, f"window.showTest.waits >= {waits + 2}", what="the program's next look")
        if keys_seen == 1:
            run_frames_to(driver, state(driver, "window.showTest.frame") + frames)


def part_keys(driver, url, args):
    open_page(driver, url)
    ActionChains(driver).send_keys(Keys.RETURN).perform()
    wait_for(driver, "!document.getElementById('window').hidden", what="the window")
    run_frames_to(driver, 60)
    hold_key(driver, Keys.ARROW_RIGHT, 20)
    hold_key(driver, Keys.ARROW_UP, 20)
    time_ms = 4000
    frame = frame_on_screen_at(time_ms)
    driver.execute_script(f"window.showTest.wanted = [{frame}]")
    run_frames_to(driver, frame)
    wait_for(driver, f"{frame} in window.showTest.grabbed", what=f"frame {frame}")
    moved = grabbed_frame(driver, frame)
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
    driver.find_element(By.ID, "close").click()
    wait_for(driver, "!document.getElementById('ended').hidden", what="the end page")
    ended = driver.find_element(By.ID, "ended-text").text
    assert ended == ENDED, f"end page says {ended!r}"
    check_no_errors(driver, "keys")


def part_no(driver, url, args):
    open_page(driver, url)
    ActionChains(driver).send_keys(Keys.ESCAPE).perform()
    wait_for(driver, "document.getElementById('dialog-text').textContent === "
             f"'{CLOSING}' && !document.getElementById('dialog').hidden", what="the closing box")
    assert state(driver, "document.getElementById('window').hidden"), "a window was shown"
    ActionChains(driver).send_keys(Keys.RETURN).perform()
    wait_for(driver, "!document.getElementById('ended').hidden", what="the end page")
    assert state(driver, "window.showTest.sound") is None, "sound started after No"
    check_no_errors(driver, "no")
    print("no: the closing message, then the end page")


# The scenes by their nominal start on the show's clock (ms); the four banner scenes together.
SCENE_STARTS = [("walk", 0), ("flicker", 8500), ("spin", 12500), ("fountain", 14300),
                ("orbit", 24300), ("falling", 34300), ("banners", 44300), ("end", 52300)]
# Frames this close to a scene change are left out: the change drifts by up to a frame a scene.
SCENE_MARGIN_MS = 250


def median(values):
    values = sorted(values)
    return values[len(values) // 2] if values else float("nan")


def bench_once(driver, url):
    """One whole show on the real clock: per scene, animation frames a second and the median
    milliseconds the program took per frame (its frame driver, our GL subset, presenting)."""
    driver.get(url)
    wait_for(driver, "!document.getElementById('dialog').hidden", what="the first dialog")
    ActionChains(driver).send_keys(Keys.RETURN).perform()
    wait_for(driver, "!document.getElementById('ended').hidden", SHOW_TIMEOUT, "the end page")
    start, times, spent = state(driver, "[window.showTest.soundAt, window.showTest.frameTimes, "
                                        "window.showTest.programMs]")
    check_no_errors(driver, "bench")
    result = {}
    for (name, begin), (_, end) in zip(SCENE_STARTS, SCENE_STARTS[1:]):
        low, high = begin + SCENE_MARGIN_MS, end - SCENE_MARGIN_MS
        inside = [i for i, t in enumerate(times) if low <= t - start < high]
        result[name] = (len(inside) / ((high - low) / 1000), median([spent[i] for i in inside]))
    return result


def part_bench(driver, url, args):
    runs = []
    for run in range(args.runs):
        with open("/proc/loadavg") as load:
            before = load.read().split()[0]
        runs.append(bench_once(driver, url))
        with open("/proc/loadavg") as load:
            after = load.read().split()[0]
        print(f"bench: run {run + 1}: load {before} -> {after}: " + ", ".join(
            f"{name} {fps:.1f} fps {ms:.2f} ms" for name, (fps, ms) in runs[-1].items()),
            flush=True)
    print(f"bench: medians of {args.runs} runs")
    print(f"bench: {'scene':10} {'fps':>6} {'ms/frame':>9}")
    for name, _ in SCENE_STARTS[:-1]:
        fps = median([run[name][0] for run in runs])
        ms = median([run[name][1] for run in runs])
        print(f"bench: {name:10} {fps:6.1f} {ms:9.2f}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True, help="the built site folder")
    parser.add_argument("--reference", help="the capture's frames (show, keys)")
    parser.add_argument("--out", default="build-web/browser_show", help="frames seen (PNG)")
    parser.add_argument("--at", default="", help="show times (ms) of the frames compared (show)")
    parser.add_argument("--max-differing", type=int, default=0)
    parser.add_argument("--parts", default="no,keys,show",
                        help="of show, keys, no and bench (the benchmark, on the real clock)")
    parser.add_argument("--runs", type=int, default=3, help="whole shows the benchmark plays")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    parts = {"show": part_show, "keys": part_keys, "no": part_no, "bench": part_bench}
    server = serve(args.dir)
    driver = open_browser()
    failed = []
    try:
        with open(os.path.join(HERE, "show_harness.js")) as harness:
            source = harness.read()
        if "bench" in args.parts.split(","):
            # The real clock, running from the start.
            source += "\nwindow.showTest.fps = 0; window.showTest.runTo = Infinity;\n"
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": source})
        url = f"http://127.0.0.1:{server.server_address[1]}/index.html"
        for name in args.parts.split(","):
            try:
                parts[name](driver, url, args)
                print(f"{name}: ok", flush=True)
            except AssertionError as error:
                print(f"{name}: FAILED: {error}", flush=True)
                failed.append(name)
    finally:
        driver.quit()
        server.shutdown()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
