// Frames of each scene drawn by the real GL into the show's 640 x 480, 16-bit framebuffer (Mesa's
// llvmpipe when run headless), timed from the frame driver's start to the end of rasterising.
#include "app/window.h"
#include "tests/support/offscreen_gl.h"
#include "tools/bench/frame_bench.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    const int frames = frame_bench::frames_from_args(argc, argv, 300);
    std::string error;
    if (!offscreen_gl::open(&error)) {
        std::fprintf(stderr, "bench_frames: %s\n", error.c_str());
        return 1;
    }
    resize_viewport(offscreen_gl::WIDTH, offscreen_gl::HEIGHT);
    init_gl_state();

    const offscreen_gl::Bits bits = offscreen_gl::bits();
    std::printf("renderer: %s, %d x %d, RGB%d%d%d + %d-bit depth\n",
                offscreen_gl::renderer().c_str(), offscreen_gl::WIDTH, offscreen_gl::HEIGHT,
                bits.red, bits.green, bits.blue, bits.depth);
    std::printf("cpu: %s\n", frame_bench::cpu_model().c_str());
    frame_bench::print("whole frames, real GL, glFinish included (the frame tick is 10 ms)",
                       frame_bench::run(frames, 20, 16, offscreen_gl::finish));
    offscreen_gl::close();
    return 0;
}
