"""The show as the end-to-end tests see it: its timeline, and a run of the program with sdl_spy
loaded, which writes down what the program itself did and when (its message boxes, the start of
its sound, each frame it presented, the close requests and keys it read), on the monotonic clock
that time.monotonic() reads. Moments of the show are judged by those records, not by when the
driver happened to look.
"""

import bisect
import os
import re
import subprocess
import threading
import time

TITLE = "Kelo's Solid Object Tutorial"
QUESTION_CAPTION = "Kelo GL"
QUESTION_TEXT = ("The Requested Fullscreen Mode Is Not Supported By\n"
                 "Your Video Card. Use Windowed Mode Instead?")
# How long scenes 1 to 10 last, in seconds of the show's clock. Each scene change may come up to
# a frame late, so the ends drift a little later than these sums.
SCENE_SECONDS = [8.5, 4.0, 1.8, 10.0, 10.0, 10.0, 2.0, 2.0, 2.0, 2.0]
SCENE_STARTS = [sum(SCENE_SECONDS[:i]) for i in range(len(SCENE_SECONDS))]
SHOW_END = sum(SCENE_SECONDS)
# From the start of the frame that ends the show to the program shutting SDL down: the screen put
# back, the window gone, the sound closed.
TEARDOWN_SECONDS = 1.5


def scene_at(show_seconds, changes=None):
    """The scene (1 to 10) the show is in that many seconds after its start; 0 before, 11 after.
    By the scenes' lengths alone, or by the times of the frames that began scenes 2, 3, ..."""
    if show_seconds < 0:
        return 0
    if changes is not None:
        return 1 + bisect.bisect_right(changes, show_seconds)
    for scene in range(len(SCENE_STARTS) - 1, -1, -1):
        if show_seconds >= SCENE_STARTS[scene]:
            return scene + 1 if show_seconds < SHOW_END else 11
    return 0


