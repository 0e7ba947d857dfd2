"""Mesa's software renderer, llvmpipe, frees a fence while a rasteriser thread of its own may still
hold the fence's mutex, and the late unlock then corrupts the heap. The program has llvmpipe
rasterise on the drawing thread, which closes that window. The mutex probe (mutex_probe.cpp),
preloaded, writes down every mutex destroyed while another thread holds it, and now and then
keeps a rasteriser thread's signal under the lock for 5 ms, as a thread pre-empted there would.

  shipped      a short capture and a short desktop show, as a user runs them: no thread of
               llvmpipe's own, no mutex destroyed while held, exit code 0.
  forced       the same with llvmpipe's threads forced back on (LP_NUM_THREADS=1, the value the
               user's environment may give): the probe finds such destroys and the run fails
               (the probe's exit code, or the corrupt heap's crash).

The four runs go side by side; each is judged by the probe's log and the program's own records.
"""

import os
import re
import subprocess
import threading
import time

import pytest

from desktop import ask_to_close, wait_for
from show import TITLE, Show

# Every fifth signal a rasteriser thread makes under a lock is held there 5 ms.
PROBE_SETTINGS = {"MUTEX_PROBE_DELAY_US": "5000", "MUTEX_PROBE_DELAY_EVERY": "5",
                  "MUTEX_PROBE_DELAY_THREADS": "llvmpipe"}
SUMMARY = re.compile(r"mutex-probe: pid (\d+) \((.*)\): (\d+) mutexes destroyed while another "
                     r"thread held them \((\d+) locks, (\d+) destroys followed\)")
# How much of the show each run plays: a few hundred fences. The forced desktop show goes on until
# the probe has seen a destroy (seen: 1 to 3 a run in its first seconds, at load 12), up to the
# limit.
SHIPPED_SECONDS = 4.0
FORCED_CAPTURE_SECONDS = 6.0
FORCED_SHOW_LIMIT_SECONDS = 30.0


class ThreadNames:
    """The names of a process's threads, sampled from /proc while it runs."""

    def __init__(self, process):
        self.seen = set()
        self.process = process
        self.sampler = threading.Thread(target=self._sample, daemon=True)
        self.sampler.start()

    def _sample(self):
        tasks = f"/proc/{self.process.pid}/task"
        while self.process.poll() is None:
            try:
                for task in os.listdir(tasks):
                    with open(os.path.join(tasks, task, "comm")) as comm:
                        self.seen.add(comm.read().strip())
            except OSError:
                pass
            time.sleep(0.02)

    def rasterisers(self):
        return sorted(name for name in self.seen if name.startswith("llvmpipe"))


class ProbeLog:
    def __init__(self, path):
        self.path = path

    def text(self):
        try:
            with open(self.path, encoding="latin-1") as log:
                return log.read()
        except OSError:
            return ""

    def events(self):
        return [line for line in self.text().splitlines() if line.startswith("mutex-probe: event")]

    def summary(self, pid):
        """(events, destroys followed) of that process, None if it wrote no summary."""
        for match in SUMMARY.finditer(self.text()):
            if int(match.group(1)) == pid:
                return int(match.group(3)), int(match.group(5))
        return None


def probe_env(base, probe, log, forced):
    env = dict(base)
    env.pop("LP_NUM_THREADS", None)
    env.update(PROBE_SETTINGS)
    env["MUTEX_PROBE_LOG"] = log
    env["LD_PRELOAD"] = " ".join(filter(None, [env.get("LD_PRELOAD"), probe]))
    if forced:
        env["LP_NUM_THREADS"] = "1"
    return env


class CaptureRun:
    def __init__(self, option, work, forced):
        self.name = "forced capture" if forced else "shipped capture"
        self.log = ProbeLog(os.path.join(work, f"{'forced' if forced else 'shipped'}-capture.probe"))
        seconds = FORCED_CAPTURE_SECONDS if forced else SHIPPED_SECONDS
        env = probe_env(os.environ, option("mutex_probe"), self.log.path, forced)
        self.stderr_path = os.path.join(work, f"{'forced' if forced else 'shipped'}-capture.stderr")
        with open(self.stderr_path, "w") as stderr:
            self.process = subprocess.Popen(
                [option("capture_program"), "--until", str(int(seconds * 1000)), "video.mp4"],
                cwd=work, env=env, stdout=subprocess.DEVNULL, stderr=stderr,
                start_new_session=True)
        self.threads = ThreadNames(self.process)
        self.video = os.path.join(work, "video.mp4")

    def finish(self, seconds):
        try:
            return self.process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            self.process.kill()
            return None


