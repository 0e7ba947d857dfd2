"""solid-objects-capture end to end: what it writes, checked against the show's design. Frames
are read with PIL, the video with ffprobe. Each test runs the capture in a folder of its own.

  wav          the WAV image: its size, header and the song's CRC-32.
  frames       one frame inside each slot of the timeline: its background and what the scene
               draws, where the design puts it; a second capture gives the same bytes.
  video-short  a short clip, scaled: H.264 and AAC, frame count and lengths.
  video-whole  the whole show to its own end, at a low frame rate.
  errors       each bad command line, unwritable place, missing or failing ffmpeg, missing GL,
               time past the end and interruption: the exit status, one line of error, nothing
               left behind.
  progress     on a terminal, a progress bar that ends at 100%.
"""

import json
import math
import os
import pty
import select
import shutil
import signal
import subprocess
import time
import zlib

import pytest
from PIL import Image

from desktop import bounding_box, tool

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
# A capture renders the whole show in software: on a loaded machine that takes minutes.
CAPTURE_SECONDS = 900


# The show's clock and timeline, from the design.

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


def read_frame(path):
    """A PNG frame, checked whole (every chunk's CRC) by PIL, as an RGB picture; it must be
    8-bit RGB, as written."""
    with open(path, "rb") as file:
        header = file.read(26)
    # IHDR's bit depth and colour type: 8 bits a channel, truecolour.
    assert header[24:26] == b"\x08\x02", f"{path}: not 8-bit RGB"
    with Image.open(path) as image:
        image.verify()
    image = Image.open(path)
    image.load()
    assert image.mode == "RGB", f"{path}: mode {image.mode}"
    return image


# Running the capture.

def run(program, args, cwd, env=None, timeout=CAPTURE_SECONDS):
    return subprocess.run([program] + args, cwd=cwd, env=env, capture_output=True, text=True,
                          timeout=timeout)


