"""What the end-to-end drivers share: programs found by name with their Debian package, processes
that are always killed, a private X screen (Xvfb) managed by openbox, the X clients that drive and
watch it (xdotool, xwininfo, xprop), screenshots (grabbed and read by PIL), and checks
that are written down one by one.
"""

import ctypes
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

from PIL import ImageChops, ImageGrab

HERE = os.path.dirname(os.path.abspath(__file__))
DECLARATION = os.path.join(HERE, "..", "scripts", "deps.txt")


class Failure(Exception):
    """A check that the rest of the case depends on failed."""


def package_of(name):
    """The Debian package that scripts/deps.txt says provides a program."""
    with open(DECLARATION, encoding="utf-8") as declaration:
        for line in declaration:
            fields = line.split("#", 1)[0].split()
            if len(fields) >= 3 and fields[0] == name:
                return fields[2]
    return "not declared in scripts/deps.txt"


def tool(name):
    """A program the tests run, found on PATH; fails naming its package when it is missing."""
    if shutil.which(name) is None:
        raise Failure(f"missing tool: {name} (Debian package {package_of(name)})")
    return name


def wait_for(condition, seconds, step=0.1):
    deadline = time.monotonic() + seconds
    while True:
        if condition():
            return True
        if time.monotonic() >= deadline:
            return False
        time.sleep(step)


class Checks:
    """Checks written down one by one: each prints ok or FAIL; a failed require ends the case,
    a failed check lets it go on, and the test fails at its end with every failed check."""

    def __init__(self):
        self.failures = []

    def check(self, condition, what, detail=""):
        print(f"ok: {what}" if condition else f"FAIL: {what}" + (f" ({detail})" if detail else ""),
              flush=True)
        if not condition:
            self.failures.append(what + (f" ({detail})" if detail else ""))
        return condition

    def require(self, condition, what, detail=""):
        if not self.check(condition, what, detail):
            raise Failure(what)


class Processes:
    """Processes started in sessions of their own, all killed at the end."""

    def __init__(self):
        self.children = []

    def spawn(self, argv, **kwargs):
        process = subprocess.Popen(argv, start_new_session=True, **kwargs)
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


class Desktop(Processes):
    """A private X screen of its own size, managed by openbox with its default settings."""

    def __init__(self, work):
        super().__init__()
        self.work = work
        self.display = None

    def x_env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        for name in ("WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "XAUTHORITY"):
            env.pop(name, None)
        # The sound goes through SDL's silent audio driver, the same on every machine.
        env["SDL_AUDIODRIVER"] = "dummy"
        return env

    def start(self, width, height, server_args=()):
        self.start_screen(width, height, server_args)
        # openbox reads no user configuration: the defaults (Alt+F4 closes) hold everywhere.
        config = os.path.join(self.work, "xdg-config")
        os.makedirs(config, exist_ok=True)
        env = self.x_env()
        env["XDG_CONFIG_HOME"] = config
        with open(os.path.join(self.work, "openbox.log"), "w") as log:
            self.spawn([tool("openbox")], env=env, stdout=subprocess.DEVNULL, stderr=log)
        if not wait_for(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in
                        self.x(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]), 30):
            raise Failure("openbox did not take the screen")
        return self

    def start_screen(self, width, height, server_args=()):
        """The X screen alone, without a window manager."""
        read_end, write_end = os.pipe()
        with open(os.path.join(self.work, "xvfb.log"), "w") as log:
            self.spawn([tool("Xvfb"), "-displayfd", str(write_end), "-screen", "0",
                        f"{width}x{height}x24", "-nolisten", "tcp", "-noreset", *server_args],
                       pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=log)
        os.close(write_end)
        number = b""
        # Xvfb writes its display number once it listens; a loaded machine may take a while.
        deadline = time.monotonic() + 30
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
        if not number.strip().isdigit():
            raise Failure("Xvfb did not start")
        self.display = ":" + number.strip().decode()
        return self

    def x(self, argv, timeout=20):
        """Runs an X client and returns its output ('' when it fails)."""
        try:
            done = subprocess.run([tool(argv[0]), *argv[1:]], env=self.x_env(),
                                  capture_output=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            return ""
        return done.stdout.decode("latin-1") if done.returncode == 0 else ""

    def xdotool(self, *args):
        self.x(["xdotool", *args])

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
        return next((window for window in self.windows() if window[1] == name), None)

    def root_size(self):
        info = self.x(["xwininfo", "-root"])
        width = re.search(r"Width: (\d+)", info)
        height = re.search(r"Height: (\d+)", info)
        return (int(width.group(1)), int(height.group(1))) if width and height else None

    def managed_windows(self):
        """The windows the window manager lists as its clients."""
        return re.findall(r"0x[0-9a-f]+", self.x(["xprop", "-root", "_NET_CLIENT_LIST"]))

    def screenshot(self):
        """The whole screen as an RGB picture, or None. PIL grabs it over XCB in this process:
        a few milliseconds, where starting a program for it takes a second on a loaded machine
        and the moment it shows would be that much less certain."""
        try:
            return ImageGrab.grab(xdisplay=self.display).convert("RGB")
        except OSError:
            return None

    def answer_dialog(self, caption, key):
        """Presses a key in the dialog of that caption until it goes away."""
        for _ in range(3):
            dialog = self.window_named(caption)
            if dialog is None:
                return True
            self.xdotool("windowactivate", "--sync", dialog[0])
            self.xdotool("key", key)
            if wait_for(lambda: self.window_named(caption) is None, 5):
                return True
        return self.window_named(caption) is None

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


class Xlib:
    """A connection of the driver's own to the X server, for close requests sent at exact times
    (the window manager's close box sends the same WM_DELETE_WINDOW message)."""

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                    ("pad", ctypes.c_long * 12)]

    def __init__(self, display):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XInternAtom.restype = ctypes.c_ulong
        self.x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        self.x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                        ctypes.c_long, ctypes.c_void_p]
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        # A close request for a window that has just gone is answered with BadWindow, which
        # must not end the driver.
        handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
        self.on_error = handler_type(lambda display, error: 0)
        self.x11.XSetErrorHandler.argtypes = [handler_type]
        self.x11.XSetErrorHandler(self.on_error)
        self.display = self.x11.XOpenDisplay(display.encode())
        if not self.display:
            raise Failure(f"cannot open {display} from the driver")
        self.protocols = self.x11.XInternAtom(self.display, b"WM_PROTOCOLS", 0)
        self.delete = self.x11.XInternAtom(self.display, b"WM_DELETE_WINDOW", 0)

    def ask_to_close(self, window_id):
        event = Xlib.ClientMessage()
        event.type = 33  # ClientMessage
        event.window = window_id
        event.message_type = self.protocols
        event.format = 32
        event.data[0] = self.delete
        event.data[1] = 0  # CurrentTime
        self.x11.XSendEvent(self.display, window_id, 0, 0, ctypes.byref(event))
        self.x11.XFlush(self.display)

    def close(self):
        self.x11.XCloseDisplay(self.display)


