#!/usr/bin/env python3
"""How far the desktop's sound is from the show's clock (a benchmark, not a test; run by
scripts/bench_sync.sh). tools/bench/sync_sdl plays the song through sndPlaySoundA over SDL, as
the show does, into a PulseAudio server of its own with a null sink (a sound output that plays in
real time into nothing), and writes down the clock the show reads against the monotonic clock;
the sink's monitor is recorded meanwhile. sdl_spy, loaded into it, writes down the buffer SDL
obtained and when SDL's audio thread took samples off its queue.

The sink renders in blocks and hands each to its monitor as it starts to play it, so a recorded
sample n is played at t0 + n / rate, t0 the median over the reads of the steady stream of (read
time less the samples read by then), and the spread of those its uncertainty. What a real device
adds after the sink (its own buffer, a Bluetooth link) comes on top: SDL has no way to say it.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
from desktop import SoundServer, tool  # noqa: E402

RATE = 44100


class Recorder:
    """The sink's monitor as 16-bit mono samples, with the monotonic time of each read."""

    def __init__(self, env):
        self.process = subprocess.Popen(
            [tool("parec"), "-d", "show.monitor", "--raw", "--format=s16le", f"--rate={RATE}",
             "--channels=1", "--latency-msec=2"],
            env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.data = bytearray()
        self.reads = []  # (monotonic time, samples received by then)
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        out = self.process.stdout.fileno()
        while True:
            chunk = os.read(out, 4096)
            at = time.monotonic()
            if not chunk:
                return
            self.data += chunk
            self.reads.append((at, len(self.data) // 2))

    def stop(self):
        self.process.terminate()
        self.process.wait()
        self.thread.join(5)


def first_sound(data):
    samples = memoryview(bytes(data[: len(data) // 2 * 2])).cast("h")
    return next((i for i, value in enumerate(samples) if value != 0), None)


def spread(values):
    tenths = statistics.quantiles(values, n=10)
    return 1000 * (tenths[8] - tenths[0])


def run_once(args, work, run):
    sound = SoundServer(work)
    try:
        env = dict(os.environ, **sound.env, SDL_AUDIODRIVER="pulseaudio",
                   LD_PRELOAD=args.spy, SDL_SPY_LOG=os.path.join(work, "spy.log"),
                   SDL_SPY_QUEUE="1")
        recorder = Recorder(env)
        # The monitor's stream runs before the sound starts.
        deadline = time.monotonic() + 30
        while not recorder.reads and time.monotonic() < deadline:
            time.sleep(0.05)
        done = subprocess.run([args.program, str(args.seconds)], env=env, capture_output=True,
                              text=True, timeout=args.seconds + 60, check=True)
        time.sleep(0.5)
        recorder.stop()
    finally:
        sound.close()
    with open(os.path.join(work, "spy.log"), encoding="latin-1") as log:
        spy = log.read().splitlines()

    first = zero = None
    clock = []
    for line in done.stdout.splitlines():
        word, *values = line.split()
        if word == "first":
            first = int(values[0])
        elif word == "zero":
            zero = float(values[1])
        elif word == "at":
            clock.append((float(values[0]), float(values[1])))
    heard_first = first_sound(recorder.data)
    steady = [at - count / RATE for at, count in recorder.reads if count > heard_first + RATE]
    heard = statistics.median(steady) + (heard_first - first) / RATE
    # Where the show's time 0 lies on the monotonic clock, by the clock's readings once it runs.
    zeros = [at - (value - zero) / 1000 for at, value in clock if value > zero + 500]
    show_zero = statistics.median(zeros)
    play = next(float(line.split()[1]) for line in spy if line.startswith("play "))
    taken = [(int(line.split()[1]), float(line.split()[2])) for line in spy
             if line.startswith("taken ")]
    rate, channels, samples, size = (int(value) for value in next(
        line.split()[1:] for line in spy if line.startswith("audio ")))
    print(f"sync: sdl run {run + 1}: a buffer of {samples} samples at {rate} Hz "
          f"({1000 * samples / rate:.1f} ms, {channels} channel(s)); SDL took the first samples "
          f"{1000 * (taken[0][1] - play):.0f} ms after the start; the first sample heard "
          f"{1000 * (heard - play):.1f} ms after the start; the show's time 0 "
          f"{1000 * (show_zero - play):.1f} ms after it (spread {spread(zeros):.1f} ms)")
    print(f"sync: sdl run {run + 1}: picture - sound {1000 * (heard - show_zero):+.1f} ms "
          f"(recording's spread {spread(steady):.1f} ms, 10th to 90th percentile)")
    return 1000 * (heard - show_zero), 1000 * (heard - play)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--program", required=True, help="tools/bench/sync_sdl")
    parser.add_argument("--spy", required=True, help="sdl_spy")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=10)
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)
    args.spy = os.path.abspath(args.spy)
    results = []
    for run in range(args.runs):
        with tempfile.TemporaryDirectory(prefix="solid-sync-") as work:
            before = " ".join(open("/proc/loadavg").read().split()[:3])
            results.append(run_once(args, work, run))
            after = " ".join(open("/proc/loadavg").read().split()[:3])
            print(f"sync: sdl run {run + 1}: load {before} -> {after}")
    late = statistics.median(result[0] for result in results)
    started = statistics.median(result[1] for result in results)
    print(f"sync: sdl: medians of {args.runs} runs: picture - sound {late:+.1f} ms; the first "
          f"sample heard {started:+.1f} ms after the sound was started (the show's time 0 when its "
          "clock did not wait for it)")


if __name__ == "__main__":
    main()