class DesktopRun:
    def __init__(self, desktops, option, forced):
        self.name = "forced desktop show" if forced else "shipped desktop show"
        self.forced = forced
        self.desktop = desktops(1024, 768, name="forced" if forced else "shipped")
        self.log = ProbeLog(os.path.join(self.desktop.work, "show.probe"))
        probe = option("mutex_probe")
        env = probe_env(self.desktop.x_env(), None, self.log.path, forced)
        self.show = Show(self.desktop, option("program"), self.desktop.work, "show", env,
                         spy=option("spy"), preload=(probe,))
        self.threads = ThreadNames(self.show.process)

    def played_enough(self):
        zero = self.show.clock_zero()
        if zero is None:
            return False
        played = time.monotonic() - zero
        if self.forced:
            return played >= FORCED_SHOW_LIMIT_SECONDS or (played >= 1.0 and self.log.events())
        return played >= SHIPPED_SECONDS

    def close(self):
        window = self.desktop.window_named(TITLE)
        if window is not None:
            ask_to_close(self.desktop.display, int(window[0], 16))
        return self.show.wait(30)


def check_shipped(checks, run, code, pid, frames):
    checks.check(code == 0, f"{run.name}: exit code 0", str(code))
    checks.check(run.threads.rasterisers() == [],
                 f"{run.name}: llvmpipe draws on the program's thread, with no threads of its own",
                 str(run.threads.rasterisers()))
    summary = run.log.summary(pid)
    checks.require(summary is not None, f"{run.name}: the probe was loaded and summed up",
                   run.log.text()[-500:])
    events, destroys = summary
    # Each frame's scene has a fence with a mutex of its own, destroyed with it.
    checks.check(2 * destroys >= frames, f"{run.name}: the probe followed the renderer's mutexes",
                 f"{destroys} destroys in {frames} frames")
    checks.check(events == 0 and run.log.events() == [],
                 f"{run.name}: no mutex destroyed while another thread held it",
                 "\n".join(run.log.text().splitlines()[:20]))
    print(f"{run.name}: {frames} frames, {destroys} mutex destroys followed, {events} while held")


def check_forced(checks, run, code):
    checks.check(run.threads.rasterisers() != [],
                 f"{run.name}: llvmpipe has a rasteriser thread of its own",
                 str(sorted(run.threads.seen)))
    events = run.log.events()
    checks.check(events != [], f"{run.name}: the probe finds mutexes destroyed while held")
    # The probe's exit code, or a crash: heap corruption is what the race does.
    checks.check(code is not None and code != 0, f"{run.name}: the run fails", str(code))
    print(f"{run.name}: {len(events)} destroys while held, exit code {code}; the first: "
          f"{events[0] if events else None}")


@pytest.mark.deadline(150)
def test_mutex_probe(desktops, checks, option, work):
    runs = [DesktopRun(desktops, option, False), DesktopRun(desktops, option, True)]
    captures = []
    for forced in (False, True):
        folder = os.path.join(work, "forced" if forced else "shipped", "capture")
        os.makedirs(folder)
        captures.append(CaptureRun(option, folder, forced))
    shipped_show, forced_show = runs
    for run in runs:
        checks.require(wait_for(lambda: run.show.clock_zero() is not None or
                                run.show.process.poll() is not None, 60),
                       f"{run.name}: the show draws its first frame", run.show.stderr()[-500:])
    checks.require(wait_for(lambda: all(run.played_enough() or run.show.process.poll() is not None
                                        for run in runs), FORCED_SHOW_LIMIT_SECONDS + 30),
                   "the desktop shows play their time")
    codes = [run.close() for run in runs]

    shipped_capture, forced_capture = captures
    capture_codes = [capture.finish(120) for capture in captures]
    frames = int(SHIPPED_SECONDS * 60)
    check_shipped(checks, shipped_capture, capture_codes[0], shipped_capture.process.pid, frames)
    checks.check(os.path.exists(shipped_capture.video), "shipped capture: the video is written")
    check_forced(checks, forced_capture, capture_codes[1])
    check_shipped(checks, shipped_show, codes[0], shipped_show.show.process.pid,
                  len(shipped_show.show.swaps()))
    check_forced(checks, forced_show, codes[1])