def fresh_folder(work, name):
    folder = os.path.join(work, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def expect_success(result, what):
    assert result.returncode == 0, \
        f"{what}: exit status {result.returncode}, stderr: {result.stderr.strip()}"
    # Standard error is not a terminal here: no progress bar, nothing at all.
    assert result.stderr == "", f"{what}: unexpected output on standard error: {result.stderr!r}"


@pytest.fixture(scope="module")
def program(request):
    path = request.config.getoption("capture_program")
    if path is None:
        pytest.fail("these tests need --capture-program")
    return os.path.abspath(path)


@pytest.fixture(scope="module")
def module_folder(request):
    parent = request.config.getoption("work")
    folder = os.path.join(parent or "/tmp", "capture")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def test_wav(program, work):
    folder = fresh_folder(work, "wav")
    expect_success(run(program, ["--wav", "song.wav"], folder), "--wav")
    assert os.listdir(folder) == ["song.wav"], f"--wav left {os.listdir(folder)}"
    image = open(os.path.join(folder, "song.wav"), "rb").read()
    assert len(image) == SONG_IMAGE_BYTES, f"WAV image is {len(image)} bytes"
    assert image[:44] == WAV_HEADER, "WAV header differs from the template"
    crc = zlib.crc32(image[44:])
    assert crc == SONG_CRC, f"song data CRC-32 0x{crc:08X}, want 0x{SONG_CRC:08X}"


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


YELLOW = [(201, 255), (201, 255), (0, 59)]


def is_yellow(p):
    return p[0] > 200 and p[1] > 200 and p[2] < 60


def check_disc(frame, x, what):
    box = bounding_box(frame, YELLOW)
    want = disc_outline(x)
    assert box is not None, f"{what}: no disc"
    assert all(abs(a - b) <= 1 for a, b in zip(box, want)), \
        f"{what}: disc at {box}, want {want} (x = {x})"


# One time inside each slot of the timeline at 60 frames a second, and the next frame after the
# one in scene 2, whose disc jumps sideways on every frame.
SCENE_TIMES = [0, 1000, 10000, 10016, 13500, 20000, 30000, 40000, 45300, 47300, 49300, 51300]
SEEK_TIMES = [10016, 30000, 51300]


def png_name(time_ms):
    return f"frame_{time_ms:06d}.png"


@pytest.fixture(scope="module")
def scene_frames(program, module_folder):
    """The frames at SCENE_TIMES, from one capture."""
    folder = fresh_folder(module_folder, "frames")
    at = ",".join(str(t) for t in SCENE_TIMES)
    result = run(program, ["--png", "shots", "--at", at], folder)
    return result, os.path.join(folder, "shots")


def test_frames_written(scene_frames):
    result, shots = scene_frames
    expect_success(result, "--png")
    assert sorted(os.listdir(shots)) == sorted(png_name(t) for t in SCENE_TIMES), \
        f"--png wrote {sorted(os.listdir(shots))}"


@pytest.mark.parametrize("time_ms", SCENE_TIMES)
def test_frame(scene_frames, time_ms):
    result, shots = scene_frames
    expect_success(result, "--png")
    fps = 60
    frames = timeline(fps)
    banner_green = rgb565(BANNER_GREEN)
    index = frame_on_screen(time_ms, fps)
    drawn_at, scene, scene_time = frames[index]
    what = f"frame at {time_ms} ms (frame {index}, scene {scene}, scene time {scene_time})"
    shot = read_frame(os.path.join(shots, png_name(time_ms)))
    assert shot.size == (WIDTH, HEIGHT), f"{what}: size {shot.size}"
    counts = {colour: n for n, colour in shot.getcolors(WIDTH * HEIGHT)}
    background = max(counts, key=counts.get)
    want_background = rgb565(background_on_screen(frames, index))
    assert near(background, want_background), \
        f"{what}: background {background}, want {want_background}"
    others = {c: n for c, n in counts.items() if c != background}

    if scene == 0:
        assert not others, f"{what}: more than the background"
    elif scene == 1:
        u = scene_time % 2000
        x = (u if u < 1000 else 2000 - u) / 1000 * 30 - 20
        check_disc(shot, x, what)
    elif scene == 2:
        start = next(i for i, f in enumerate(frames) if f[1] == 2)
        x = -5.0 if (index - start) % 2 == 0 else -6.2
        check_disc(shot, x, what)
    elif scene == 3:
        assert sum(n for c, n in others.items() if is_yellow(c)) > 1000, f"{what}: no disc"
    elif scene == 4:
        white = counts.get((255, 255, 255), 0)
        assert white > 100, f"{what}: {white} white fountain pixels"
    elif scene == 5:
        assert len(others) >= 30, f"{what}: only {len(others)} colours in the spiral"
    elif scene == 6:
        green = sum(n for c, n in others.items() if near(c, banner_green, 4))
        assert green > 100 and len(others) >= 8, f"{what}: not the falling scene"
    else:
        assert 7 <= scene <= 10, f"{what}: the show should not be in this slot"
        green = sum(n for c, n in others.items() if near(c, banner_green, 4))
        total = sum(others.values())
        assert green > 1000 and green >= 0.99 * total, \
            f"{what}: {green} of {total} pixels in the banner green {banner_green}"


def test_frames_match_a_full_run(program, scene_frames, work):
    """A capture draws only the frames it is asked for; the others are worked out by the program
    but not drawn. A full run, which draws every frame for a video (here to an ffmpeg that takes
    the frames and throws them away), gives the same frames byte for byte: those of the capture
    above, and those of one that starts late and skips far between its times, past the flicker's
    phase, the orbit's random colours and scene 6's colour, which the banner scenes go on drawing
    in."""
    result, shots = scene_frames
    expect_success(result, "--png")
    seek = fresh_folder(work, "frames-seek")
    expect_success(run(program, ["--png", "shots", "--at", ",".join(map(str, SEEK_TIMES))], seek),
                   "--png seeking")
    full = fresh_folder(work, "frames-full")
    drain = os.path.join(full, "drain-ffmpeg")
    with open(drain, "w") as script:
        script.write("#!/bin/sh\nexec cat >/dev/null\n")
    os.chmod(drain, 0o755)
    at = ",".join(str(t) for t in SCENE_TIMES)
    expect_success(run(program, ["all.mp4", "--ffmpeg", drain, "--until", str(SCENE_TIMES[-1] + 1),
                                 "--png", "shots", "--at", at], full), "full run")
    for folder, times in [(os.path.dirname(shots), SCENE_TIMES), (seek, SEEK_TIMES)]:
        for time_ms in times:
            drawn = open(os.path.join(folder, "shots", png_name(time_ms)), "rb").read()
            every = open(os.path.join(full, "shots", png_name(time_ms)), "rb").read()
            assert drawn == every, \
                f"frame at {time_ms} ms of {os.path.basename(folder)} differs from the full run's"


def probe(path):
    result = subprocess.run(
        [tool("ffprobe"), "-v", "error", "-show_entries",
         "stream=codec_type,codec_name,width,height,r_frame_rate,nb_frames,duration,"
         "sample_rate,channels:format=duration", "-of", "json", path],
        capture_output=True, text=True, check=True)
    return json.loads(result.stdout)


def check_video(path, fps, frames, width, height):
    info = probe(path)
    streams = {s["codec_type"]: s for s in info["streams"]}
    assert set(streams) == {"video", "audio"}, f"streams {sorted(streams)}"
    video, audio = streams["video"], streams["audio"]
    assert video["codec_name"] == "h264", f"video codec {video['codec_name']}"
    assert (video["width"], video["height"]) == (width, height), \
        f"video size {video['width']}x{video['height']}, want {width}x{height}"
    assert video["r_frame_rate"] == f"{fps}/1", f"frame rate {video['r_frame_rate']}, want {fps}"
    assert int(video["nb_frames"]) == frames, f"{video['nb_frames']} frames, want {frames}"
    seconds = frames / fps
    assert abs(float(video["duration"]) - seconds) < 0.001, \
        f"video lasts {video['duration']} s, want {seconds}"
    assert audio["codec_name"] == "aac", f"audio codec {audio['codec_name']}"
    assert int(audio["sample_rate"]) == 44100 and int(audio["channels"]) == 1, \
        f"audio {audio['sample_rate']} Hz x {audio['channels']}"
    # AAC comes in blocks of 1024 samples (23 ms).
    assert abs(float(audio["duration"]) - seconds) < 0.03, \
        f"sound lasts {audio['duration']} s, video {seconds} s"
    assert abs(float(info["format"]["duration"]) - seconds) < 0.03, \
        f"file lasts {info['format']['duration']} s, want {seconds}"


def test_video_short(program, work):
    folder = fresh_folder(work, "video-short")
    expect_success(run(program, ["clip.mp4", "--scale", "2", "--until", "1000"], folder),
                   "short video")
    assert os.listdir(folder) == ["clip.mp4"], f"left {os.listdir(folder)}"
    # The default 60 frames a second; the frames drawn before 1000 ms are frames 0 to 59.
    check_video(os.path.join(folder, "clip.mp4"), 60, 60, 2 * WIDTH, 2 * HEIGHT)


def test_video_whole(program, work):
    # The whole show, to its own end (ExitProcess in the frame that enters the last slot), at a
    # low frame rate to keep it quick.
    fps = 10
    folder = fresh_folder(work, "video-whole")
    expect_success(run(program, ["show.mp4", "--fps", str(fps)], folder), "whole show video")
    assert os.listdir(folder) == ["show.mp4"], f"left {os.listdir(folder)}"
    presented = len(timeline(fps)) - 1
    check_video(os.path.join(folder, "show.mp4"), fps, presented, WIDTH, HEIGHT)


def expect_failure(result, status, words, folder, what, leftovers=()):
    assert result.returncode == status, \
        f"{what}: exit status {result.returncode}, want {status}; stderr: {result.stderr!r}"
    lines = result.stderr.splitlines()
    assert len(lines) == 1 and lines[0].startswith("solid-objects-capture: "), \
        f"{what}: want one line of error, got {result.stderr!r}"
    for word in words:
        assert word in lines[0], f"{what}: {word!r} not in {lines[0]!r}"
    left = sorted(os.listdir(folder))
    assert left == sorted(leftovers), f"{what}: left {left} behind"


COMMAND_LINE_ERRORS = [
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


@pytest.mark.parametrize("args, words", COMMAND_LINE_ERRORS,
                         ids=[" ".join(args) or "nothing" for args, _ in COMMAND_LINE_ERRORS])
def test_error_command_line(program, work, args, words):
    expect_failure(run(program, args, work), 2, words, work, f"arguments {args}")


UNWRITABLE = [
    (["plain/show.mp4"], "plain/show.mp4"),
    (["missing/show.mp4"], "missing/show.mp4"),
    (["--wav", "plain/song.wav"], "plain/song.wav"),
    (["--png", "plain/shots", "--at", "0"], "plain/shots"),
    (["--png", "plain", "--at", "0"], "plain")]


@pytest.mark.parametrize("args, name", UNWRITABLE, ids=[" ".join(args) for args, _ in UNWRITABLE])
def test_error_unwritable(program, work, args, name):
    # Places that cannot be written: under a plain file, or in a folder that does not exist.
    open(os.path.join(work, "plain"), "w").close()
    expect_failure(run(program, args, work), 1, [name], work, f"arguments {args}",
                   leftovers=["plain"])


@pytest.fixture
def empty_path(work):
    """A folder of its own, to serve as a PATH with no tools."""
    return fresh_folder(os.path.dirname(work), os.path.basename(work) + "-no-tools")


def test_error_no_ffmpeg(program, work, empty_path):
    env = dict(os.environ, PATH=empty_path)
    expect_failure(run(program, ["show.mp4", "--wav", "song.wav"], work, env=env), 1,
                   ["ffmpeg"], work, "ffmpeg missing")


def test_error_ffmpeg_fails(program, work, empty_path):
    # An ffmpeg that gives up after the first frame, and says why.
    fake = os.path.join(empty_path, "ffmpeg")
    with open(fake, "w") as script:
        script.write("#!/bin/sh\nhead -c 1000 >/dev/null\n"
                     "echo 'Conversion failed: disk on fire' >&2\nexit 1\n")
    os.chmod(fake, 0o755)
    expect_failure(run(program, ["show.mp4", "--ffmpeg", fake], work), 1,
                   ["ffmpeg", "disk on fire"], work, "ffmpeg failing")


def test_error_unknown_container(program, work):
    # The real ffmpeg refusing the file: a name whose container it does not know.
    expect_failure(run(program, ["show.notavideo", "--until", "500"], work), 1,
                   ["ffmpeg"], work, "unknown container")


def test_error_no_gl(program, work, empty_path):
    # No GL: Mesa cannot find its software renderer.
    env = dict(os.environ, LIBGL_DRIVERS_PATH=empty_path)
    expect_failure(run(program, ["--png", "shots", "--at", "0"], work, env=env), 1,
                   ["could not start", "GL Rendering Context"], work, "no GL")


def test_error_time_past_end(program, work):
    expect_failure(run(program, ["--png", "shots", "--at", "100,60000", "--fps", "20"], work),
                   1, ["60000"], work, "time past the end")


@pytest.mark.parametrize("number, to_group", [(signal.SIGTERM, False), (signal.SIGINT, True)],
                         ids=["SIGTERM", "Ctrl-C"])
def test_error_interrupted(program, work, number, to_group):
    # Interrupted half way, by SIGTERM or by Ctrl-C at a terminal (SIGINT to the whole
    # foreground process group): the encoder is stopped and nothing is left behind, not even
    # the file an interrupted ffmpeg would finish on its own.
    process = subprocess.Popen([program, "show.mp4"], cwd=work, stderr=subprocess.PIPE,
                               start_new_session=True)
    try:
        deadline = time.time() + 120
        while time.time() < deadline and not any(".partial-" in n for n in os.listdir(work)):
            time.sleep(0.05)
        time.sleep(1.5)
        if to_group:
            os.killpg(process.pid, number)
        else:
            process.send_signal(number)
        process.wait(timeout=60)
    finally:
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGKILL)
    time.sleep(0.5)
    what = f"interrupted by signal {number}"
    assert process.returncode == -number, f"{what}: status {process.returncode}"
    assert os.listdir(work) == [], f"{what}: left {os.listdir(work)} behind"


def test_progress(program, work):
    # On a terminal the video gets a progress bar on standard error.
    folder = fresh_folder(work, "progress")
    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(folder)
        os.execv(program, [program, "clip.mp4", "--until", "3000", "--fps", "30"])
    output = b""
    deadline = time.time() + 300
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
    assert os.waitstatus_to_exitcode(status) == 0, f"exit status {status}: {output!r}"
    text = output.decode(errors="replace")
    last = text.replace("\r\n", "\n").split("\r")[-1].strip()
    assert "90 frames" in last and "3.0 / 3.0 s" in last and "100%" in last, \
        f"last progress line {last!r}"
