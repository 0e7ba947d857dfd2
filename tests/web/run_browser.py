#!/usr/bin/env python3
"""The GL subset in a real browser: headless Chromium (SwiftShader's WebGL 2) draws the show's
frames from the built web_frames folder, served over local HTTP.

  frames: draws the frames on screen at --at show times (on the capture's virtual clock), writes
          them as PNG files to --out and compares them with the capture's (--reference), failing
          when a frame has more differing pixels than --max-differing.
  bench:  draws each scene on the real clock for --seconds and prints the frame rate and the
          time each frame spent in the program and the subset; with --unthrottled the animation
          frames come as fast as the page draws them, not at the display's 60 a second, which
          shows how much room each scene leaves.

Either way it fails on any error in the browser's console. Run with Debian's python3 (selenium).
"""

import argparse
import base64
import functools
import http.server
import os
import sys
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
from frame_diff import Difference, read_frame  # noqa: E402

from PIL import Image  # noqa: E402
from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

WIDTH, HEIGHT = 640, 480
# Timeline slots 1 to 6 and their durations (ms); the banner scenes draw like the fountain's
# spheres and are measured as scene 7.
SCENES = [("walk", 1, 8500), ("flicker", 2, 4000), ("spin", 3, 1800), ("fountain", 4, 10000),
          ("orbit", 5, 10000), ("falling", 6, 10000), ("banner", 7, 2000)]
# Flags measured to give headless Chromium WebGL through SwiftShader on a machine without a GPU.
CHROMIUM_FLAGS = ["--headless=new", "--no-sandbox", "--use-angle=swiftshader",
                  "--enable-unsafe-swiftshader", "--autoplay-policy=no-user-gesture-required",
                  "--window-size=1024,768"]


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}

    def log_message(self, *args):
        pass


def serve(folder):
    """An HTTP server for the folder on a free local port, in a thread of its own."""
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


# Animation frames as fast as the page can draw them rather than at the display's rate: what the
# speed test measures is how much faster than 60 a scene could go.
UNTHROTTLED_FLAGS = ["--disable-frame-rate-limit", "--disable-gpu-vsync"]


def open_browser(unthrottled=False):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in CHROMIUM_FLAGS + (UNTHROTTLED_FLAGS if unthrottled else []):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def write_png(path, rgb):
    Image.frombytes("RGB", (WIDTH, HEIGHT), rgb).save(path)


def console_errors(driver):
    return [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]


def start_program(driver, url):
    driver.get(url)
    WebDriverWait(driver, 60).until(lambda d: d.execute_script("return window.harness.ready"))
    problem = driver.execute_script("return window.harness.start()")
    if problem:
        raise RuntimeError(f"the program did not start: {problem}")
    print(driver.execute_script(
        "const gl = document.createElement('canvas').getContext('webgl2');"
        "const info = gl.getExtension('WEBGL_debug_renderer_info');"
        "return 'WebGL 2: ' + (info ? gl.getParameter(info.UNMASKED_RENDERER_WEBGL)"
        " : gl.getParameter(gl.RENDERER));"))


def run_frames(driver, args):
    os.makedirs(args.out, exist_ok=True)
    failures = 0
    for time_ms in sorted(int(t) for t in args.at.split(",")):
        encoded = driver.execute_script(f"return window.harness.frame({time_ms})")
        if encoded is None:
            print(f"{time_ms} ms: the show ended before it")
            failures += 1
            continue
        name = f"frame_{time_ms:06d}.png"
        write_png(os.path.join(args.out, name), base64.b64decode(encoded))
        difference = Difference(read_frame(os.path.join(args.reference, name)),
                                read_frame(os.path.join(args.out, name)))
        verdict = "ok" if difference.differing <= args.max_differing else "TOO MANY"
        print(f"{time_ms:6d} ms: {difference}  {verdict}", flush=True)
        failures += difference.differing > args.max_differing
    return failures


def run_bench(driver, args):
    driver.set_script_timeout(args.seconds + 60)
    print(f"{'scene':10} {'fps':>6} {'frames':>7} {'median ms':>10} {'p90 ms':>8} "
          f"{'worst gap':>10} {'draws':>6} {'vertices':>9} {'sent':>7} {'triangles':>10}")
    slow = 0
    for name, scene, duration in SCENES:
        if args.scenes and name not in args.scenes.split(","):
            continue
        result = driver.execute_async_script(
            "window.harness.bench(arguments[0], arguments[1], arguments[2], arguments[3])",
            scene, duration, args.seconds)
        print(f"{name:10} {result['fps']:6.1f} {result['frames']:7d} {result['medianMs']:10.2f} "
              f"{result['p90Ms']:8.2f} {result['worstGapMs']:10.1f} {result['draws']:6d} "
              f"{result['vertices']:9d} {result['verticesSent']:7d} {result['triangles']:10d}",
              flush=True)
        slow += result["fps"] < args.min_fps
    return slow


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True, help="the built web_frames folder")
    parser.add_argument("--mode", choices=["frames", "bench"], default="frames")
    parser.add_argument("--at", default="")
    parser.add_argument("--reference")
    parser.add_argument("--out")
    parser.add_argument("--max-differing", type=int, default=0)
    parser.add_argument("--seconds", type=float, default=5.0)
    parser.add_argument("--min-fps", type=float, default=0.0)
    parser.add_argument("--scenes", default="", help="the scenes to measure (bench), e.g. orbit")
    parser.add_argument("--unthrottled", action="store_true",
                        help="animation frames unpaced by the display (bench)")
    args = parser.parse_args()

    server = serve(args.dir)
    driver = open_browser(args.unthrottled)
    try:
        start_program(driver, f"http://127.0.0.1:{server.server_address[1]}/frames.html")
        failures = run_frames(driver, args) if args.mode == "frames" else run_bench(driver, args)
        errors = console_errors(driver)
        for message in errors:
            print(f"console: {message}")
        return 1 if failures or errors else 0
    finally:
        driver.quit()
        server.shutdown()


if __name__ == "__main__":
    sys.exit(main())
