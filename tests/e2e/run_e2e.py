#!/usr/bin/env python3
"""End-to-end checks of the show on the real host layer: a private Xvfb screen with openbox as
window manager, the real program, real SDL and Mesa. The program is driven with xdotool and
watched with xwininfo, xprop and xwd screenshots.

Usage: run_e2e.py --program PATH --probe PATH --case NAME [--work DIR]

Cases:
  fullscreen   1024 x 768 screen: fullscreen window covering the screen, the program's picture
               scaled up in 16-bit colour, Up held moves the picture, the background cycle, the
               four banners in green spheres, exit code 0 about 52.3 s after the start, the
               desktop as it was.
  windowed-yes 320 x 240 screen: the fullscreen question as a dialog, Yes gives a window with a
               640 x 480 client area, the window manager's close request ends the show with 0.
  windowed-alt-f4  the same, closed with Alt+F4 typed into the window.
  windowed-no  320 x 240 screen: No, then "Program Will Now Close." (caption "ERROR"), exit 0.
  no-display   no display at all: the question and "Window Creation Error." on standard error,
               exit 0, at once.
  layer-messages  a small probe program on the layer (layer_probe.cpp) writes down what its
               window procedure receives: the messages of creation, showing, keys, minimising,
               resizing and closing, against what Windows sends; the timer's rate; the processor
               time of a polling loop; the screen saver kept off while the window is active.

Every wait has a deadline, and everything started here is killed at the end. Standard library
only (and libX11 and libXss through ctypes, which SDL needs anyway). Debian packages: xvfb,
xfonts-base (SDL's dialogs need its fonts), openbox, xdotool, x11-utils, x11-apps. Exits 0 when
every check passed.
"""

import argparse
import ctypes
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

TITLE = "Kelo's Solid Object Tutorial"
QUESTION_CAPTION = "Kelo GL"
QUESTION_TEXT = ("The Requested Fullscreen Mode Is Not Supported By\n"
                 "Your Video Card. Use Windowed Mode Instead?")
# The show's timeline ends 52.3 s after its clock starts; the process has started a little
# earlier (window, GL, song) and each of the eleven scene changes may come up to a frame late.
SHOW_SECONDS = 52.3
SHOW_SLACK_SECONDS = 2.5
# A whole case never runs longer than this, whatever hangs.
CASE_DEADLINE_SECONDS = {"fullscreen": 110, "windowed-yes": 60, "windowed-alt-f4": 60,
                         "windowed-no": 60, "no-display": 30, "layer-messages": 60}
TOOLS = {"Xvfb": "xvfb", "openbox": "openbox", "xdotool": "xdotool", "xwininfo": "x11-utils",
         "xprop": "x11-utils", "xwd": "x11-apps"}


class Failure(Exception):
    pass


