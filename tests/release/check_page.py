#!/usr/bin/env python3
"""The release's single HTML file as its user opens it: from disk (file://, no server) in headless
Chromium. The show's page test (tests/web/run_show.py, part "show") runs on it unchanged: the
fullscreen question answered Yes, the whole show to the end page on the test clock, the frames at
--at show times against the capture's PNGs (--reference), the song handed to Web Audio, and no
error in the console. Then the same file served over HTTP labelled UTF-8, as some servers label
every page, which the page cannot read as written: it must fetch its own bytes again and come to
the fullscreen question all the same.

Usage: check_page.py PAGE.html --reference DIR --at T1,T2,... [--out DIR] [--max-differing N]
Run with Debian's python3 (selenium).
"""

import argparse
import functools
import http.server
import importlib
import os
import pathlib
import sys
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "web"))
sys.path.insert(0, os.path.join(HERE, ".."))
# The page tests' own modules, beside them in tests/web.
browsers = importlib.import_module("browsers")
run_show = importlib.import_module("run_show")


class Utf8Handler(http.server.SimpleHTTPRequestHandler):
    """Serves every file as "text/html; charset=utf-8"."""

    def guess_type(self, path):
        return "text/html; charset=utf-8"

    def log_message(self, *args):
        pass


def part_served_as_utf8(browser, page):
    folder, name = os.path.split(os.path.abspath(page))
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0), functools.partial(Utf8Handler, directory=folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    try:
        run_show.open_page(browser, f"http://127.0.0.1:{server.server_address[1]}/{name}")
        charset, title = browser.run("[document.characterSet, document.title]")
        assert charset == "UTF-8", f"the page was read as {charset}"
        run_show.check_no_errors(browser, "utf-8")
        print(f"page: served labelled UTF-8, it read its own bytes again and asked its question"
              f" (the page's title {title!r})")
    finally:
        server.shutdown()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("page")
    parser.add_argument("--reference", required=True, help="the capture's frames")
    parser.add_argument("--at", required=True, help="show times (ms) of the frames compared")
    parser.add_argument("--out", default="build-release/page-frames", help="frames seen (PNG)")
    # As for the site folder (tests/web/CMakeLists.txt): the edge pixels SwiftShader and
    # llvmpipe rasterise differently, with room to spare; a wrong frame changes thousands.
    parser.add_argument("--max-differing", type=int, default=300)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    # The capture's frames are those of its default rate.
    args.fps = run_show.FPS
    browser = browsers.open_engine("chromium", os.path.join(args.out, "browser"))
    try:
        # From disk the page comes from no test server to put the test's scripts into it.
        for name in ("page_errors.js", "show_harness.js"):
            with open(os.path.join(HERE, "..", "web", name), encoding="utf-8") as script:
                browser.add_script(script.read())
        url = pathlib.Path(os.path.abspath(args.page)).as_uri()
        print(f"page: {url}")
        run_show.part_show(browser, url, args)
        print("page: played to its end page from disk, no console error")
        part_served_as_utf8(browser, args.page)
    except AssertionError as error:
        print(f"page: FAILED: {error}")
        return 1
    finally:
        browser.quit()
    return 0

if __name__ == "__main__":
    sys.exit(main())
