#!/usr/bin/env python3
"""solid-objects-capture end to end: what it writes, checked against the show's design.

Each --case runs the capture in a fresh folder and exits non-zero with a reason on the first
mismatch. Frames are read with a PNG decoder written here (zlib from Python's library), the video
with ffprobe.
"""

import argparse
import math
import os
import pty
import select
import shutil
import signal
import struct
import subprocess
import sys
import time
import zlib

WIDTH = 640
HEIGHT = 480
# Timeline: duration of each slot in ms; slot 11 ends the show on its first frame.
SCENE_DURATIONS = [0, 8500, 4000, 1800, 10000, 10000, 10000, 2000, 2000, 2000, 2000, 2000000]
SONG_CRC = 0x871A75C3
SONG_IMAGE_BYTES = 10725164
WAV_HEADER = bytes.fromhex(
    "52494646 24A7A300 57415645 666D7420 10000000 01000100 44AC0000 88580100"
    " 02001000 64617461 00A7A300".replace(" ", ""))
# The colour the banner scenes draw in: the last one scene 6 sets, (0.3, 0.9, 0.4).
BANNER_GREEN = (0.3, 0.9, 0.4)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


# --- the show's clock and timeline, from the design ---------------------------------------------

def frame_time(frame, fps):
    return frame * 1000 // fps


def frame_on_screen(time_ms, fps):
    frame = time_ms * fps // 1000
    while frame_time(frame + 1, fps) <= time_ms:
        frame += 1
    return frame


def timeline(fps):
    """Per frame: (time, scene, scene time), up to and including the frame that ends the show."""
    frames = []
    scene, scene_start, frame = 0, 0, 0
    while True:
        time_ms = frame_time(frame, fps)
        scene_time = time_ms - scene_start
        if scene_time > SCENE_DURATIONS[scene]:
            scene_start, scene, scene_time = time_ms, scene + 1, 0
        frames.append((time_ms, scene, scene_time))
        if scene == 11:
            return frames
        frame += 1


def cycle_colour(demo_time):
    """The background colour the cycle computes at a show time (float rounding aside)."""
    p = demo_time % 3000
    e = (p % 1000) / 1000.0
    if p < 1000:
        return ((1 - e) * 0.5, e * 0.5, 0.0)
    if p < 2000:
        return (0.0, (1 - e) * 0.5, e * 0.5)
    return (e * 0.5, 0.0, (1 - e) * 0.5)


def background_on_screen(frames, frame):
    """The clear colour of a frame: the one its predecessor set, once scene 2 has switched the
    cycle on (the first cycle colour is computed in the frame after scene 2's first)."""
    cycle_from = next(i for i, f in enumerate(frames) if f[1] == 2) + 1
    if frame - 1 < cycle_from:
        return (0.0, 0.0, 0.0)
    return cycle_colour(frames[frame - 1][0])


def rgb565(colour):
    """A colour as it comes back from a 16-bit framebuffer, widened to 8 bits."""
    out = []
    for value, bits in zip(colour, (5, 6, 5)):
        level = int(round(value * ((1 << bits) - 1)))
        out.append((level << (8 - bits)) | (level >> (2 * bits - 8)))
    return tuple(out)


def near(a, b, tolerance=9):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


# --- PNG ----------------------------------------------------------------------------------------