class Run:
    """One case: the processes it started, its checks and its log."""

    def __init__(self, program, work):
        self.program = os.path.abspath(program)
        self.probe = None
        self.work = work
        self.children = []
        self.display = None
        self.failures = 0

    def check(self, condition, what, detail=""):
        if condition:
            print(f"ok: {what}")
        else:
            self.failures += 1
            print(f"FAIL: {what}" + (f" ({detail})" if detail else ""))
        sys.stdout.flush()
        return condition

    def require(self, condition, what, detail=""):
        if not self.check(condition, what, detail):
            raise Failure(what)

    def spawn(self, argv, env=None, **kwargs):
        process = subprocess.Popen(argv, env=env, start_new_session=True, **kwargs)
        self.children.append(process)
        return process

    def kill_all(self):
        for process in reversed(self.children):
            if process.poll() is None:
                try:
                    os.killpg(process.pid, signal.SIGKILL)
                except (ProcessLookupError, PermissionError):
                    pass
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    pass

    # The X server and window manager.

    def x_env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        for name in ("WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "XAUTHORITY"):
            env.pop(name, None)
        # The sound goes through SDL's silent audio driver, the same on every machine.
        env["SDL_AUDIODRIVER"] = "dummy"
        return env

    def start_screen(self, width, height, server_args=()):
        read_end, write_end = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                    f"{width}x{height}x24", "-nolisten", "tcp", "-noreset", *server_args],
                   pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                   stderr=open(os.path.join(self.work, "xvfb.log"), "w"))
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 15
        os.set_blocking(read_end, False)
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            try:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
            except BlockingIOError:
                time.sleep(0.05)
        os.close(read_end)
        self.require(number.strip().isdigit(), "Xvfb started")
        self.display = ":" + number.strip().decode()
        # openbox reads no user configuration: the defaults (Alt+F4 closes) hold everywhere.
        config = os.path.join(self.work, "xdg-config")
        os.makedirs(config, exist_ok=True)
        env = self.x_env()
        env["XDG_CONFIG_HOME"] = config
        self.spawn(["openbox"], env=env, stdout=subprocess.DEVNULL,
                   stderr=open(os.path.join(self.work, "openbox.log"), "w"))
        self.require(wait_for(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in
                              self.x(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]), 15),
                     "openbox manages the screen")

    def x(self, argv, timeout=10):
        """Runs an X client and returns its output ('' when it fails)."""
        try:
            done = subprocess.run(argv, env=self.x_env(), capture_output=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            return ""
        return done.stdout.decode("latin-1") if done.returncode == 0 else ""

    def xdotool(self, *args):
        try:
            subprocess.run(["xdotool", *args], env=self.x_env(), capture_output=True, timeout=10)
        except subprocess.TimeoutExpired:
            pass

    def windows(self):
        """Every window on the screen: (id, name, width, height, absolute x, absolute y)."""
        found = []
        for line in self.x(["xwininfo", "-root", "-tree"]).splitlines():
            match = re.match(r'\s*(0x[0-9a-f]+) "(.*)": \(.*\)\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)'
                             r'\s+\+(-?\d+)\+(-?\d+)', line)
            if match:
                found.append((match.group(1), match.group(2), int(match.group(3)),
                              int(match.group(4)), int(match.group(7)), int(match.group(8))))
        return found

    def window_named(self, name):
        for window in self.windows():
            if window[1] == name:
                return window
        return None

    def root_size(self):
        info = self.x(["xwininfo", "-root"])
        width = re.search(r"Width: (\d+)", info)
        height = re.search(r"Height: (\d+)", info)
        return (int(width.group(1)), int(height.group(1))) if width and height else None

    def screen_saver(self, timeout_seconds=None):
        """The X screen saver's state (0 off, 1 on, 3 disabled) through libX11 and libXss, having
        first set its timeout if asked; None when the libraries cannot be had."""
        try:
            x11 = ctypes.CDLL("libX11.so.6")
            xss = ctypes.CDLL("libXss.so.1")
        except OSError:
            return None

        class Info(ctypes.Structure):
            _fields_ = [("window", ctypes.c_ulong), ("state", ctypes.c_int),
                        ("kind", ctypes.c_int), ("til_or_since", ctypes.c_ulong),
                        ("idle", ctypes.c_ulong), ("event_mask", ctypes.c_ulong)]

        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XSetScreenSaver.argtypes = [ctypes.c_void_p] + [ctypes.c_int] * 4
        x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        xss.XScreenSaverQueryInfo.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                              ctypes.POINTER(Info)]
        display = x11.XOpenDisplay(self.display.encode())
        if not display:
            return None
        try:
            if timeout_seconds is not None:
                # Blank after that many idle seconds, no cycling, default blanking and exposures.
                x11.XSetScreenSaver(display, timeout_seconds, 0, 2, 2)
                x11.XSync(display, 0)
            info = Info()
            if not xss.XScreenSaverQueryInfo(display, x11.XDefaultRootWindow(display),
                                             ctypes.byref(info)):
                return None
            return info.state
        finally:
            x11.XCloseDisplay(display)

    def screenshot(self):
        try:
            done = subprocess.run(["xwd", "-root", "-silent"], env=self.x_env(),
                                  capture_output=True, timeout=10)
        except subprocess.TimeoutExpired:
            return None
        return Image.from_xwd(done.stdout) if done.returncode == 0 else None

    # The program.

    def start_program(self, env=None, program=None, stdout=subprocess.DEVNULL):
        self.program_log = os.path.join(self.work, "program.log")
        self.program_started = time.monotonic()
        self.program_process = self.spawn([program or self.program], env=env or self.x_env(),
                                          cwd=self.work, stdout=stdout,
                                          stderr=open(self.program_log, "w"))
        return self.program_process

    def wait_program(self, seconds):
        try:
            code = self.program_process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            return None, time.monotonic() - self.program_started
        return code, time.monotonic() - self.program_started

    def program_output(self):
        with open(self.program_log, encoding="latin-1") as log:
            return log.read()

    def answer_dialog(self, caption, key):
        """Presses a key in the dialog of that caption until it goes away."""
        for _ in range(3):
            dialog = self.window_named(caption)
            if dialog is None:
                return True
            self.xdotool("windowactivate", "--sync", dialog[0])
            self.xdotool("key", key)
            if wait_for(lambda: self.window_named(caption) is None, 3):
                return True
        return self.window_named(caption) is None


