#!/usr/bin/env python3
"""The GL subset in a browser engine (browsers.py: chromium, firefox or webkit) draws the show's
frames from the built web_frames folder, served over local HTTP.

  frames: draws the frames on screen at --at show times (on the capture's virtual clock), writes
          them as PNG files to --out and compares them with the capture's (--reference), failing
          when a frame has more differing pixels than --max-differing.
  bench:  draws each scene on the real clock for --seconds and prints the frame rate and the
          time each frame spent in the program and the subset; with --unthrottled (Chromium) the
          animation frames come as fast as the page draws them, not at the display's 60 a
          second, which shows how much room each scene leaves.
  profile: as bench, and where each frame's processor time went: each of the engine's
          processes' milliseconds a frame, and in Chromium a trace (the DevTools protocol's
          Tracing domain) of the threads that draw: their busy milliseconds a frame and the
          events they spent them in. First the same for the page alone, clearing its canvas
          every frame without the program: the browser's own share.

Either way it fails on any error in the page or its console. Run with Debian's python3 (selenium,
websockets).
"""

import argparse
import base64
import collections
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
sys.path.insert(0, HERE)
from browsers import ENGINES, open_engine, serve  # noqa: E402
from frame_diff import Difference, read_frame  # noqa: E402
from run_show import load_average, wait_for, write_png  # noqa: E402

# Timeline slots 1 to 6 and their durations (ms); the banner scenes draw like the fountain's
# spheres and are measured as scene 7.
SCENES = [("walk", 1, 8500), ("flicker", 2, 4000), ("spin", 3, 1800), ("fountain", 4, 10000),
          ("orbit", 5, 10000), ("falling", 6, 10000), ("banner", 7, 2000)]


def start_program(browser, url):
    browser.open(url)
    wait_for(browser, "window.harness.ready", 60, "the program to load")
    problem = browser.run("window.harness.start()")
    if problem:
        raise RuntimeError(f"the program did not start: {problem}")


def run_frames(browser, args):
    failures = 0
    for time_ms in sorted(int(t) for t in args.at.split(",")):
        encoded = browser.run(f"window.harness.frame({time_ms})", timeout=300)
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


def run_bench(browser, args):
    print(f"bench: {browser.name}, load average {load_average()}")
    print(f"{'scene':10} {'fps':>6} {'frames':>7} {'median ms':>10} {'p90 ms':>8} "
          f"{'worst gap':>10} {'draws':>6} {'vertices':>9} {'sent':>7} {'triangles':>10}")
    slow = 0
    for name, scene, duration in SCENES:
        if args.scenes and name not in args.scenes.split(","):
            continue
        result = browser.run(
            f"new Promise((done) => window.harness.bench({scene}, {duration}, {args.seconds},"
            " done))", timeout=args.seconds + 60)
        print(f"{name:10} {result['fps']:6.1f} {result['frames']:7d} {result['medianMs']:10.2f} "
              f"{result['p90Ms']:8.2f} {result['worstGapMs']:10.1f} {result['draws']:6d} "
              f"{result['vertices']:9d} {result['verticesSent']:7d} {result['triangles']:10d}",
              flush=True)
        slow += result["fps"] < args.min_fps
    return slow


# What the trace records: Chromium's own top-level tasks, its GPU service (where WebGL's calls run,
# ANGLE and SwiftShader's waits among them), and the page's script.
TRACE_CATEGORIES = ["toplevel", "gpu", "gpu.angle", "disabled-by-default-gpu.service", "v8", "cc",
                    "viz", "blink"]
TRACED_THREADS = ("CrGpuMain", "VizCompositorThread", "CrRendererMain", "Compositor")


