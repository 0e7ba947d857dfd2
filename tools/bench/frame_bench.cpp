#include "tools/bench/frame_bench.h"

#include "app/window.h"
#include "show/scenes.h"
#include "tests/support/fake_win32.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace frame_bench {

namespace {

// The frames the show draws, one on each tick of its 10 ms frame timer.
constexpr std::int64_t frame_period_ms = 10;

// Where each slot of the timeline starts in the show, on those frames.
const ShowTimeline& show_timeline() {
    static const ShowTimeline timeline =
        play_timeline([](std::int64_t frame) { return frame * frame_period_ms; });
    return timeline;
}

// Puts the timeline in the given slot, time_ms into it, as the show reaches it, and lets the frame
// driver read that from the clock.
void set_clock(std::int32_t scene, std::int32_t time_ms) {
    demo_start_ms = 1000;
    scene_start_ms = static_cast<std::int32_t>(show_timeline().start_ms[scene]);
    scene_index = scene;
    fake_win32::tick_count = demo_start_ms + static_cast<std::uint32_t>(scene_start_ms) +
                             static_cast<std::uint32_t>(time_ms);
}

} // namespace

std::vector<Result> run(int frames, int warm_up, int times_per_scene, void (*after_frame)()) {
    typedef std::chrono::steady_clock Clock;
    start_show();
    std::vector<Result> results;
    for (std::int32_t scene = 1; scene < SCENE_COUNT - 1; ++scene) {
        // The slot's last frame is drawn one period before the next slot starts.
        const std::int64_t* const starts = show_timeline().start_ms;
        const auto span_ms =
            static_cast<std::int32_t>(starts[scene + 1] - frame_period_ms - starts[scene]);
        std::vector<double> frame_ms;
        frame_ms.reserve(static_cast<std::size_t>(frames));
        for (int n = 0; n < warm_up + frames; ++n) {
            const int step = n % times_per_scene;
            set_clock(scene, static_cast<std::int32_t>(static_cast<std::int64_t>(span_ms) * step /
                                                       std::max(1, times_per_scene - 1)));
            const Clock::time_point start = Clock::now();
            draw_frame();
            after_frame();
            const Clock::time_point end = Clock::now();
            if (n >= warm_up) {
                frame_ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
            }
        }
        double sum = 0.0;
        for (double ms : frame_ms) {
            sum += ms;
        }
        std::sort(frame_ms.begin(), frame_ms.end());
        const std::size_t count = frame_ms.size();
        const double median = count % 2 == 1
                                  ? frame_ms[count / 2]
                                  : (frame_ms[count / 2 - 1] + frame_ms[count / 2]) / 2.0;
        results.push_back({scenes[scene].name, frames, median, frame_ms.back(),
                           sum / static_cast<double>(count)});
    }
    return results;
}

void print(const std::string& title, const std::vector<Result>& results) {
    std::printf("%s\n", title.c_str());
    std::printf("%-10s %8s %12s %12s %12s\n", "scene", "frames", "median ms", "worst ms",
                "mean ms");
    for (const Result& r : results) {
        std::printf("%-10s %8d %12.4f %12.4f %12.4f\n", r.name, r.frames, r.median_ms, r.worst_ms,
                    r.mean_ms);
    }
}

std::string cpu_model() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.compare(0, 10, "model name") == 0) {
            const std::size_t colon = line.find(':');
            return colon == std::string::npos ? line : line.substr(colon + 2);
        }
    }
    return "unknown";
}

int frames_from_args(int argc, char** argv, int default_frames) {
    if (argc > 1) {
        // A whole number from 1 to a million: "10x" or an overflow is a usage error.
        char* end = nullptr;
        const long frames = std::strtol(argv[1], &end, 10);
        if (end != argv[1] && *end == '\0' && frames > 0 && frames <= 1000000) {
            return static_cast<int>(frames);
        }
        std::fprintf(stderr, "usage: %s [frames per scene]\n", argv[0]);
        std::exit(2);
    }
    return default_frames;
}

} // namespace frame_bench
