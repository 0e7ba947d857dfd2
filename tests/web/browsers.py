"""The browser engines the web page is tested in, each behind the same small interface, and the
local HTTP server that gives them the page.

  chromium: Debian's chromium, headless, WebGL 2 through SwiftShader, driven by chromedriver
            (python3-selenium).
  firefox:  Debian's firefox-esr on an X screen of its own (Xvfb: headless Firefox has no WebGL 2
            without a GPU), WebGL 2 through Mesa's llvmpipe, driven over WebDriver BiDi, which it
            speaks itself (bidi.py).
  webkit:   WebKitGTK's MiniBrowser on an X screen of its own, WebGL 2 through llvmpipe, driven by
            WebKitWebDriver (webkit2gtk-driver, python3-selenium).

Each engine plays its sound into a PulseAudio server of its own with one null sink (a sound
card that plays in real time into nothing), as on a desktop with sound: Firefox runs no Web Audio
without an output.

No engine is downloaded: each is a Debian package (scripts/deps.txt, group web).
"""

import functools
import http.server
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
from desktop import Desktop, SoundServer, tool  # noqa: E402

ENGINES = ("chromium", "firefox", "webkit")

# Flags measured to give headless Chromium WebGL through SwiftShader on a machine without a GPU.
CHROMIUM_FLAGS = ["--headless=new", "--no-sandbox", "--use-angle=swiftshader",
                  "--enable-unsafe-swiftshader", "--autoplay-policy=no-user-gesture-required",
                  "--window-size=1024,768"]
# Animation frames as fast as the page can draw them rather than at the display's rate: what the
# speed test measures is how much faster than 60 a scene could go.
CHROMIUM_UNTHROTTLED_FLAGS = ["--disable-frame-rate-limit", "--disable-gpu-vsync"]
# WebGL on llvmpipe (Firefox leaves software WebGL off unless told), sound without a gesture (as
# Chromium's flag above), and no network of its own.
FIREFOX_PREFS = {
    "webgl.force-enabled": True,
    "media.autoplay.default": 0,
    "media.autoplay.blocking_policy": 0,
    "browser.shell.checkDefaultBrowser": False,
    "datareporting.policy.dataSubmissionEnabled": False,
    "toolkit.telemetry.reportingpolicy.firstRun": False,
    "messaging-system.rsexperimentloader.enabled": False,
    "app.normandy.enabled": False,
    "extensions.getAddons.cache.enabled": False,
}
MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"
SCREEN = (1280, 1024)

# The keys the tests press, as WebDriver names them.
KEYS = {"Enter": "\ue007", "Escape": "\ue00c", "ArrowLeft": "\ue012", "ArrowUp": "\ue013",
        "ArrowRight": "\ue014", "ArrowDown": "\ue015"}


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}
    # Scripts put into every HTML page served, before the page's own first script.
    scripts = ()

    def log_message(self, *args):
        pass

    def do_GET(self):
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            path = os.path.join(path, "index.html")
        if not path.endswith(".html") or not os.path.isfile(path) or not self.scripts:
            super().do_GET()
            return
        with open(path, encoding="utf-8") as file:
            page = file.read()
        added = "".join(f"<script>\n{source}\n</script>\n" for source in self.scripts)
        at = page.find("<script")
        page = page[:at] + added + page[at:] if at >= 0 else page + added
        data = page.encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(data)