class Image:
    """A screenshot as three planes of bytes."""

    def __init__(self, width, height, red, green, blue):
        self.width = width
        self.height = height
        self.red = red
        self.green = green
        self.blue = blue

    @staticmethod
    def from_xwd(data):
        fields = [int.from_bytes(data[i:i + 4], "big") for i in range(0, 100, 4)]
        header_size, version, pixmap_format = fields[0], fields[1], fields[2]
        width, height = fields[4], fields[5]
        byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
        masks = fields[14:17]
        colours = fields[19]
        if version != 7 or pixmap_format != 2 or bits_per_pixel not in (24, 32):
            raise Failure(f"unexpected screenshot format (bpp {bits_per_pixel})")
        step = bits_per_pixel // 8
        pixels = data[header_size + 12 * colours:]
        planes = []
        # True colour with a byte per channel: each mask picks one byte of the pixel.
        for mask in masks:
            shift = (mask & -mask).bit_length() - 1
            byte = shift // 8 if byte_order == 0 else step - 1 - shift // 8
            plane = bytearray()
            for row in range(height):
                start = row * bytes_per_line + byte
                plane += pixels[start:start + step * width:step]
            planes.append(bytes(plane))
        return Image(width, height, *planes)

    def pixel(self, x, y):
        i = y * self.width + x
        return (self.red[i], self.green[i], self.blue[i])

    def count(self, test, x0=0, y0=0, x1=None, y1=None):
        x1 = self.width if x1 is None else x1
        y1 = self.height if y1 is None else y1
        total = 0
        for y in range(y0, y1):
            row = slice(y * self.width + x0, y * self.width + x1)
            total += sum(1 for p in zip(self.red[row], self.green[row], self.blue[row]) if test(p))
        return total

    def box(self, test):
        """Bounding box (left, top, right, bottom) of the pixels that pass, or None."""
        left, top, right, bottom = self.width, self.height, -1, -1
        for y in range(self.height):
            row = slice(y * self.width, (y + 1) * self.width)
            xs = [x for x, p in enumerate(zip(self.red[row], self.green[row], self.blue[row]))
                  if test(p)]
            if xs:
                top = min(top, y)
                bottom = y
                left = min(left, xs[0])
                right = max(right, xs[-1])
        return None if right < 0 else (left, top, right, bottom)

    def border_colours(self):
        """How often each colour occurs on the outermost rows and columns."""
        counts = {}
        points = [(x, 0) for x in range(self.width)] + \
                 [(x, self.height - 1) for x in range(self.width)] + \
                 [(0, y) for y in range(self.height)] + \
                 [(self.width - 1, y) for y in range(self.height)]
        for x, y in points:
            colour = self.pixel(x, y)
            counts[colour] = counts.get(colour, 0) + 1
        return counts, len(points)


def wait_for(condition, seconds, step=0.1):
    deadline = time.monotonic() + seconds
    while True:
        if condition():
            return True
        if time.monotonic() >= deadline:
            return False
        time.sleep(step)


def is_yellow(p):
    # The disc is drawn in 0xFFFF00.
    return p[0] >= 230 and p[1] >= 230 and p[2] <= 40


def is_banner_green(p):
    # The banner spheres' (0.3, 0.9, 0.4); the background never gets this bright in green.
    return 60 <= p[0] <= 95 and p[1] >= 200 and 85 <= p[2] <= 120


def is_black(p):
    return p == (0, 0, 0)