def thread_report(events, frames):
    """Per traced thread: busy milliseconds a frame (the union of its complete events) and its
    heaviest events by their own time (less what they called)."""
    names = {(e["pid"], e["tid"]): e["args"]["name"] for e in events
             if e.get("ph") == "M" and e.get("name") == "thread_name"}
    threads = collections.defaultdict(list)
    for event in events:
        if event.get("ph") == "X" and "dur" in event:
            threads[(event["pid"], event["tid"])].append(event)
    lines = []
    for key, spans in threads.items():
        name = names.get(key, "")
        if name not in TRACED_THREADS:
            continue
        spans.sort(key=lambda e: (e["ts"], -e["dur"]))
        busy = 0
        end = -1
        own = collections.Counter()
        stack = []
        for span in spans:
            start, finish = span["ts"], span["ts"] + span["dur"]
            busy += max(0, finish - max(start, end))
            end = max(end, finish)
            while stack and stack[-1]["ts"] + stack[-1]["dur"] <= start:
                stack.pop()
            if stack:
                own[stack[-1]["name"]] -= span["dur"]
            own[span["name"]] += span["dur"]
            stack.append(span)
        heaviest = ", ".join(f"{event} {micros / 1000 / frames:.1f}"
                             for event, micros in own.most_common(4))
        lines.append((busy, f"{name} busy {busy / 1000 / frames:.1f} ms a frame: {heaviest}"))
    return [line for busy, line in sorted(lines, reverse=True) if busy / 1000 / frames >= 0.05]


def run_profile(browser, args):
    devtools = browser.devtools() if browser.name == "chromium" else None
    print(f"profile: {browser.name}, load average {load_average()}")
    try:
        # First the page alone, clearing its canvas: the browser's own share of every frame.
        for name, scene, duration in [("(canvas)", 0, 0)] + SCENES:
            if args.scenes and name not in args.scenes.split(",") + ["(canvas)"]:
                continue
            if devtools:
                devtools.start_trace(TRACE_CATEGORIES)
            before = browser.processor_seconds()
            call = f"baseline({args.seconds}, done)" if scene == 0 else \
                f"bench({scene}, {duration}, {args.seconds}, done)"
            result = browser.run(f"new Promise((done) => window.harness.{call})",
                                 timeout=args.seconds + 60)
            after = browser.processor_seconds()
            frames = max(1, result["frames"])
            spent = {kind: (after[kind] - before.get(kind, 0.0)) * 1000 / frames
                     for kind in after}
            print(f"profile: {name}: {result['fps']:.1f} fps, {result['triangles']} triangles;"
                  " processor ms a frame: " +
                  ", ".join(f"{kind} {ms:.1f}" for kind, ms in
                            sorted(spent.items(), key=lambda item: -item[1]) if ms >= 0.1),
                  flush=True)
            if devtools:
                for line in thread_report(devtools.stop_trace(), frames):
                    print(f"profile: {name}:   {line}", flush=True)
    finally:
        if devtools:
            devtools.close()
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--engine", choices=ENGINES, default="chromium")
    parser.add_argument("--dir", required=True, help="the built web_frames folder")
    parser.add_argument("--mode", choices=["frames", "bench", "profile"], default="frames")
    parser.add_argument("--at", default="")
    parser.add_argument("--reference")
    parser.add_argument("--out", default="build-web/browser_frames",
                        help="frames drawn (PNG) and the browser's logs")
    parser.add_argument("--max-differing", type=int, default=0)
    parser.add_argument("--seconds", type=float, default=5.0)
    parser.add_argument("--min-fps", type=float, default=0.0)
    parser.add_argument("--scenes", default="", help="the scenes to measure (bench), e.g. orbit")
    parser.add_argument("--unthrottled", action="store_true",
                        help="animation frames unpaced by the display (bench, chromium)")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    server = serve(args.dir)
    browser = open_engine(args.engine, os.path.join(args.out, "browser"), args.unthrottled)
    try:
        print(f"{args.engine}: WebGL 2: {browser.renderer()}", flush=True)
        start_program(browser, f"http://127.0.0.1:{server.server_address[1]}/frames.html")
        run = {"frames": run_frames, "bench": run_bench, "profile": run_profile}[args.mode]
        failures = run(browser, args)
        errors = browser.errors()
        for message in errors:
            print(message)
        return 1 if failures or errors else 0
    finally:
        browser.quit()
        server.shutdown()


if __name__ == "__main__":
    sys.exit(main())