def ask_to_close(display, window_id):
    xlib = Xlib(display)
    try:
        xlib.ask_to_close(window_id)
    finally:
        xlib.close()


# Pictures: colours picked by a range per channel, as masks PIL computes.

def mask(image, ranges, box=None):
    """A greyscale picture, 255 where every channel lies in its (low, high) range, else 0."""
    region = image.crop(box) if box else image
    bands = [band.point(lambda v, low=low, high=high: 255 if low <= v <= high else 0)
             for band, (low, high) in zip(region.split(), ranges)]
    return ImageChops.multiply(ImageChops.multiply(bands[0], bands[1]), bands[2])


def count(image, ranges, box=None):
    """How many pixels (inside box: left, top, right, bottom exclusive) are in the ranges."""
    return mask(image, ranges, box).histogram()[255]


def bounding_box(image, ranges):
    """Bounding box (left, top, right, bottom, inclusive) of the pixels in the ranges, or None."""
    box = mask(image, ranges).getbbox()
    return None if box is None else (box[0], box[1], box[2] - 1, box[3] - 1)


def exactly(colour):
    return [(channel, channel) for channel in colour]


def border_colours(image):
    """How often each colour occurs on the outermost rows and columns."""
    width, height = image.size
    points = [(x, 0) for x in range(width)] + [(x, height - 1) for x in range(width)] + \
             [(0, y) for y in range(height)] + [(width - 1, y) for y in range(height)]
    counts = {}
    for point in points:
        colour = image.getpixel(point)
        counts[colour] = counts.get(colour, 0) + 1
    return counts, len(points)


class SoundServer:
    """A PulseAudio server of its own, in the foreground, with one null sink (`show`): a sound
    output that plays in real time into nothing. `env` points a client at it."""

    def __init__(self, work):
        self.folder = tempfile.mkdtemp(prefix="solid-pulse-")
        socket = os.path.join(self.folder, "native")
        self.log = open(os.path.join(work, "pulseaudio.log"), "w", encoding="utf-8")
        self.process = subprocess.Popen(
            [tool("pulseaudio"), "--daemonize=no", "-n", "--exit-idle-time=-1",
             "--use-pid-file=no", "--disable-shm",
             f"--load=module-native-protocol-unix socket={socket} auth-anonymous=1",
             "--load=module-null-sink sink_name=show rate=44100"],
            env=dict(os.environ, HOME=self.folder, XDG_RUNTIME_DIR=self.folder,
                     XDG_CONFIG_HOME=self.folder),
            stdout=self.log, stderr=subprocess.STDOUT, start_new_session=True)
        deadline = time.monotonic() + 30
        while not os.path.exists(socket):
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.close()
                raise RuntimeError("PulseAudio did not start (pulseaudio.log)")
            time.sleep(0.05)
        self.env = {"PULSE_SERVER": "unix:" + socket}

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()
        shutil.rmtree(self.folder, ignore_errors=True)