def serve(folder, scripts=()):
    """An HTTP server for the folder on a free local port, in a thread of its own; each HTML page
    gets page_errors.js and then the given script sources put in before its own scripts."""
    with open(os.path.join(HERE, "page_errors.js"), encoding="utf-8") as file:
        sources = (file.read(), *scripts)
    handler = functools.partial(type("Handler", (QuietHandler,), {"scripts": sources}),
                                directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


class Browser:
    """One engine with one page: script in the page, input as a user's, and the errors seen."""

    name = ""

    def open(self, url):
        raise NotImplementedError

    def run(self, expression, timeout=60):
        """The value of a script expression in the page (JSON-like); a promise is awaited."""
        raise NotImplementedError

    def click(self, css):
        raise NotImplementedError

    def key(self, name, down):
        raise NotImplementedError

    def press(self, name):
        self.key(name, True)
        self.key(name, False)

    def driver_errors(self):
        """Errors the engine's driver read from the console (none where it cannot)."""
        return []

    def hide(self):
        """Hides the page as another tab or a minimised window does."""
        raise NotImplementedError

    def show(self):
        raise NotImplementedError

    def emulate(self, width, height, ratio, touch=False):
        """The page's viewport (CSS pixels) and device-pixel ratio, and a touch screen without a
        keyboard, where the engine's driver can set them; NotImplementedError where not. A width
        of None puts the browser's own back."""
        raise NotImplementedError

    def tap(self, css, times=1):
        """Taps the element's centre with a finger, twice for a double tap."""
        raise NotImplementedError

    def errors(self):
        page = self.run("window.pageErrors || []")
        return self.driver_errors() + [f"page: {message}" for message in page]

    def root_process(self):
        """The process the engine's other processes descend from."""
        raise NotImplementedError

    def processor_seconds(self):
        """Processor time (user and system, seconds) so far of the engine's processes still
        running, summed by kind: Chromium's --type, Firefox's content process type, or the
        program's name."""
        return processor_seconds(self.root_process())

    def renderer(self):
        return self.run(
            "(() => { const gl = document.createElement('canvas').getContext('webgl2');"
            " if (!gl) return 'no WebGL 2';"
            " const info = gl.getExtension('WEBGL_debug_renderer_info');"
            " return gl.getParameter(info ? info.UNMASKED_RENDERER_WEBGL : gl.RENDERER); })()")

    def quit(self):
        raise NotImplementedError


class Selenium(Browser):
    """An engine with a classic WebDriver of its own."""

    driver = None

    def open(self, url):
        self.driver.get(url)

    def run(self, expression, timeout=60):
        self.driver.set_script_timeout(timeout)
        answer = self.driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            f" Promise.resolve().then(() => ({expression})).then((value) => done([value]),"
            " (error) => done({scriptError: String(error)}));")
        if not isinstance(answer, list):
            raise RuntimeError(f"script error: {answer}")
        return answer[0]

    def click(self, css):
        from selenium.webdriver.common.by import By
        self.driver.find_element(By.CSS_SELECTOR, css).click()

    def key(self, name, down):
        from selenium.webdriver.common.action_chains import ActionChains
        chain = ActionChains(self.driver)
        (chain.key_down if down else chain.key_up)(KEYS[name]).perform()

    def root_process(self):
        return self.driver.service.process.pid

    def quit(self):
        self.driver.quit()


class Chromium(Selenium):
    name = "chromium"

    def __init__(self, work, unthrottled=False):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        self.sound = SoundServer(work)
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/" + tool("chromium")
        for flag in CHROMIUM_FLAGS + (CHROMIUM_UNTHROTTLED_FLAGS if unthrottled else []):
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        try:
            self.driver = webdriver.Chrome(
                service=Service("/usr/bin/" + tool("chromedriver"),
                                env=dict(os.environ, **self.sound.env)),
                options=options)
        except Exception:
            self.sound.close()
            raise
        self.page_tab = None
        self.other_tab = None

    def driver_errors(self):
        return [f"console: {entry['message']}" for entry in self.driver.get_log("browser")
                if entry["level"] == "SEVERE"]

    def quit(self):
        try:
            super().quit()
        finally:
            self.sound.close()

    def hide(self):
        self.page_tab = self.driver.current_window_handle
        self.driver.switch_to.new_window("tab")
        self.other_tab = self.driver.current_window_handle

    def show(self):
        self.driver.close()
        self.driver.switch_to.window(self.page_tab)

    def emulate(self, width, height, ratio, touch=False):
        if width is None:
            self.driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
        else:
            self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                "width": width, "height": height, "deviceScaleFactor": ratio, "mobile": touch})
        self.driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled",
                                    {"enabled": touch, "maxTouchPoints": 5 if touch else 1})

    def tap(self, css, times=1):
        x, y = self.run(f"(() => {{ const box = document.querySelector({json.dumps(css)})"
                        ".getBoundingClientRect();"
                        " return [box.x + box.width / 2, box.y + box.height / 2]; })()")
        for _ in range(times):
            for kind, points in (("touchStart", [{"x": x, "y": y}]), ("touchEnd", [])):
                self.driver.execute_cdp_cmd("Input.dispatchTouchEvent",
                                            {"type": kind, "touchPoints": points})
            time.sleep(0.1)

    def add_script(self, source):
        """A script run first in every page opened from now on, before the page's own: for a
        page that the test server does not serve (one opened from disk)."""
        self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": source})

    def devtools(self):
        """A DevTools protocol connection to the browser itself (bidi.DevTools), for tracing."""
        from bidi import DevTools
        address = self.driver.capabilities["goog:chromeOptions"]["debuggerAddress"]
        with urllib.request.urlopen(f"http://{address}/json/version") as answer:
            return DevTools(json.load(answer)["webSocketDebuggerUrl"])


