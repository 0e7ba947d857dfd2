// The test's clock and eyes in the show's page, put into it (as window.showTest) before the page's
// own script runs. The page's backend asks it for the clock's frame rate, tells it each frame it
// shows and the samples it hands to Web Audio, and lets it hold the clock. The page's address
// may set the test clock's frame rate (?fps=N, 60 unless set), ask for the real clock instead
// (?clock=real), and make every picture presented take so many milliseconds more (&slow=MS), as
// on a slow machine.
"use strict";

const showTestOptions = new URLSearchParams(location.search);

window.showTest = {
  // The capture's frame rate: frame k is drawn at show time floor(k * 1000 / fps) ms; 0 on the
  // real clock.
  fps: showTestOptions.get("clock") === "real" ? 0 : Number(showTestOptions.get("fps") || 60),
  // The clock moves on while the frame on show is below this; held until the test starts it.
  runTo: showTestOptions.get("clock") === "real" ? Infinity : -1,
  // The frames to read off the canvas, and those read (base64 of 640 x 480 RGB, top row first).
  wanted: [],
  grabbed: {},
  // Frames of any size whose pixels that are not black are counted, and their counts.
  wantedInk: [],
  ink: {},
  // The frame on show, and how often the program has waited for a frame.
  frame: -1,
  waits: 0,
  // Key presses and releases the page has seen.
  keys: 0,
  // Pictures presented on the canvas, and the most presented between two waits for a frame.
  presents: 0,
  presentsAtWait: 0,
  mostPresentsPerWait: 0,
  // What the page handed to Web Audio.
  sound: null,
  problems: [],

  // The page's clock as the program last read it, and as it read it first after its sound was
  // handed over: the show's time 0.
  clock: null,
  clockAtSound: null,
  // The program's sound as the test hears it: its context, and the context time its first sample
  // plays at.
  audio: null,
  soundStart: null,
  // On the real clock, for each frame shown: when the program last read the clock for it
  // (performance.now()), the show's time it read (ms), and the sound's position heard then (s,
  // null before it starts).
  shown: [],
  clockReadAt: null,
  soundAtClock: null,
  // Visibility changes: [state, performance.now(), the sound's position].
  visibility: [],
  // The first frame drawn over a background of the colour cycle, which begins with the second
  // scene: [performance.now(), the sound's position].
  cycleSeen: null,

  // On the real clock (fps 0, for the benchmark): when each animation frame came, and how long
  // the program then took to draw it and present it (the time until it waited again).
  frameTimes: [],
  programMs: [],
  frameStart: null,
  soundAt: null,

  frameShown: function (frame) {
    this.frame = frame;
    this.waits++;
    this.mostPresentsPerWait = Math.max(this.mostPresentsPerWait,
                                        this.presents - this.presentsAtWait);
    this.presentsAtWait = this.presents;
    if (this.fps === 0 && this.frameStart !== null) {
      this.frameTimes.push(this.frameStart);
      this.programMs.push(performance.now() - this.frameStart);
    }
    if (this.fps === 0 && this.clockAtSound !== null) {
      this.shown.push([this.clockReadAt, this.clock - this.clockAtSound, this.soundAtClock]);
    } else if (this.fps === 0 && this.sound !== null && this.clock === null) {
      // A page that does not say what its clock reads: performance.now() from the sound's
      // start, as the page's clock was before it followed the sound.
      this.shown.push([performance.now(), performance.now() - this.soundAt,
                       this.soundPosition()]);
    }
    if (this.wanted.indexOf(frame) >= 0 && !(frame in this.grabbed)) {
      this.grab(frame);
    }
    if (this.wantedInk.indexOf(frame) >= 0 && !(frame in this.ink)) {
      const canvas = document.getElementById("canvas");
      const copy = document.createElement("canvas");
      copy.width = canvas.width;
      copy.height = canvas.height;
      const context = copy.getContext("2d");
      context.drawImage(canvas, 0, 0);
      const rgba = context.getImageData(0, 0, canvas.width, canvas.height).data;
      let count = 0;
      for (let i = 0; i < rgba.length; i += 4) {
        count += rgba[i] + rgba[i + 1] + rgba[i + 2] > 0 ? 1 : 0;
      }
      this.ink[frame] = count;
    }
  },

  advance: function () {
    this.frameStart = performance.now();
    return this.frame < this.runTo;
  },

  // The canvas still holds the frame the program presented last (no compositing has happened
  // since). It holds the picture scaled by a whole number n, every picture pixel an n x n square
  // of canvas pixels (n is 1 at a device-pixel ratio of 1): the frame is one pixel of each.
  grab: function (frame) {
    const canvas = document.getElementById("canvas");
    const scale = canvas.width / 640;
    if (!Number.isInteger(scale) || scale < 1 || canvas.height !== 480 * scale) {
      this.problems.push(`frame ${frame}: canvas ${canvas.width} x ${canvas.height}`);
      return;
    }
    const copy = document.createElement("canvas");
    copy.width = canvas.width;
    copy.height = canvas.height;
    // GL errors stay set until read: this sees any since the last frame read.
    const gl = canvas.getContext("webgl2");
    const error = gl ? gl.getError() : 0;
    if (error !== 0) {
      this.problems.push(`frame ${frame}: GL error 0x${error.toString(16)}`);
    }
    const context = copy.getContext("2d");
    context.drawImage(canvas, 0, 0);
    const rgba = context.getImageData(0, 0, canvas.width, canvas.height).data;
    const row = 4 * canvas.width;
    let text = "";
    let blurred = 0;
    for (let y = 0; y < 480; y++) {
      for (let x = 0; x < 640; x++) {
        const at = y * scale * row + 4 * x * scale;
        for (let dy = 0; dy < scale; dy++) {
          for (let dx = 0; dx < scale; dx++) {
            const other = at + dy * row + 4 * dx;
            if (rgba[other] !== rgba[at] || rgba[other + 1] !== rgba[at + 1] ||
                rgba[other + 2] !== rgba[at + 2]) {
              blurred++;
            }
          }
        }
        text += String.fromCharCode(rgba[at], rgba[at + 1], rgba[at + 2]);
      }
    }
    if (blurred > 0) {
      this.problems.push(`frame ${frame}: ${blurred} canvas pixels unlike the rest of their ` +
                         `${scale} x ${scale} square`);
    }
    this.grabbed[frame] = btoa(text);
  },

  clockRead: function (value) {
    this.clock = value;
    this.clockReadAt = performance.now();
    this.soundAtClock = this.soundPosition();
    if (this.sound !== null && this.clockAtSound === null) {
      this.clockAtSound = value;
    }
  },

  // The position (s) in the sound heard now, less the time its first sample was to play; null
  // before it is started. The sound heard now is the engine's to say, as the page reads it:
  // getOutputTimestamp() where it gives a recent answer, else the context's time less the
  // latencies it reports.
  soundPosition: function () {
    const audio = this.audio;
    if (audio === null || this.soundStart === null) {
      return null;
    }
    const now = performance.now();
    const stamp = audio.getOutputTimestamp ? audio.getOutputTimestamp() : null;
    if (stamp && stamp.contextTime > 0 && stamp.performanceTime <= now + 1 &&
        stamp.performanceTime > now - 100) {
      return stamp.contextTime + (now - stamp.performanceTime) / 1000 - this.soundStart;
    }
    return audio.currentTime - (audio.baseLatency || 0) - (audio.outputLatency || 0) -
      this.soundStart;
  },

  // The CRC-32 of the samples as 16-bit little-endian PCM, as the WAV image holds them.
  soundHanded: function (buffer) {
    const table = new Int32Array(256);
    for (let n = 0; n < 256; n++) {
      let c = n;
      for (let k = 0; k < 8; k++) {
        c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
      }
      table[n] = c;
    }
    const samples = buffer.getChannelData(0);
    let crc = -1;
    for (let i = 0; i < samples.length; i++) {
      const value = Math.round(samples[i] * 32768);
      crc = table[(crc ^ value) & 0xff] ^ (crc >>> 8);
      crc = table[(crc ^ (value >> 8)) & 0xff] ^ (crc >>> 8);
    }
    this.sound = {
      crc: (crc ^ -1) >>> 0,
      frames: buffer.length,
      channels: buffer.numberOfChannels,
      rate: buffer.sampleRate,
    };
    // The show's time 0 follows within a millisecond.
    this.soundAt = performance.now();
  },
};

