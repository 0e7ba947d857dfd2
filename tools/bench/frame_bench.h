// Timing whole frames of the show, scene by scene, at fixed scene times. The same loop serves
// the real GL (what a frame costs on screen) and the GL recorder with recording off (what the
// program's own code costs).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace frame_bench {

// One row of the report: a scene of the timeline (show/scenes.h), drawn at times spread evenly
// over its slot.
struct Result {
    const char* name;
    int frames;
    double median_ms;
    double worst_ms;
    double mean_ms;
};

// Draws `frames` frames of every scene of the timeline (the slots between the background's and the
// end's) through the frame driver, after the show's start-up and `warm_up` untimed frames,
// cycling through `times_per_scene` scene times from 0 to that of its last frame in the show, the
// slot placed where the show reaches it (frames every 10 ms). after_frame runs inside each
// frame's timing (glFinish for the real GL, so the rasterising counts).
std::vector<Result> run(int frames, int warm_up, int times_per_scene, void (*after_frame)());

void print(const std::string& title, const std::vector<Result>& results);

// The processor's model name, as the system reports it.
std::string cpu_model();

// The frames per scene asked for on the command line, or the default.
int frames_from_args(int argc, char** argv, int default_frames);

} // namespace frame_bench
