// The browser test's program: the show's frames drawn by the GL subset over WebGL 2 into the
// page's canvas, driven from JavaScript. A stand-in for the browser host still to come: the clock
// is the capture's virtual one (or a scene time for the speed test) and the Win32 calls are the
// test stand-ins'.
#include "app/window.h"
#include "platform/webgl/gles.h"
#include "platform/webgl/webgl.h"
#include "platform/win32/letterbox.h"
#include "show/scenes.h"
#include "tests/platform/webgl/show_frames.h"
#include "tests/support/fake_win32.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

const int WIDTH = 640;
const int HEIGHT = 480;

webgl::Gles gles;
std::string error_text;
std::int64_t next_frame = 0;
std::vector<std::uint8_t> rgb;
double last_frame_ms = 0.0;

// The picture on the whole canvas, its aspect kept.
void present() {
    int width = 0;
    int height = 0;
    emscripten_get_canvas_element_size("#canvas", &width, &height);
    const win32::PixelRect rect = win32::letterbox(WIDTH, HEIGHT, width, height);
    webgl::present(height, rect.x, rect.y, rect.width, rect.height);
}

} // namespace

extern "C" {

// Makes the WebGL 2 context and the subset, and starts the show at time 0. Returns false with
// the reason in harness_error().
EMSCRIPTEN_KEEPALIVE bool harness_start() {
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = webgl::create_browser_context("#canvas");
    if (context <= 0 ||
        emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) {
        error_text = "no WebGL 2";
        return false;
    }
    webgl::load_browser_gles(gles);
    if (!webgl::open(gles, WIDTH, HEIGHT, &error_text)) {
        return false;
    }
    show_frames::start();
    return true;
}

EMSCRIPTEN_KEEPALIVE const char* harness_error() {
    return error_text.c_str();
}

EMSCRIPTEN_KEEPALIVE double harness_frame_at(double time_ms) {
    return static_cast<double>(show_frames::frame_at(static_cast<std::int64_t>(time_ms)));
}

// Runs the show on to frame `frame`, drawing only that one, and shows it. Returns false when the
// show ends first.
EMSCRIPTEN_KEEPALIVE bool harness_draw_until(double frame) {
    const auto last = static_cast<std::int64_t>(frame);
    for (; next_frame <= last; ++next_frame) {
        webgl::set_drawing(next_frame == last);
        if (!show_frames::draw(next_frame)) {
            return false;
        }
        webgl::end_frame();
    }
    present();
    return true;
}

// The frame drawn last, 8-bit RGB, the top row first.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* harness_read_rgb() {
    rgb = webgl::read_rgb();
    return rgb.data();
}

// One frame of timeline slot `scene`, `time_ms` into it, on the frame driver's own clock, shown
// on the canvas: for measuring speed. Returns the milliseconds spent in the program and the
// subset (what WebGL does after the calls return is not in it).
EMSCRIPTEN_KEEPALIVE double harness_bench_frame(int scene, int time_ms) {
    const double start = emscripten_get_now();
    webgl::set_drawing(true);
    demo_start_ms = 1000;
    scene_start_ms = 20000;
    scene_index = scene;
    fake_win32::tick_count = demo_start_ms + static_cast<std::uint32_t>(scene_start_ms) +
                             static_cast<std::uint32_t>(time_ms);
    draw_frame();
    webgl::end_frame();
    present();
    last_frame_ms = emscripten_get_now() - start;
    return last_frame_ms;
}

// The figures of the frame drawn last: draws, vertices, vertices sent, triangles, triangles left
// out.
EMSCRIPTEN_KEEPALIVE int harness_frame_stat(int which) {
    const webgl::FrameStats stats = webgl::last_frame_stats();
    const int values[] = {stats.draws, stats.vertices, stats.vertices_sent, stats.triangles,
                          stats.triangles_outside};
    return which >= 0 && which < 5 ? values[which] : -1;
}

} // extern "C"
