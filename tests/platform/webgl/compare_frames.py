#!/usr/bin/env python3
"""Frames of the show drawn by the program's GL subset against the capture's, pixel by pixel.

--reference DIR holds the capture's PNG frames (solid-objects-capture --png DIR --at ...); the
subset's frames are made here by running --program with --png and --at, or read from --frames DIR
when something else made them (the browser). Both sides are 16-bit colour widened to 8 bits, so
a pixel either matches exactly or differs by at least one 5- or 6-bit step. Fails when a frame
has more differing pixels than --max-differing, and prints every frame's figures.
"""

import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
from frame_diff import Difference, read_frame  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--reference", required=True)
    parser.add_argument("--program")
    parser.add_argument("--frames")
    parser.add_argument("--work")
    parser.add_argument("--at", required=True)
    parser.add_argument("--max-differing", type=int, required=True)
    args = parser.parse_args()

    frames = args.frames
    if args.program:
        frames = os.path.join(args.work, "subset_frames")
        os.makedirs(frames, exist_ok=True)
        result = subprocess.run([args.program, "--png", frames, "--at", args.at], timeout=600)
        if result.returncode != 0:
            print(f"{args.program} failed with {result.returncode}")
            return 1

    failures = 0
    for time_ms in sorted(int(t) for t in args.at.split(",")):
        name = f"frame_{time_ms:06d}.png"
        reference = os.path.join(args.reference, name)
        ours = os.path.join(frames, name)
        if not os.path.exists(reference) or not os.path.exists(ours):
            print(f"{name}: missing ({reference} or {ours})")
            failures += 1
            continue
        difference = Difference(read_frame(reference), read_frame(ours))
        verdict = "ok" if difference.differing <= args.max_differing else "TOO MANY"
        print(f"{time_ms:6d} ms: {difference}  {verdict}")
        if difference.differing > args.max_differing:
            failures += 1
            for x, y, a, b in difference.big_positions[:5]:
                print(f"    at ({x}, {y}): capture {a}, subset {b}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