// The picture reaches the canvas by the one drawArrays of each present (the subset's drawing
// uses drawElements).
(function () {
  const drawArrays = WebGL2RenderingContext.prototype.drawArrays;
  const slowMs = Number(showTestOptions.get("slow") || 0);
  WebGL2RenderingContext.prototype.drawArrays = function (...args) {
    window.showTest.presents++;
    const until = performance.now() + slowMs;
    while (performance.now() < until) {
      // A slow machine.
    }
    return drawArrays.apply(this, args);
  };
})();

// The sound: where its first sample plays in its context's time.
(function () {
  const start = AudioBufferSourceNode.prototype.start;
  AudioBufferSourceNode.prototype.start = function (when, offset, ...rest) {
    const test = window.showTest;
    test.audio = this.context;
    test.soundStart = Math.max(when || 0, this.context.currentTime) - (offset || 0);
    return start.call(this, when, offset, ...rest);
  };
})();

// The colour cycle's first clear of the picture (present() clears the canvas black).
(function () {
  const clearColor = WebGL2RenderingContext.prototype.clearColor;
  WebGL2RenderingContext.prototype.clearColor = function (red, green, blue, alpha) {
    const test = window.showTest;
    if (test.cycleSeen === null && red + green + blue > 0) {
      test.cycleSeen = [performance.now(), test.soundPosition()];
    }
    return clearColor.call(this, red, green, blue, alpha);
  };
})();

document.addEventListener("visibilitychange", () => {
  const test = window.showTest;
  test.visibility.push([document.visibilityState, performance.now(), test.soundPosition()]);
});

window.addEventListener("keydown", () => window.showTest.keys++, true);
window.addEventListener("keyup", () => window.showTest.keys++, true);