class OnScreen:
    """An X screen and a sound server of its own for an engine that needs them."""

    def __init__(self, work):
        self.sound = SoundServer(work)
        try:
            self.screen = Desktop(work).start_screen(*SCREEN)
        except Exception:
            self.sound.close()
            raise
        self.env = dict(self.screen.x_env(), HOME=work, MOZ_CRASHREPORTER_DISABLE="1",
                        **self.sound.env)

    def close(self):
        try:
            self.screen.kill_all()
        finally:
            self.sound.close()


class WebKit(Selenium):
    name = "webkit"

    def __init__(self, work, unthrottled=False):
        from selenium import webdriver
        self.screen = OnScreen(work)
        # The driver starts the browser with its own environment.
        os.environ.update(self.screen.env)
        options = webdriver.WebKitGTKOptions()
        options.binary_location = MINIBROWSER
        options.add_argument("--automation")
        try:
            self.driver = webdriver.WebKitGTK(
                executable_path="/usr/bin/" + tool("WebKitWebDriver"), options=options,
                service_log_path=os.path.join(work, "webkitwebdriver.log"))
        except Exception:
            self.screen.close()
            raise
        self.rect = None

    def hide(self):
        # A new tab of MiniBrowser's is a window of its own, over the page's, which stays
        # visible; a minimised window does not.
        self.rect = self.driver.get_window_rect()
        self.driver.minimize_window()

    def show(self):
        self.driver.set_window_rect(**self.rect)

    def quit(self):
        try:
            self.driver.quit()
        finally:
            self.screen.close()


