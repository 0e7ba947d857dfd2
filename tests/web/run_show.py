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
  hidden: on the real clock, the page hidden for a few seconds in the first scene: its sound and
        clock stand meanwhile, the second scene comes that much later, at its time in the song,
        and picture and sound agree after. Then its WebGL context is lost, as in lost.
  lost (in hidden; alone when asked): on the real clock, the page's WebGL context lost: the show
        ends on the end page with its message, and draws nothing after.
  sharp: at a device-pixel ratio of 2 (where the driver can set one), the picture scaled by two
        with no smoothing: every frame pixel a 2 x 2 square, the frame the capture's.
  phone: on a phone's touch screen with no keyboard (390 x 844 CSS pixels at a ratio of 3, where
        the driver can emulate one): the page fits, a tap answers the question, the picture fills
        the width, a double tap makes it fullscreen, a tap on the close button ends it.
  sync (not a test; scripts/bench_web.sh): how far the picture is from the sound as heard, on the
        real clock, and how far the page's clock before this was.
  bench (not a test; scripts/bench_web.sh): whole shows on the real clock, animation frames a
        second in each scene and the program's milliseconds per frame.

Every part fails on an error in the page (and in the console, where the engine's driver reads
it). Run with Debian's python3 (selenium, websockets).
"""

import argparse
import base64
import json
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


# The page is hidden this many seconds once the song has played this far, in the first scene; the
# second scene starts 8.5 s into the show, the first frame drawn over the colour cycle two frames
# later.
HIDE_AT_S = 0.5
HIDDEN_S = 3.0
SECOND_SCENE_S = 8.5


def median_frame_ms(shown):
    return median([b[0] - a[0] for a, b in zip(shown, shown[1:]) if b[0] > a[0]])


def part_hidden(browser, url, args):
    open_page(browser, url + "?clock=real")
    browser.press("Enter")
    wait_for(browser, f"window.showTest.soundPosition() > {HIDE_AT_S}",
             what=f"{HIDE_AT_S} s of sound")
    browser.hide()
    time.sleep(HIDDEN_S)
    browser.show()
    wait_for(browser, "window.showTest.cycleSeen !== null", 60, "the second scene")
    # Half a second more of frames.
    wait_for(browser, "window.showTest.shown.length > 0 && window.showTest.shown["
             "window.showTest.shown.length - 1][0] > window.showTest.cycleSeen[0] + 500",
             what="frames after the second scene began")
    visibility, cycle, shown, notice = browser.run(
        "[window.showTest.visibility, window.showTest.cycleSeen, window.showTest.shown,"
        " document.getElementById('notice').hidden ? ''"
        " : document.getElementById('notice').textContent]")
    check_no_errors(browser, "hidden")
    assert not notice, f"the page says: {notice}"
    # The show, back from hiding, ends as a lost context ends it (the part lost alone).
    lose_context(browser, "hidden")

    with open(os.path.join(args.out, "hidden.json"), "w", encoding="utf-8") as record:
        json.dump({"visibility": visibility, "cycle": cycle, "shown": shown}, record)
    states = [state for state, _, _ in visibility]
    assert states[:2] == ["hidden", "visible"], f"the page's visibility went {states}"
    (_, hidden_at, sound_hidden), (_, shown_at, sound_shown) = visibility[:2]
    away_s = (shown_at - hidden_at) / 1000
    print(f"hidden: hidden {away_s:.2f} s; the sound stood at {sound_hidden:.3f} s, "
          f"at {sound_shown:.3f} s on return")
    assert away_s > HIDDEN_S - 0.5, "the page was not hidden as long as the test hid it"
    assert sound_shown - sound_hidden < 0.25, "the sound played on while the page was hidden"

    cycle_at, cycle_sound = cycle
    after_s = (cycle_at - shown_at) / 1000
    print(f"hidden: the colour cycle began {cycle_sound:.3f} s into the song, {after_s:.3f} s "
          "after the page was back")
    # The second scene begins at the first frame past 8.5 s (up to two frames later, drawn a
    # frame ahead of the sound as heard), its colour two frames after that: a clock that ran on
    # while hidden begins it at once on return, a sound that ran on hears it seconds later.
    assert SECOND_SCENE_S - 0.1 < cycle_sound < SECOND_SCENE_S + 0.4, \
        "the second scene did not come at its time in the song"
    # The rest of the first scene is still to come on return; the time the sound takes to be
    # heard again comes on top.
    rest_s = SECOND_SCENE_S - sound_hidden
    assert rest_s - 0.15 < after_s < rest_s + 2.5, \
        "the second scene did not come the time hidden later"

    # Each frame was drawn for the sound heard a frame later, when it shows.
    frame_ms = median_frame_ms(shown)
    after = [time_ms - 1000 * sound - frame_ms for at, time_ms, sound in shown
             if sound is not None and at > shown_at + 500]
    offset = median(after)
    print(f"hidden: after the return, {len(after)} frames drawn {offset:+.1f} ms from the sound "
          f"a frame ({frame_ms:.1f} ms) later (median)")
    assert len(after) > 10 and abs(offset) < max(frame_ms, 1000 / 60), \
        "picture and sound more than a frame apart after the return"


LOST = "The show stopped: the browser took away its WebGL context."


def lose_context(browser, what):
    """The page's WebGL context lost in the middle of the show: the end page with the show's
    message, no picture after it, the sound closed, no error."""
    browser.run("document.getElementById('canvas').getContext('webgl2')"
                ".getExtension('WEBGL_lose_context').loseContext()")
    wait_for(browser, shown("ended"), what="the end page")
    text = text_of(browser, "ended-text")
    assert text == LOST, f"end page says {text!r}"
    presents = browser.run("window.showTest.presents")
    time.sleep(0.5)
    assert browser.run("window.showTest.presents") == presents, "pictures after the end"
    assert browser.run("window.showTest.audio === null || "
                       "window.showTest.audio.state === 'closed'"), "the sound plays on"
    check_no_errors(browser, what)
    print(f"{what}: the context lost, the end page with the show's message")


def part_lost(browser, url, args):
    open_page(browser, url + "?clock=real")
    browser.press("Enter")
    wait_for(browser, "window.showTest.presents >= 10", what="ten pictures")
    lose_context(browser, "lost")


def part_sharp(browser, url, args):
    try:
        browser.emulate(1024, 768, 2)
    except NotImplementedError as reason:
        print(f"sharp: not run: {browser.name}'s driver sets no device-pixel ratio ({reason})")
        return
    try:
        # Sprites walk in this early, and it takes few frames to get there.
        time_ms = 500
        assert str(time_ms) in args.at.split(","), f"no frame of the capture's at {time_ms} ms"
        frame = frame_on_screen_at(time_ms, args.fps)
        open_page(browser, f"{url}?fps={args.fps}")
        browser.run(f"window.showTest.wanted = [{frame}], window.showTest.runTo = {frame}")
        click_button(browser, "Yes")
        wait_for(browser, f"{frame} in window.showTest.grabbed || "
                 "window.showTest.problems.length > 0", what=f"frame {frame}")
        size = browser.run("(() => { const canvas = document.getElementById('canvas');"
                           " return [canvas.width, canvas.height, canvas.clientWidth,"
                           " canvas.clientHeight, devicePixelRatio]; })()")
        print(f"sharp: canvas {size[0]} x {size[1]} in {size[2]} x {size[3]} CSS pixels at a "
              f"ratio of {size[4]}")
        check_no_errors(browser, "sharp")
        assert size[:4] == [1280, 960, 640, 480], "not twice the picture in its 640 x 480 window"
        name = f"frame_{time_ms:06d}.png"
        write_png(os.path.join(args.out, "sharp_" + name), grabbed_frame(browser, frame))
        difference = Difference(read_frame(os.path.join(args.reference, name)),
                                read_frame(os.path.join(args.out, "sharp_" + name)), big=1)
        print(f"sharp: {time_ms:6d} ms: {difference}")
        assert difference.big <= args.max_differing, "the picture at twice its size differs"
        browser.click("#close")
        check_ended(browser)
    finally:
        browser.emulate(None, None, None)


PHONE = (390, 844, 3)


def part_phone(browser, url, args):
    try:
        browser.emulate(*PHONE, touch=True)
    except NotImplementedError as reason:
        print(f"phone: not run: {browser.name}'s driver emulates no touch screen ({reason})")
        return
    try:
        open_page(browser, f"{url}?fps={args.fps}")
        width = PHONE[0]
        overflow = browser.run("[document.documentElement.scrollWidth,"
                               " document.getElementById('dialog-box').getBoundingClientRect()"
                               ".right, window.innerWidth]")
        assert overflow[0] <= width and overflow[1] <= width and overflow[2] == width, \
            f"the question does not fit the phone's width: {overflow}"
        labels = browser.run("[...document.querySelectorAll('#dialog-buttons button')]"
                             ".map((button) => button.textContent)")
        frame = frame_on_screen_at(1000, args.fps)
        browser.run(f"window.showTest.wantedInk = [{frame}], window.showTest.runTo = {frame}")
        browser.tap(f"#dialog-buttons button:nth-child({labels.index('Yes') + 1})")
        wait_for(browser, shown("window"), what="the window after a tap on Yes")
        wait_for(browser, f"{frame} in window.showTest.ink", what=f"frame {frame}")
        box = browser.run("(() => { const box = document.getElementById('client')"
                          ".getBoundingClientRect(); const canvas = document"
                          ".getElementById('canvas'); return [box.left, box.right, box.width,"
                          " box.height, canvas.width, canvas.height,"
                          f" window.showTest.ink[{frame}],"
                          " document.documentElement.scrollWidth]; })()")
        print(f"phone: client area {box[2]:.1f} x {box[3]:.1f} CSS pixels, canvas "
              f"{box[4]} x {box[5]}, {box[6]} pixels drawn")
        assert box[0] >= 0 and box[1] <= width and box[7] <= width, "the window is wider"
        assert box[2] > 0.9 * width, "the picture does not fill the phone's width"
        assert abs(box[3] * 4 - box[2] * 3) < 4, "the picture's aspect ratio is lost"
        assert abs(box[4] - box[2] * PHONE[2]) <= 1 and abs(box[5] - box[3] * PHONE[2]) <= 1, \
            "the canvas has not a pixel for each device pixel"
        assert box[6] > 1000, "nothing drawn"
        browser.tap("#canvas", times=2)
        wait_for(browser, "document.fullscreenElement === document.getElementById('window')",
                 what="fullscreen after a double tap")
        browser.run("document.exitFullscreen()")
        browser.tap("#close")
        check_ended(browser)
        check_no_errors(browser, "phone")
        print("phone: a tap answered, a double tap made it fullscreen, a tap closed it")
    finally:
        browser.emulate(None, None, None)


def part_sync(browser, url, args):
    """The first seconds of the show on the real clock, some times: for each frame, the show's
    time it was drawn for less the sound's position heard when it shows (a frame later, as the
    engine reports the sound heard); and how long after the program started its sound the first
    sample was heard. (A page whose clock says nothing to the test is taken to run on
    performance.now() from the sound's start, as the page's clock did before it followed the
    sound.)"""
    runs = []
    for run in range(args.runs):
        before = load_average()
        open_page(browser, url + "?clock=real")
        browser.press("Enter")
        wait_for(browser, f"window.showTest.soundPosition() > {args.sync_seconds}",
                 SHOW_TIMEOUT, f"{args.sync_seconds} s of sound")
        shown_frames, started = browser.run("[window.showTest.shown, window.showTest.soundAt]")
        check_no_errors(browser, "sync")
        browser.click("#close")
        check_ended(browser)
        frame_ms = median_frame_ms(shown_frames)
        heard = [(at, time_ms, sound) for at, time_ms, sound in shown_frames
                 if sound is not None and sound > 1]
        offsets = sorted(time_ms - 1000 * sound - frame_ms for _, time_ms, sound in heard)
        first = median([at - 1000 * sound for at, _, sound in heard]) - started
        runs.append((median(offsets), offsets[len(offsets) // 20],
                     offsets[-1 - len(offsets) // 20], first))
        print(f"sync: {browser.name} run {run + 1}: load {before} -> {load_average()}: "
              f"{len(offsets)} frames, {frame_ms:.1f} ms apart; picture - sound: "
              f"{runs[-1][0]:+.1f} ms (5%: {runs[-1][1]:+.1f}, 95%: {runs[-1][2]:+.1f}); the "
              f"first sample heard {first:.0f} ms after the sound was started", flush=True)
    print(f"sync: {browser.name}: medians of {args.runs} runs: picture - sound "
          f"{median([r[0] for r in runs]):+.1f} ms (5%: {median([r[1] for r in runs]):+.1f}, "
          f"95%: {median([r[2] for r in runs]):+.1f}); first sample heard "
          f"{median([r[3] for r in runs]):.0f} ms after the start")


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
    parser.add_argument("--parts", default="no,keys,pace,hidden,sharp,phone,show",
                        help="of show, keys, no, pace, lost, hidden, sharp, phone, and the "
                        "benchmarks on the real clock: bench and sync")
    parser.add_argument("--runs", type=int, default=3, help="shows a benchmark plays")
    parser.add_argument("--sync-seconds", type=float, default=20,
                        help="seconds of sound the sync benchmark plays each time")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    parts = {"show": part_show, "keys": part_keys, "no": part_no, "pace": part_pace,
             "hidden": part_hidden, "lost": part_lost, "sharp": part_sharp, "phone": part_phone,
             "bench": part_bench, "sync": part_sync}
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
