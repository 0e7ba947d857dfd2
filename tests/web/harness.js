// What the browser test calls in the page (through WebDriver's execute_script): start the
// program, draw the frame on screen at a show time and hand its pixels back, or draw a scene on
// the real clock for a few seconds and say how fast it went.
"use strict";

var Module = {
  canvas: document.getElementById("canvas"),
  onRuntimeInitialized: function () {
    window.harness.ready = true;
  },
};

window.harness = {
  ready: false,

  // "" when the program is running, else why it is not.
  start: function () {
    return Module._harness_start() ? "" : Module.UTF8ToString(Module._harness_error());
  },

  // The frame on screen at show time `timeMs` as base64 of 640 x 480 RGB bytes, the top row
  // first; null when the show ends before it. Frames must be asked for in rising order.
  frame: function (timeMs) {
    if (!Module._harness_draw_until(Module._harness_frame_at(timeMs))) {
      return null;
    }
    const pointer = Module._harness_read_rgb();
    const bytes = Module.HEAPU8.subarray(pointer, pointer + 640 * 480 * 3);
    let text = "";
    for (let i = 0; i < bytes.length; i += 0x8000) {
      text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    }
    return btoa(text);
  },

  // For `seconds`, only clears the canvas once per animation frame (to black and red in turn),
  // without the program: what the browser itself spends on a canvas that changes every frame.
  // Reports the frames counted as bench does.
  baseline: function (seconds, done) {
    const gl = Module.canvas.getContext("webgl2");
    let start = null;
    let frames = 0;
    function step(now) {
      if (start === null) {
        start = now;
      } else if (now - start >= seconds * 1000) {
        done({ frames: frames, fps: frames / ((now - start) / 1000), triangles: 0 });
        return;
      }
      // The subset keeps its own framebuffer bound between frames.
      const bound = gl.getParameter(gl.FRAMEBUFFER_BINDING);
      gl.bindFramebuffer(gl.FRAMEBUFFER, null);
      gl.clearColor(frames % 2, 0, 0, 1);
      gl.clear(gl.COLOR_BUFFER_BIT);
      gl.bindFramebuffer(gl.FRAMEBUFFER, bound);
      frames++;
      requestAnimationFrame(step);
    }
    requestAnimationFrame(step);
  },

  // Draws timeline slot `scene` once per animation frame for `seconds`, its time following the
  // real clock (wrapping at `durationMs`), and reports the frame rate, the milliseconds each
  // frame spent in the program and the GL subset, and the last frame's figures. The first second
  // is not counted: SwiftShader compiles its pipelines in the first frames.
  bench: function (scene, durationMs, seconds, done) {
    const warmUpMs = 1000;
    const spent = [];
    const gaps = [];
    let start = null;
    let counted = null;
    let previous = null;
    function step(now) {
      if (start === null) {
        start = now;
      }
      if (counted === null && now - start >= warmUpMs) {
        counted = now;
      } else if (counted !== null) {
        gaps.push(now - previous);
      }
      previous = now;
      if (counted !== null && now - counted >= seconds * 1000) {
        const sorted = spent.slice().sort((a, b) => a - b);
        const sortedGaps = gaps.slice().sort((a, b) => a - b);
        done({
          frames: gaps.length,
          fps: gaps.length / ((now - counted) / 1000),
          medianMs: sorted[Math.floor(sorted.length / 2)],
          p90Ms: sorted[Math.floor(sorted.length * 0.9)],
          medianGapMs: sortedGaps[Math.floor(sortedGaps.length / 2)],
          worstGapMs: sortedGaps[sortedGaps.length - 1],
          draws: Module._harness_frame_stat(0),
          vertices: Module._harness_frame_stat(1),
          verticesSent: Module._harness_frame_stat(2),
          triangles: Module._harness_frame_stat(3),
          outside: Module._harness_frame_stat(4),
        });
        return;
      }
      const ms = Module._harness_bench_frame(scene, Math.floor(now - start) % durationMs);
      if (counted !== null) {
        spent.push(ms);
      }
      requestAnimationFrame(step);
    }
    requestAnimationFrame(step);
  },
};