class Show:
    """One run of a program on a desktop (or none), with the spy's log and its resident size."""

    def __init__(self, processes, program, work, name, env, spy=None, extra_env=None,
                 wrapper=(), preload=(), stdout=subprocess.DEVNULL):
        self.name = name
        self.log_path = os.path.join(work, f"{name}.spy")
        self.stderr_path = os.path.join(work, f"{name}.stderr")
        env = dict(env)
        if spy:
            # After whatever the caller preloads (the checked builds keep libraries loaded).
            env["LD_PRELOAD"] = " ".join(filter(None, [env.get("LD_PRELOAD"), spy, *preload]))
            env["SDL_SPY_LOG"] = self.log_path
        env.update(extra_env or {})
        self.started = time.monotonic()
        with open(self.stderr_path, "w") as stderr:
            self.process = processes.spawn([*wrapper, program], env=env, cwd=work, stdout=stdout,
                                           stderr=stderr)
        self.code = None
        self.ended = None
        self.rss = []  # (monotonic seconds, kB)
        self.sampler = threading.Thread(target=self._sample, daemon=True)
        self.sampler.start()

    def _sample(self):
        while True:
            if self.process.poll() is not None:
                self.ended = time.monotonic()
                break
            try:
                with open(f"/proc/{self.process.pid}/status") as status:
                    found = re.search(r"VmRSS:\s+(\d+) kB", status.read())
                if found:
                    self.rss.append((time.monotonic(), int(found.group(1))))
            except OSError:
                # Gone from /proc: the caller's wait() reaped it, which poll() cannot see while
                # that wait holds the process. When it ended is when that wait is through.
                self.process.wait()
                self.ended = time.monotonic()
                break
            time.sleep(0.2)

    def spy_lines(self):
        try:
            with open(self.log_path, encoding="latin-1") as log:
                return log.read().splitlines()
        except OSError:
            return []

    def time_zero(self):
        """The monotonic time the sound started (the show's time 0), None before or without it."""
        return next((float(line.split()[1]) for line in self.spy_lines()
                     if line.startswith("play ")), None)

    def clock_zero(self):
        """The show's time 0: when its sound started or, for a silent show, its first frame."""
        zero = self.time_zero()
        if zero is None:
            zero = next((float(line.split()[1]) for line in self.spy_lines()
                         if line.startswith("swap ")), None)
        return zero

    def swaps(self):
        return [float(line.split()[1]) for line in self.spy_lines() if line.startswith("swap ")]

    def closes(self):
        """When the program read each close request."""
        return [float(line.split()[1]) for line in self.spy_lines() if line.startswith("close ")]

    def keys(self):
        """(down or up, SDL's key name, when) for each key event the program read."""
        found = []
        for line in self.spy_lines():
            if line.startswith("key "):
                state, rest = line[4:].split(" ", 1)
                name, when = rest.rsplit(" ", 1)
                found.append((state, name, float(when)))
        return found

    def quit_time(self):
        """When the program shut SDL down: its end, before a checked build's leak check."""
        return next((float(line.split()[1]) for line in self.spy_lines()
                     if line.startswith("quit ")), None)

    def frames_after_end(self, zero):
        """The show times of frames presented after the timeline had certainly ended: none, as the
        first frame to start after its end ends the show and presents nothing. Each scene changes
        at the start of the first frame after its end. Swaps are noted as they are asked for, and
        the next frame starts once the swap returns: a frame that starts after a moment starts
        before the second swap noted after it, and that swap's frame started after the moment."""
        notes = [t - zero for t in self.swaps()]
        change = 0.0
        for seconds in SCENE_SECONDS[:-1]:
            after = [t for t in notes if t >= change + seconds]
            if len(after) < 2:
                return []
            change = after[1]
        return [t for t in notes if t >= change + SCENE_SECONDS[-1]][1:]

    def dialogs(self):
        return [line[len("dialog "):] for line in self.spy_lines() if line.startswith("dialog ")]

    def frame_starts(self):
        """When the program began each frame: its clock read for the frame comes just before."""
        return [float(line.split()[1]) for line in self.spy_lines() if line.startswith("frame ")]

    def shown_between(self, start, end):
        """The show times at which the frames on screen from start to end (monotonic) were begun:
        the last one presented before start and every one presented up to end. None if none is
        known."""
        zero = self.clock_zero()
        swaps = self.swaps()
        if zero is None or not swaps:
            return None
        begun = self.frame_starts()
        presented = [t for t in swaps if t <= start][-1:] + [t for t in swaps if start < t <= end]
        found = []
        for t in presented:
            index = bisect.bisect_right(begun, t)
            found.append((begun[index - 1] if index else t) - zero)
        return found

    def scene_changes(self):
        """The show times of the frames that began scenes 2, 3, ... by the program's own frames:
        each scene ends with the first frame begun once its time is up, counted from the frame
        that began it."""
        zero = self.clock_zero()
        if zero is None:
            return []
        begun = [t - zero for t in self.frame_starts()]
        changes = [0.0]
        for seconds in SCENE_SECONDS:
            index = bisect.bisect_left(begun, changes[-1] + seconds)
            if index == len(begun):
                break
            changes.append(begun[index])
        return changes[1:]

    def scene_at(self, show_seconds):
        """The scene (1 to 10; 0 before, 11 after) the program was in at that show time, by its
        frames. (Its clock counts whole milliseconds and is read just before the frame's first
        clear: a frame begun within a millisecond or two of a scene's end may be counted on the
        wrong side of it, which moves the later changes by a frame.)"""
        return scene_at(show_seconds, self.scene_changes())

    def scene_began(self, scene):
        """The show time at which the program began `scene` (2 to 10), by its frames; None while
        it has not."""
        changes = self.scene_changes()
        return changes[scene - 2] if len(changes) >= scene - 1 else None

    def stderr(self):
        with open(self.stderr_path, encoding="latin-1") as text:
            return text.read()

    def wait(self, seconds):
        try:
            self.code = self.process.wait(timeout=max(seconds, 0))
        except subprocess.TimeoutExpired:
            return None
        self.sampler.join(5)
        return self.code

    def running_for(self):
        return (self.ended or time.monotonic()) - self.started


def check_ends_on_time(checks, show, zero, prefix=""):
    """The show, having run to its end, shut down when its timeline ended: not before the scenes'
    sum, with no frame after the one the timeline ended in, and soon after that frame (the frame
    that ends the show presents nothing, and starts once the last swap returns). A slow, loaded or
    checked build draws fewer frames, and each scene change waits for one; its process may also
    end well after it shut down, as a checked build runs its leak check then."""
    quit = show.quit_time()
    swaps = [t - zero for t in show.swaps()]
    length = None if quit is None else quit - zero
    checks.require(length is not None and swaps, f"{prefix}the show shut down after its frames",
                   f"shut down at {length} s, {len(swaps)} frames")
    late = show.frames_after_end(zero)
    longest = max((b - a for a, b in zip(swaps, swaps[1:])), default=0.0)
    checks.check(SHOW_END - 0.2 <= length and not late and
                 length <= swaps[-1] + longest + TEARDOWN_SECONDS,
                 f"{prefix}the show ends about {SHOW_END} s after its time 0",
                 f"shut down at {length:.2f} s; the last frame at {swaps[-1]:.2f} s, the longest "
                 f"{longest:.3f} s; {len(late)} frames after the timeline's end")
    print(f"{prefix}show length: {length:.2f} s after time 0 (the last frame at {swaps[-1]:.2f} s, "
          f"the process ended at {show.ended - zero:.2f} s)")
