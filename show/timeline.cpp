// The timeline: each slot's duration and scene, and the slots played over a run of frames.
#include "show/scenes.h"

const Scene scenes[SCENE_COUNT] = {
    {"background", 0, nullptr},
    {"walk", 8500, draw_scene_walk},
    {"flicker", 4000, draw_scene_flicker},
    {"spin", 1800, draw_scene_spin},
    {"fountain", 10000, draw_scene_fountain},
    {"orbit", 10000, draw_scene_orbit},
    {"falling", 10000, draw_scene_falling},
    {"banner 1", 2000, draw_banner_scene_1},
    {"banner 2", 2000, draw_banner_scene_2},
    {"banner 3", 2000, draw_banner_scene_3},
    {"banner 4", 2000, draw_banner_scene_4},
    // Never runs its course: its first frame ends the process.
    {"end", 2000000, end_show},
};

ShowTimeline play_timeline(const std::function<std::int64_t(std::int64_t)>& frame_time_ms) {
    ShowTimeline timeline{};
    int scene = 0;
    for (std::int64_t frame = 0; scene < SCENE_COUNT - 1; ++frame) {
        const std::int64_t time = frame_time_ms(frame);
        if (slot_is_over(scene, time - timeline.start_ms[scene])) {
            ++scene;
            timeline.start_frame[scene] = frame;
            timeline.start_ms[scene] = time;
        }
    }
    return timeline;
}

std::int64_t nominal_show_end_ms() {
    std::int64_t end = 0;
    for (int scene = 1; scene < SCENE_COUNT - 1; ++scene) {
        end += scenes[scene].duration_ms;
    }
    return end;
}
