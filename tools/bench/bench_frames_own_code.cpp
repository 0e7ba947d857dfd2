// The program's own share of a frame: the same frames as bench_frames, drawn against the GL
// recorder with recording off, so every GL call returns at once and what remains is the frame
// driver, the scene code, the sprite renderer and the colour conversions.
#include "tests/support/gl_recorder.h"
#include "tools/bench/frame_bench.h"

#include <cstdio>

namespace {

void nothing() {}

} // namespace

int main(int argc, char** argv) {
    const int frames = frame_bench::frames_from_args(argc, argv, 5000);
    gl_recorder::reset();
    gl_recorder::recording = false;
    std::printf("cpu: %s\n", frame_bench::cpu_model().c_str());
    frame_bench::print("the program's own code per frame (GL calls stubbed out)",
                       frame_bench::run(frames, 100, 16, nothing));
    return 0;
}
