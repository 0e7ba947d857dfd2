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
    if (this.wanted.indexOf(frame) >= 0 && !(frame in this.grabbed)) {
      this.grab(frame);
    }
  },

  advance: function () {
    this.frameStart = performance.now();
    return this.frame < this.runTo;
  },

  // The canvas still holds the frame the program presented last (no compositing has happened
  // since), at one canvas pixel per picture pixel.
  grab: function (frame) {
    const canvas = document.getElementById("canvas");
    if (canvas.width !== 640 || canvas.height !== 480) {
      this.problems.push(`frame ${frame}: canvas ${canvas.width} x ${canvas.height}`);
      return;
    }
    const copy = document.createElement("canvas");
    copy.width = 640;
    copy.height = 480;
    // GL errors stay set until read: this sees any since the last frame read.
    const gl = canvas.getContext("webgl2");
    const error = gl ? gl.getError() : 0;
    if (error !== 0) {
      this.problems.push(`frame ${frame}: GL error 0x${error.toString(16)}`);
    }
    const context = copy.getContext("2d");
    context.drawImage(canvas, 0, 0);
    const rgba = context.getImageData(0, 0, 640, 480).data;
    let text = "";
    for (let i = 0; i < rgba.length; i += 4) {
      text += String.fromCharCode(rgba[i], rgba[i + 1], rgba[i + 2]);
    }
    this.grabbed[frame] = btoa(text);
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

window.addEventListener("keydown", () => window.showTest.keys++, true);
window.addEventListener("keyup", () => window.showTest.keys++, true);