def read_png(path):
    data = open(path, "rb").read()
    check(data[:8] == b"\x89PNG\r\n\x1a\n", f"{path}: not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        (crc,) = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        check(zlib.crc32(kind + body) == crc, f"{path}: bad CRC in chunk {kind}")
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
        if kind == b"IEND":
            break
    check(header is not None and header[2:] == (8, 2, 0, 0, 0), f"{path}: not 8-bit RGB")
    width, height = header[0], header[1]
    raw = zlib.decompress(idat)
    stride = width * 3
    check(len(raw) == (stride + 1) * height, f"{path}: wrong amount of image data")
    rows, above = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        if kind == 1:
            for i in range(3, stride):
                line[i] = (line[i] + line[i - 3]) & 0xFF
        elif kind == 2:
            line = bytearray((a + b) & 0xFF for a, b in zip(line, above))
        elif kind == 3:
            for i in range(stride):
                left = line[i - 3] if i >= 3 else 0
                line[i] = (line[i] + (left + above[i]) // 2) & 0xFF
        elif kind == 4:
            for i in range(stride):
                a = line[i - 3] if i >= 3 else 0
                b, c = above[i], above[i - 3] if i >= 3 else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 0xFF
        else:
            check(kind == 0, f"{path}: unknown filter {kind}")
        rows.append(bytes(line))
        above = line
    return width, height, b"".join(rows)


class Frame:
    def __init__(self, path):
        self.width, self.height, self.pixels = read_png(path)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def colour_counts(self):
        counts = {}
        px = self.pixels
        for i in range(0, len(px), 3):
            key = px[i:i + 3]
            counts[key] = counts.get(key, 0) + 1
        return {tuple(k): v for k, v in counts.items()}

    def box(self, wanted):
        """Bounding box (left, top, right, bottom, inclusive) of the pixels `wanted` accepts."""
        xs, ys = [], []
        for y in range(self.height):
            for x in range(self.width):
                if wanted(self.pixel(x, y)):
                    xs.append(x)
                    ys.append(y)
        return (min(xs), min(ys), max(xs), max(ys)) if xs else None


# --- running the capture ------------------------------------------------------------------------

def run(program, args, cwd, env=None, timeout=240):
    return subprocess.run([program] + args, cwd=cwd, env=env, capture_output=True, text=True,
                          timeout=timeout)


def fresh_folder(work, name):
    folder = os.path.join(work, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def expect_success(result, what):
    check(result.returncode == 0,
          f"{what}: exit status {result.returncode}, stderr: {result.stderr.strip()}")
    # Standard error is not a terminal here: no progress bar, nothing at all.
    check(result.stderr == "", f"{what}: unexpected output on standard error: {result.stderr!r}")


# --- cases --------------------------------------------------------------------------------------

def case_wav(program, work):
    folder = fresh_folder(work, "wav")
    expect_success(run(program, ["--wav", "song.wav"], folder), "--wav")
    check(os.listdir(folder) == ["song.wav"], f"--wav left {os.listdir(folder)}")
    image = open(os.path.join(folder, "song.wav"), "rb").read()
    check(len(image) == SONG_IMAGE_BYTES, f"WAV image is {len(image)} bytes")
    check(image[:44] == WAV_HEADER, "WAV header differs from the template")
    crc = zlib.crc32(image[44:])
    check(crc == SONG_CRC, f"song data CRC-32 0x{crc:08X}, want 0x{SONG_CRC:08X}")


# Where the scene 1 and 2 disc lands on screen: a 16 x 16 sprite of cubes of edge 0.5 at
# (x, 0, -50), seen through a 45-degree, 4:3 perspective on 640 x 480. Its front faces are at
# depth 49.5, its backs at 50; the outline is the widest of the two.
def disc_outline(x):
    tan = math.tan(math.radians(22.5))

    def column(world_x, depth):
        return (world_x / (depth * tan * 4 / 3) + 1) * WIDTH / 2

    def row(world_y, depth):
        return (1 - world_y / (depth * tan)) * HEIGHT / 2

    left = min(column(x, d) for d in (49.5, 50))
    right = max(column(x + 8, d) for d in (49.5, 50))
    top = min(row(8, d) for d in (49.5, 50))
    bottom = max(row(0, d) for d in (49.5, 50))
    # The pixels whose centres fall inside.
    return (math.ceil(left - 0.5), math.ceil(top - 0.5), math.ceil(right - 0.5) - 1,
            math.ceil(bottom - 0.5) - 1)


def is_yellow(p):
    return p[0] > 200 and p[1] > 200 and p[2] < 60


def check_disc(frame, x, what):
    box = frame.box(is_yellow)
    want = disc_outline(x)
    check(box is not None, f"{what}: no disc")
    check(all(abs(a - b) <= 1 for a, b in zip(box, want)),
          f"{what}: disc at {box}, want {want} (x = {x})")


# One time inside each slot of the timeline at 60 frames a second, and the next frame after the
# one in scene 2, whose disc jumps sideways on every frame.
SCENE_TIMES = [0, 1000, 10000, 10016, 13500, 20000, 30000, 40000, 45300, 47300, 49300, 51300]
SEEK_TIMES = [10016, 30000, 51300]


def png_name(time_ms):
    return f"frame_{time_ms:06d}.png"


def case_frames(program, work):
    fps = 60
    frames = timeline(fps)
    folder = fresh_folder(work, "frames")
    at = ",".join(str(t) for t in SCENE_TIMES)
    expect_success(run(program, ["--png", "shots", "--at", at], folder), "--png")
    shots = os.path.join(folder, "shots")
    check(sorted(os.listdir(shots)) == sorted(png_name(t) for t in SCENE_TIMES),
          f"--png wrote {sorted(os.listdir(shots))}")

    banner_green = rgb565(BANNER_GREEN)
    for time_ms in SCENE_TIMES:
        index = frame_on_screen(time_ms, fps)
        drawn_at, scene, scene_time = frames[index]
        what = f"frame at {time_ms} ms (frame {index}, scene {scene}, scene time {scene_time})"
        shot = Frame(os.path.join(shots, png_name(time_ms)))
        check((shot.width, shot.height) == (WIDTH, HEIGHT), f"{what}: size {shot.width}x{shot.height}")
        counts = shot.colour_counts()
        background = max(counts, key=counts.get)
        want_background = rgb565(background_on_screen(frames, index))
        check(near(background, want_background),
              f"{what}: background {background}, want {want_background}")
        others = {c: n for c, n in counts.items() if c != background}

        if scene == 0:
            check(not others, f"{what}: more than the background")
        elif scene == 1:
            u = scene_time % 2000
            x = (u if u < 1000 else 2000 - u) / 1000 * 30 - 20
            check_disc(shot, x, what)
        elif scene == 2:
            start = next(i for i, f in enumerate(frames) if f[1] == 2)
            x = -5.0 if (index - start) % 2 == 0 else -6.2
            check_disc(shot, x, what)
        elif scene == 3:
            check(sum(n for c, n in others.items() if is_yellow(c)) > 1000, f"{what}: no disc")
        elif scene == 4:
            white = counts.get((255, 255, 255), 0)
            check(white > 100, f"{what}: {white} white fountain pixels")
        elif scene == 5:
            check(len(others) >= 30, f"{what}: only {len(others)} colours in the spiral")
        elif scene == 6:
            green = sum(n for c, n in others.items() if near(c, banner_green, 4))
            check(green > 100 and len(others) >= 8, f"{what}: not the falling scene")
        else:
            check(7 <= scene <= 10, f"{what}: the show should not be in this slot")
            green = sum(n for c, n in others.items() if near(c, banner_green, 4))
            total = sum(others.values())
            check(green > 1000 and green >= 0.99 * total,
                  f"{what}: {green} of {total} pixels in the banner green {banner_green}")

    # Seeking: a capture draws only the frames it is asked for; the others are worked out by the
    # program but not drawn. A full run, which draws every frame for a video (here to an ffmpeg
    # that takes the frames and throws them away), must give the same frames byte for byte: those
    # of the capture above, and those of one that starts late and skips far between its times,
    # past the flicker's phase, the orbit's random colours and scene 6's colour, which the banner
    # scenes go on drawing in.
    seek = fresh_folder(work, "frames-seek")
    expect_success(run(program, ["--png", "shots", "--at", ",".join(map(str, SEEK_TIMES))], seek),
                   "--png seeking")
    full = fresh_folder(work, "frames-full")
    drain = os.path.join(full, "drain-ffmpeg")
    with open(drain, "w") as script:
        script.write("#!/bin/sh\nexec cat >/dev/null\n")
    os.chmod(drain, 0o755)
    until = str(SCENE_TIMES[-1] + 1)
    expect_success(run(program, ["all.mp4", "--ffmpeg", drain, "--until", until,
                                 "--png", "shots", "--at", at], full), "full run")
    for folder, times in [(folder, SCENE_TIMES), (seek, SEEK_TIMES)]:
        for time_ms in times:
            drawn = open(os.path.join(folder, "shots", png_name(time_ms)), "rb").read()
            every = open(os.path.join(full, "shots", png_name(time_ms)), "rb").read()
            check(drawn == every, f"frame at {time_ms} ms of {os.path.basename(folder)} differs "
                                  "from the full run's")


def probe(path):
    result = subprocess.run(
        ["ffprobe", "-v", "error", "-show_entries",
         "stream=codec_type,codec_name,width,height,r_frame_rate,nb_frames,duration,"
         "sample_rate,channels:format=duration", "-of", "json", path],
        capture_output=True, text=True, check=True)
    import json
    return json.loads(result.stdout)


def check_video(path, fps, frames, width, height):
    info = probe(path)
    streams = {s["codec_type"]: s for s in info["streams"]}
    check(set(streams) == {"video", "audio"}, f"streams {sorted(streams)}")
    video, audio = streams["video"], streams["audio"]
    check(video["codec_name"] == "h264", f"video codec {video['codec_name']}")
    check((video["width"], video["height"]) == (width, height),
          f"video size {video['width']}x{video['height']}, want {width}x{height}")
    check(video["r_frame_rate"] == f"{fps}/1", f"frame rate {video['r_frame_rate']}, want {fps}")
    check(int(video["nb_frames"]) == frames, f"{video['nb_frames']} frames, want {frames}")
    seconds = frames / fps
    check(abs(float(video["duration"]) - seconds) < 0.001,
          f"video lasts {video['duration']} s, want {seconds}")
    check(audio["codec_name"] == "aac", f"audio codec {audio['codec_name']}")
    check(int(audio["sample_rate"]) == 44100 and int(audio["channels"]) == 1,
          f"audio {audio['sample_rate']} Hz x {audio['channels']}")
    # AAC comes in blocks of 1024 samples (23 ms).
    check(abs(float(audio["duration"]) - seconds) < 0.03,
          f"sound lasts {audio['duration']} s, video {seconds} s")
    check(abs(float(info["format"]["duration"]) - seconds) < 0.03,
          f"file lasts {info['format']['duration']} s, want {seconds}")


def case_video_short(program, work):
    folder = fresh_folder(work, "video-short")
    expect_success(run(program, ["clip.mp4", "--scale", "2", "--until", "1000"], folder),
                   "short video")
    check(os.listdir(folder) == ["clip.mp4"], f"left {os.listdir(folder)}")
    # The default 60 frames a second; the frames drawn before 1000 ms are frames 0 to 59.
    check_video(os.path.join(folder, "clip.mp4"), 60, 60, 2 * WIDTH, 2 * HEIGHT)


def case_video_whole(program, work):
    # The whole show, to its own end (ExitProcess in the frame that enters the last slot), at a
    # low frame rate to keep it quick.
    fps = 10
    folder = fresh_folder(work, "video-whole")
    expect_success(run(program, ["show.mp4", "--fps", str(fps)], folder), "whole show video")
    check(os.listdir(folder) == ["show.mp4"], f"left {os.listdir(folder)}")
    presented = len(timeline(fps)) - 1
    check_video(os.path.join(folder, "show.mp4"), fps, presented, WIDTH, HEIGHT)


def expect_failure(result, status, words, folder, what, leftovers=()):
    check(result.returncode == status,
          f"{what}: exit status {result.returncode}, want {status}; stderr: {result.stderr!r}")
    lines = result.stderr.splitlines()
    check(len(lines) == 1 and lines[0].startswith("solid-objects-capture: "),
          f"{what}: want one line of error, got {result.stderr!r}")
    for word in words:
        check(word in lines[0], f"{what}: {word!r} not in {lines[0]!r}")
    left = sorted(os.listdir(folder))
    check(left == sorted(leftovers), f"{what}: left {left} behind")


def case_errors(program, work):
    folder = fresh_folder(work, "errors")
    command_line = [
        (["--frobnicate"], ["--frobnicate"]),
        (["show.mp4", "--fps", "0"], ["--fps", "'0'"]),
        (["show.mp4", "--fps", "sixty"], ["--fps", "'sixty'"]),
        (["show.mp4", "--fps", "30x"], ["--fps", "'30x'"]),
        (["show.mp4", "--scale", "9"], ["--scale", "'9'"]),
        (["show.mp4", "--until", "-5"], ["--until"]),
        (["--png", "shots", "--at", "100,abc"], ["--at", "'100,abc'"]),
        (["--png", "shots"], ["--at"]),
        (["--at", "100"], ["--png"]),
        (["show.mp4", "--fps"], ["--fps", "needs a value"]),
        ([], ["nothing to write"]),
        (["a.mp4", "b.mp4"], ["a.mp4", "b.mp4"]),
    ]
    for args, words in command_line:
        expect_failure(run(program, args, folder), 2, words, folder, f"arguments {args}")

    # Places that cannot be written: under a plain file, or in a folder that does not exist.
    open(os.path.join(folder, "plain"), "w").close()
    for args, name in [(["plain/show.mp4"], "plain/show.mp4"),
                       (["missing/show.mp4"], "missing/show.mp4"),
                       (["--wav", "plain/song.wav"], "plain/song.wav"),
                       (["--png", "plain/shots", "--at", "0"], "plain/shots"),
                       (["--png", "plain", "--at", "0"], "plain")]:
        expect_failure(run(program, args, folder), 1, [name], folder, f"arguments {args}",
                       leftovers=["plain"])
    os.remove(os.path.join(folder, "plain"))

    # No ffmpeg at all.
    empty = fresh_folder(work, "no-tools")
    env = dict(os.environ, PATH=empty)
    expect_failure(run(program, ["show.mp4", "--wav", "song.wav"], folder, env=env), 1,
                   ["ffmpeg"], folder, "ffmpeg missing")

    # An ffmpeg that gives up after the first frame, and says why.
    fake = os.path.join(empty, "ffmpeg")
    with open(fake, "w") as script:
        script.write("#!/bin/sh\nhead -c 1000 >/dev/null\n"
                     "echo 'Conversion failed: disk on fire' >&2\nexit 1\n")
    os.chmod(fake, 0o755)
    expect_failure(run(program, ["show.mp4", "--ffmpeg", fake], folder), 1,
                   ["ffmpeg", "disk on fire"], folder, "ffmpeg failing")

    # The real ffmpeg refusing the file: a name whose container it does not know.
    expect_failure(run(program, ["show.notavideo", "--until", "500"], folder), 1,
                   ["ffmpeg"], folder, "unknown container")

    # No GL: Mesa cannot find its software renderer.
    env = dict(os.environ, LIBGL_DRIVERS_PATH=empty)
    expect_failure(run(program, ["--png", "shots", "--at", "0"], folder, env=env), 1,
                   ["could not start", "GL Rendering Context"], folder, "no GL")

    # --at past the show's end.
    expect_failure(run(program, ["--png", "shots", "--at", "100,60000", "--fps", "20"], folder),
                   1, ["60000"], folder, "time past the end")

    # Interrupted half way, by SIGTERM or by Ctrl-C at a terminal (SIGINT to the whole
    # foreground process group): the encoder is stopped and nothing is left behind, not even
    # the file an interrupted ffmpeg would finish on its own.
    for number, to_group in [(signal.SIGTERM, False), (signal.SIGINT, True)]:
        process = subprocess.Popen([program, "show.mp4"], cwd=folder, stderr=subprocess.PIPE,
                                   start_new_session=True)
        deadline = time.time() + 60
        while time.time() < deadline and not any(".partial-" in n for n in os.listdir(folder)):
            time.sleep(0.05)
        time.sleep(1.5)
        if to_group:
            os.killpg(process.pid, number)
        else:
            process.send_signal(number)
        process.wait(timeout=30)
        time.sleep(0.5)
        what = f"interrupted by signal {number}"
        check(process.returncode == -number, f"{what}: status {process.returncode}")
        check(os.listdir(folder) == [], f"{what}: left {os.listdir(folder)} behind")


def case_progress(program, work):
    # On a terminal the video gets a progress bar on standard error.
    folder = fresh_folder(work, "progress")
    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(folder)
        os.execv(program, [program, "clip.mp4", "--until", "3000", "--fps", "30"])
    output = b""
    deadline = time.time() + 120
    while time.time() < deadline:
        ready, _, _ = select.select([fd], [], [], 1.0)
        if not ready:
            continue
        try:
            chunk = os.read(fd, 4096)
        except OSError:
            break
        if not chunk:
            break
        output += chunk
    _, status = os.waitpid(pid, 0)
    check(os.waitstatus_to_exitcode(status) == 0, f"exit status {status}: {output!r}")
    text = output.decode(errors="replace")
    last = text.replace("\r\n", "\n").split("\r")[-1].strip()
    check("90 frames" in last and "3.0 / 3.0 s" in last and "100%" in last,
          f"last progress line {last!r}")


CASES = {
    "wav": case_wav,
    "frames": case_frames,
    "video-short": case_video_short,
    "video-whole": case_video_whole,
    "errors": case_errors,
    "progress": case_progress,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--case", required=True, choices=sorted(CASES))
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    work = os.path.join(args.work, "capture-" + args.case)
    os.makedirs(work, exist_ok=True)
    started = time.time()
    try:
        CASES[args.case](os.path.abspath(args.program), work)
    except Failure as failure:
        print(f"FAIL {args.case}: {failure}")
        return 1
    print(f"ok {args.case} ({time.time() - started:.1f} s)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