def from_bits(value, bits):
    """The 8-bit value a channel of that many bits shows as."""
    top = (1 << bits) - 1
    return (value * 255 + top // 2) // top


FIVE_BIT_LEVELS = {from_bits(v, 5) for v in range(32)}
SIX_BIT_LEVELS = {from_bits(v, 6) for v in range(64)}


def near_level(value, levels):
    return any(abs(value - level) <= 1 for level in levels)


def is_rgb565(colour):
    return (near_level(colour[0], FIVE_BIT_LEVELS) and near_level(colour[1], SIX_BIT_LEVELS) and
            near_level(colour[2], FIVE_BIT_LEVELS))


def is_cycle_colour(colour):
    """The background from the second scene on: half intensity shared by two neighbouring
    channels of red, green, blue, the third one off."""
    off = [c for c in colour if c <= 8]
    return len(off) >= 1 and 118 <= sum(colour) <= 136


# The cases.

def case_fullscreen(run):
    run.start_screen(1024, 768)
    desktop = run.root_size()
    run.require(desktop == (1024, 768), "the screen is 1024 x 768", str(desktop))
    # A screen saver that would start after 3 idle seconds.
    run.require(run.screen_saver(timeout_seconds=3) is not None,
                "the screen saver can be watched (libX11, libXss)")
    run.start_program()

    run.require(wait_for(lambda: run.window_named(TITLE) is not None, 15),
                f'a window titled "{TITLE}" appears')
    run.require(wait_for(lambda: (w := run.window_named(TITLE)) is not None and
                         w[2:] == (1024, 768, 0, 0), 10),
                "the window covers the whole screen", str(run.window_named(TITLE)))
    window_id = run.window_named(TITLE)[0]
    run.check("_NET_WM_STATE_FULLSCREEN" in run.x(["xprop", "-id", window_id, "_NET_WM_STATE"]),
              "the window manager has it fullscreen")

    # Scene 1: the yellow disc walking on black.
    first = None
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        shot = run.screenshot()
        if shot is not None and shot.box(is_yellow) is not None:
            first = shot
            break
        time.sleep(0.1)
    run.require(first is not None, "the yellow disc of the first scene shows")
    corners = [first.pixel(0, 0), first.pixel(1023, 0), first.pixel(0, 767), first.pixel(1023, 767)]
    run.check(all(is_black(c) for c in corners), "the first scene's background is black",
              str(corners))
    before = first.box(is_yellow)
    # The disc is 16 voxels of 0.5 at 50 units: about 11.6 pixels a unit in 640 x 480, scaled by
    # 1.6 to this screen. Smaller means the picture is not scaled up to the screen.
    run.check(130 <= before[3] - before[1] + 1 <= 165,
              "the disc is as tall as the picture scaled to the screen makes it", str(before))

    # Holding Up moves the camera up by 0.1 a frame: the disc climbs the screen.
    run.xdotool("windowactivate", "--sync", window_id)
    run.xdotool("keydown", "Up")
    time.sleep(0.6)
    run.xdotool("keyup", "Up")
    time.sleep(0.2)
    second = run.screenshot()
    run.require(second is not None, "a screenshot after holding Up")
    after = second.box(is_yellow)
    run.require(after is not None, "the disc still shows after holding Up")
    run.check(before[3] - after[3] >= 20 and before[1] - after[1] >= 20,
              "holding Up moves the disc up the screen",
              f"bottom {before[3]} -> {after[3]}, top {before[1]} -> {after[1]}")
    run.check(is_black(second.pixel(0, 767)), "still the first scene after the key test")

    # The window procedure refuses the screen saver; the layer keeps it from starting.
    time.sleep(4)
    state = run.screen_saver()
    run.check(state is not None and state != 1,
              "the screen saver stays off while the show runs", f"state {state}")

    # From the second scene on the background cycles through red, green and blue at half
    # intensity, in the 16-bit colours of the offscreen picture, edge to edge.
    for at in (16.0, 21.0, 27.5, 33.0):
        remaining = at - (time.monotonic() - run.program_started)
        if remaining > 0:
            time.sleep(remaining)
        shot = run.screenshot()
        if not run.check(shot is not None, f"a screenshot at {at} s"):
            continue
        counts, total = shot.border_colours()
        colour, seen = max(counts.items(), key=lambda item: item[1])
        run.check(seen >= total // 2 and is_cycle_colour(colour),
                  f"at {at} s the picture's background runs to every edge in a cycle colour",
                  f"{colour} on {seen} of {total} edge pixels")
        run.check(is_rgb565(colour), f"at {at} s the background is a 16-bit colour", str(colour))

    # Scenes 7 to 10 spell their lines in spheres of the green scene 6 leaves current. The
    # lines are 28, 42, 14 and 42 pixel columns wide, whatever depths the spheres take.
    # Screenshots first, looked at afterwards: each banner shows for only two seconds.
    shots = []
    for at, columns in ((45.3, 28), (47.3, 42), (49.3, 14), (51.3, 42)):
        remaining = at - (time.monotonic() - run.program_started)
        if remaining > 0:
            time.sleep(remaining)
        shots.append((at, columns, run.screenshot()))
    widths = []
    for at, columns, shot in shots:
        if not run.check(shot is not None, f"a screenshot at {at} s"):
            continue
        spheres = shot.count(is_banner_green)
        box = shot.box(is_banner_green)
        run.check(spheres >= 2000 and box is not None,
                  f"at {at} s the banner shows its green spheres", f"{spheres} pixels, {box}")
        if box is not None:
            widths.append((columns, box[2] - box[0] + 1))
    print(f"banner widths (columns, pixels): {widths}")
    if len(widths) == 4:
        per_column = [width / columns for columns, width in widths]
        run.check(max(per_column) <= 1.25 * min(per_column),
                  "each banner is as wide as its number of letters makes it", str(widths))

    code, elapsed = run.wait_program(SHOW_SECONDS + SHOW_SLACK_SECONDS + 15 -
                                     (time.monotonic() - run.program_started))
    run.require(code is not None, "the show ends by itself", f"still running after {elapsed:.1f} s")
    run.check(code == 0, "exit code 0", str(code))
    run.check(SHOW_SECONDS - 0.1 <= elapsed <= SHOW_SECONDS + SHOW_SLACK_SECONDS,
              f"the show ends about {SHOW_SECONDS} s after the start", f"{elapsed:.2f} s")
    print(f"show length: {elapsed:.2f} s")
    run.check(run.window_named(TITLE) is None, "the window is gone")
    run.check(run.root_size() == desktop, "the screen keeps its size", str(run.root_size()))


def open_windowed(run):
    """Starts the show on a screen too small for it and answers Yes."""
    run.start_screen(320, 240)
    run.start_program()
    run.require(wait_for(lambda: run.window_named(QUESTION_CAPTION) is not None, 15),
                f'the question appears as a dialog titled "{QUESTION_CAPTION}"')
    run.check(run.window_named(TITLE) is None, "no show window while the question is open")
    run.require(run.answer_dialog(QUESTION_CAPTION, "Return"), "Return answers the question")
    run.require(wait_for(lambda: run.window_named(TITLE) is not None, 15),
                f'a window titled "{TITLE}" appears')
    window = run.window_named(TITLE)
    run.check(window[2:4] == (640, 480), "its client area is 640 x 480", str(window))
    # The visible part of the client area shows the first scene: black, perhaps the disc. (The
    # song is rendered before the first frame, and the window manager may still be placing the
    # window: slower builds take a few seconds over both.)
    shown, area = 0, -1
    deadline = time.monotonic() + 8
    while shown != area and time.monotonic() < deadline:
        time.sleep(0.5)
        window = run.window_named(TITLE) or window
        shot = run.screenshot()
        run.require(shot is not None, "a screenshot of the window")
        x0, y0 = max(window[4], 0), max(window[5], 0)
        x1, y1 = min(window[4] + 640, shot.width), min(window[5] + 480, shot.height)
        area = (x1 - x0) * (y1 - y0)
        shown = shot.count(lambda p: is_black(p) or is_yellow(p), x0, y0, x1, y1)
    run.check(area > 0 and shown == area, "the window shows the first scene",
              f"{shown} of {area} pixels black or yellow")

    # Made smaller, the window gets WM_SIZE and a picture of its new size: the whole view in
    # 320 x 240, the disc half as tall as in 640 x 480 (about 46 pixels).
    run.xdotool("windowsize", window[0], "320", "240")
    run.require(wait_for(lambda: (w := run.window_named(TITLE)) is not None and
                         w[2:4] == (320, 240), 10), "the window can be made 320 x 240")
    window = run.window_named(TITLE)
    time.sleep(0.5)
    shot = run.screenshot()
    run.require(shot is not None, "a screenshot of the smaller window")
    disc = shot.box(is_yellow)
    run.check(disc is not None and 38 <= disc[3] - disc[1] + 1 <= 54,
              "the picture is re-made at the new size", str(disc))
    return window


def close_and_finish(run, window, how):
    if how == "window manager":
        # openbox's Alt+F4 asks the window to close (WM_DELETE_WINDOW), as the close box does.
        run.xdotool("windowactivate", "--sync", window[0])
        run.xdotool("key", "alt+F4")
    else:
        # Typed into the window itself, past the window manager: the program's own Alt+F4.
        run.xdotool("key", "--window", window[0], "alt+F4")
    code, elapsed = run.wait_program(10)
    run.require(code is not None, f"closing the window ({how}) ends the show")
    run.check(code == 0, "exit code 0", str(code))
    run.check(run.window_named(TITLE) is None, "the window is gone")
    run.check(run.root_size() == (320, 240), "the screen keeps its size")


def case_windowed_yes(run):
    close_and_finish(run, open_windowed(run), "window manager")


def case_windowed_alt_f4(run):
    close_and_finish(run, open_windowed(run), "Alt+F4 in the window")


def case_windowed_no(run):
    run.start_screen(320, 240)
    run.start_program()
    run.require(wait_for(lambda: run.window_named(QUESTION_CAPTION) is not None, 15),
                f'the question appears as a dialog titled "{QUESTION_CAPTION}"')
    # Escape picks No in a Yes/No box.
    run.require(run.answer_dialog(QUESTION_CAPTION, "Escape"), "Escape answers No")
    run.require(wait_for(lambda: run.window_named("ERROR") is not None, 15),
                'the "Program Will Now Close." box appears, titled "ERROR"')
    run.check(run.window_named(TITLE) is None, "no show window")
    run.require(run.answer_dialog("ERROR", "Return"), "Return closes the box")
    code, elapsed = run.wait_program(10)
    run.require(code is not None, "the program ends after the box")
    run.check(code == 0, "exit code 0", str(code))


def case_no_display(run):
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"):
        env.pop(name, None)
    env["SDL_AUDIODRIVER"] = "dummy"
    run.start_program(env)
    code, elapsed = run.wait_program(20)
    run.require(code is not None, "the program ends by itself")
    run.check(code == 0, "exit code 0", str(code))
    run.check(elapsed < 10, "it ends at once", f"{elapsed:.2f} s")
    output = run.program_output()
    question = output.find(f"{QUESTION_CAPTION}: {QUESTION_TEXT}")
    failure = output.find("ERROR: Window Creation Error.")
    run.check(question >= 0, "the fullscreen question is on standard error")
    run.check(failure > question >= 0, '"Window Creation Error." follows it, after answering Yes')
    run.check("Program Will Now Close." not in output, "the default answer was Yes")


# xdotool's name for a key, and the virtual-key code Windows gives it.
PROBE_KEYS = [("Left", 0x25), ("Up", 0x26), ("Right", 0x27), ("Down", 0x28), ("Prior", 0x21),
              ("Next", 0x22), ("Home", 0x24), ("End", 0x23), ("Escape", 0x1B),
              ("Return", 0x0D), ("space", 0x20), ("a", 0x41), ("5", 0x35), ("F1", 0x70),
              ("F12", 0x7B), ("shift", 0x10), ("ctrl", 0x11)]
PROBE_SIZE = 200 << 16 | 320


def parse_probe(text):
    """The probe's lines as (name, wparam, lparam) for messages, (line,) for its notes."""
    lines = []
    for line in text.splitlines():
        match = re.match(r"(WM_\w+) (\d+) (-?\d+) ticks=\d+$", line)
        lines.append((match.group(1), int(match.group(2)), int(match.group(3))) if match
                     else (line,))
    return lines


def between(lines, first, last):
    start = lines.index((first,)) + 1 if (first,) in lines else len(lines)
    end = lines.index((last,)) if (last,) in lines else len(lines)
    return [line for line in lines[start:end] if len(line) == 3]


def cpu_seconds(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    except (OSError, IndexError, ValueError):
        return None


def case_layer_messages(run):
    run.start_screen(1024, 768)
    output_path = os.path.join(run.work, "probe.out")
    output = open(output_path, "w")
    process = run.start_program(program=run.probe, stdout=output)
    read = lambda: parse_probe(open(output_path, encoding="latin-1").read())
    run.require(wait_for(lambda: ("running",) in read(), 15), "the probe opens its window")
    window = run.window_named("layer probe")
    run.require(window is not None, 'its window "layer probe" is on the screen')
    lines = read()

    # CreateWindowExA sends these, in this order, before it returns.
    created = between(lines, "call CreateWindowExA", "return CreateWindowExA")
    run.check([line[0] for line in created] == ["WM_NCCREATE", "WM_CREATE", "WM_SIZE", "WM_MOVE"]
              and created[2][1:] == (0, PROBE_SIZE),
              "CreateWindowExA sends WM_NCCREATE, WM_CREATE, WM_SIZE 320 x 200, WM_MOVE",
              str(created))
    shown = [line[0] for line in between(lines, "call ShowWindow", "call SetFocus")]
    run.check(shown[:4] == ["WM_SHOWWINDOW", "WM_ACTIVATEAPP", "WM_ACTIVATE", "WM_SETFOCUS"],
              "ShowWindow sends WM_SHOWWINDOW, WM_ACTIVATEAPP, WM_ACTIVATE, then the focus",
              str(shown))
    run.check(("WM_SYSCOMMAND", 0xF140, 0) in between(lines, "call ShowWindow", "running"),
              "the active window is asked about the screen saver")

    # The 10 ms timer, and a polling loop that leaves the processor alone.
    cpu_before, wall_before = cpu_seconds(process.pid), time.monotonic()
    run.screen_saver(timeout_seconds=2)
    time.sleep(2.5)
    state = run.screen_saver()
    run.check(state is not None and state != 1,
              "the screen saver stays off while the window is active", f"state {state}")
    cpu_after, wall_after = cpu_seconds(process.pid), time.monotonic()
    if cpu_before is not None and cpu_after is not None:
        share = (cpu_after - cpu_before) / (wall_after - wall_before)
        run.check(share < 0.5, "polling PeekMessageA does not keep a processor busy",
                  f"{share:.0%} of one")
        print(f"probe processor use: {share:.0%} of one")
    ticks = [tuple(map(int, re.match(r"ticks (\d+) at (\d+) ms", line[0]).groups()))
             for line in read() if len(line) == 1 and line[0].startswith("ticks ")]
    if run.check(len(ticks) >= 2, "the timer ticks"):
        rate = (ticks[-1][0] - ticks[0][0]) * 1000 / max(ticks[-1][1] - ticks[0][1], 1)
        run.check(80 <= rate <= 101, "the 10 ms timer ticks about 100 times a second",
                  f"{rate:.1f}")

    # Keys, with Windows' codes; Alt combinations and F10 as system keys.
    run.xdotool("windowactivate", "--sync", window[0])
    mark = len(read())
    for name, _ in PROBE_KEYS:
        run.xdotool("key", name)
    run.xdotool("key", "alt+x")
    run.xdotool("key", "F10")
    run.xdotool("keydown", "Right")
    time.sleep(1.0)
    run.xdotool("keyup", "Right")
    run.xdotool("key", "r")
    wait_for(lambda: ("WM_KEYUP", 0x52) in [line[:2] for line in read()[mark:]], 5)
    keys = [line for line in read()[mark:] if len(line) == 3]
    for name, vk in PROBE_KEYS:
        down = [i for i, line in enumerate(keys) if line[:2] == ("WM_KEYDOWN", vk)]
        up = [i for i, line in enumerate(keys) if line[:2] == ("WM_KEYUP", vk)]
        run.check(down and up and down[0] < up[0], f"{name} arrives as virtual key {vk:#04x}")
    run.check(any(line[:2] == ("WM_SYSKEYDOWN", 0x58) and line[2] & (1 << 29) for line in keys),
              "Alt+X arrives as WM_SYSKEYDOWN with Alt held")
    run.check(("WM_SYSKEYDOWN", 0x79) in [line[:2] for line in keys] and
              ("WM_SYSKEYUP", 0x79) in [line[:2] for line in keys], "F10 is a system key")
    repeats = [line for line in keys if line[:2] == ("WM_KEYDOWN", 0x27) and line[2] & (1 << 30)]
    run.check(len(repeats) >= 3, "a held key repeats, marked as already down",
              f"{len(repeats)} repeats")

    # 'R' made the probe clear to red: the frames reach the window, with the probe's own clear
    # colour kept across presenting.
    time.sleep(0.3)
    shot = run.screenshot()
    window = run.window_named("layer probe")
    if run.check(shot is not None and window is not None, "a screenshot of the probe"):
        x, y = window[4], window[5]
        red = shot.count(lambda p: p == (255, 0, 0), x, y, x + 320, y + 200)
        run.check(red == 320 * 200, "the window shows the probe's red frame",
                  f"{red} of {320 * 200} pixels red")

    # Minimised: WM_SIZE 0 x 0 and inactive; restored: the size comes back. (Whether the screen
    # saver is allowed again while inactive cannot be seen here: Xvfb does not restart its
    # screen-saver timer once a suspension ends.)
    mark = len(read())
    run.xdotool("windowminimize", "--sync", window[0])
    run.require(wait_for(lambda: ("WM_SIZE", 1, 0) in read()[mark:], 5),
                "minimising sends WM_SIZE SIZE_MINIMIZED 0 x 0")
    run.check(wait_for(lambda: ("WM_ACTIVATE", 0, 0) in read()[mark:], 5),
              "and WM_ACTIVATE WA_INACTIVE")
    mark = len(read())
    run.xdotool("windowactivate", "--sync", window[0])
    run.check(wait_for(lambda: ("WM_SIZE", 0, PROBE_SIZE) in read()[mark:], 5),
              "restoring sends WM_SIZE SIZE_RESTORED 320 x 200")
    mark = len(read())
    run.xdotool("windowsize", window[0], "400", "300")
    run.check(wait_for(lambda: ("WM_SIZE", 0, 300 << 16 | 400) in read()[mark:], 5),
              "resizing sends WM_SIZE with the new client size")

    # The window manager's close request: SC_CLOSE, WM_CLOSE, and by default DestroyWindow.
    mark = len(read())
    run.xdotool("windowactivate", "--sync", window[0])
    run.xdotool("key", "alt+F4")
    code, _ = run.wait_program(10)
    run.require(code is not None, "the probe ends when its window is closed")
    run.check(code == 0, "exit code 0", str(code))
    closing = [line[0] for line in read()[mark:] if len(line) == 3 and line[0] not in
               ("WM_SYSKEYDOWN", "WM_SYSKEYUP", "WM_KEYDOWN", "WM_KEYUP")]
    expected = ["WM_SYSCOMMAND", "WM_CLOSE", "WM_ACTIVATE", "WM_KILLFOCUS", "WM_ACTIVATEAPP",
                "WM_DESTROY", "WM_NCDESTROY"]
    run.check(closing == expected, "closing sends " + ", ".join(expected), str(closing))
    run.check(("quit 0 after" in open(output_path).read()), "WM_QUIT ends the probe's loop")


CASES = {"fullscreen": case_fullscreen, "windowed-yes": case_windowed_yes,
         "windowed-alt-f4": case_windowed_alt_f4, "windowed-no": case_windowed_no,
         "no-display": case_no_display, "layer-messages": case_layer_messages}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--probe")
    parser.add_argument("--case", required=True, choices=sorted(CASES))
    parser.add_argument("--work")
    options = parser.parse_args()

    missing = [f"{tool} (Debian package {package})" for tool, package in TOOLS.items()
               if shutil.which(tool) is None]
    if missing and options.case != "no-display":
        print("FAIL: missing tools: " + ", ".join(missing))
        return 1

    work = tempfile.mkdtemp(prefix=f"e2e-{options.case}-", dir=options.work)
    run = Run(options.program, work)
    if options.probe:
        run.probe = os.path.abspath(options.probe)
    elif options.case == "layer-messages":
        parser.error("the layer-messages case needs --probe")

    return run_case(run, work, options.case, CASE_DEADLINE_SECONDS[options.case],
                    lambda: CASES[options.case](run), lambda: ["program.log"])


def run_case(run, work, case, deadline_seconds, body, logs):
    """Runs one case's body under its deadline, then kills what it started. On failure the ends
    of the log files that logs() names in the work folder are shown; on success the folder goes. Returns the
    exit code."""

    def out_of_time(signum, frame):
        raise Failure(f"the case ran past its {deadline_seconds} s deadline")

    signal.signal(signal.SIGALRM, out_of_time)
    signal.alarm(deadline_seconds)
    started = time.monotonic()
    try:
        body()
    except Failure as failure:
        run.failures = max(run.failures, 1)
        print(f"FAIL: {failure}")
    finally:
        signal.alarm(0)
        run.kill_all()
        if run.failures:
            for name in logs():
                path = os.path.join(work, name)
                if os.path.exists(path):
                    print(f"--- {name} ---")
                    print(open(path, encoding="latin-1").read()[-3000:])
    print(f"{case}: {time.monotonic() - started:.1f} s")
    if run.failures == 0:
        shutil.rmtree(work, ignore_errors=True)
    print(f"{case}: {'passed' if run.failures == 0 else f'{run.failures} check(s) failed'}")
    return 0 if run.failures == 0 else 1

if __name__ == "__main__":
    sys.exit(main())