class Firefox(Browser):
    name = "firefox"

    def __init__(self, work, unthrottled=False):
        from bidi import Bidi
        self.screen = OnScreen(work)
        profile = tempfile.mkdtemp(prefix="firefox-profile-", dir=work)
        with open(os.path.join(profile, "user.js"), "w", encoding="utf-8") as prefs:
            for name, value in FIREFOX_PREFS.items():
                prefs.write(f"user_pref({json.dumps(name)}, {json.dumps(value)});\n")
        self.log = open(os.path.join(work, "firefox.log"), "w", encoding="utf-8")
        self.process = self.screen.screen.spawn(
            [tool("firefox-esr"), "--new-instance", "--no-remote", "--profile", profile,
             "--remote-debugging-port", "0", "about:blank"],
            env=self.screen.env, stdout=self.log, stderr=subprocess.PIPE, text=True)
        try:
            self.bidi = Bidi(self._endpoint())
        except Exception:
            self.screen.close()
            raise

    def _endpoint(self):
        """Firefox says where it listens on its standard error; the rest goes to the log."""
        found = []
        ready = threading.Event()

        def read():
            for line in self.process.stderr:
                self.log.write(line)
                match = re.search(r"WebDriver BiDi listening on (ws://\S+)", line)
                if match and not found:
                    found.append(match.group(1))
                    ready.set()
            ready.set()

        threading.Thread(target=read, daemon=True).start()
        if not ready.wait(120) or not found:
            raise RuntimeError("Firefox did not start its WebDriver BiDi server (firefox.log)")
        return found[0]

    def open(self, url):
        # The page is parsed once it is interactive, and every caller waits for what it needs in
        # it. Waiting for its load to complete as well once kept Firefox past the command's 60 s
        # when a playing page was left for a new one, on an otherwise quiet machine.
        self.bidi.navigate(url, wait="interactive")

    def run(self, expression, timeout=60):
        return self.bidi.evaluate(expression, timeout)

    def click(self, css):
        at = {"type": "element", "element": self.bidi.element(css)}
        self.bidi.perform([{"type": "pointer", "id": "mouse",
                            "parameters": {"pointerType": "mouse"},
                            "actions": [{"type": "pointerMove", "x": 0, "y": 0, "origin": at},
                                        {"type": "pointerDown", "button": 0},
                                        {"type": "pointerUp", "button": 0}]}])

    def key(self, name, down):
        self.bidi.perform([{"type": "key", "id": "keyboard", "actions": [
            {"type": "keyDown" if down else "keyUp", "value": KEYS[name]}]}])

    def driver_errors(self):
        return [f"console: {entry.get('text')}" for entry in self.bidi.log_entries
                if entry.get("level") == "error"]

    def hide(self):
        self.other_tab = self.bidi.command("browsingContext.create", {"type": "tab"})["context"]

    def show(self):
        self.bidi.command("browsingContext.close", {"context": self.other_tab})
        self.bidi.command("browsingContext.activate", {"context": self.bidi.context})

    def emulate(self, width, height, ratio, touch=False):
        if touch:
            raise NotImplementedError("WebDriver BiDi emulates no touch screen")
        self.bidi.command("browsingContext.setViewport", {
            "context": self.bidi.context,
            "viewport": None if width is None else {"width": width, "height": height},
            "devicePixelRatio": ratio})

    def root_process(self):
        return self.process.pid

    def quit(self):
        try:
            self.bidi.close()
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                pass
        finally:
            self.screen.close()
            self.log.close()


def processor_seconds(root):
    parents = {}
    for name in os.listdir("/proc"):
        if name.isdigit():
            try:
                with open(f"/proc/{name}/stat", encoding="ascii", errors="replace") as stat:
                    fields = stat.read().rsplit(")", 1)[1].split()
                parents[int(name)] = (int(fields[1]), int(fields[11]) + int(fields[12]))
            except (OSError, IndexError, ValueError):
                pass
    family = {root}
    grown = True
    while grown:
        grown = False
        for pid, (parent, _) in parents.items():
            if parent in family and pid not in family:
                family.add(pid)
                grown = True
    seconds = {}
    for pid in family & parents.keys():
        try:
            with open(f"/proc/{pid}/cmdline", encoding="utf-8", errors="replace") as file:
                command = file.read().replace("\0", " ")
        except OSError:
            continue
        kind = re.search(r"--type=(\S+)", command)
        if kind:
            kind = kind.group(1)
        elif "-contentproc" in command:
            kind = "firefox " + command.split()[-1]
        else:
            kind = os.path.basename(command.split(" ", 1)[0])
        seconds[kind] = seconds.get(kind, 0.0) + parents[pid][1] / os.sysconf("SC_CLK_TCK")
    return seconds


def open_engine(name, work, unthrottled=False):
    """A browser of the named engine, its logs and X screen (if any) in the folder `work`."""
    work = os.path.abspath(work)
    os.makedirs(work, exist_ok=True)
    engine = {"chromium": Chromium, "firefox": Firefox, "webkit": WebKit}[name]
    started = time.monotonic()
    browser = engine(work, unthrottled)
    print(f"{name}: started in {time.monotonic() - started:.1f} s", flush=True)
    return browser
