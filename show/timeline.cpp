// The timeline: how long each slot lasts, and the slots played over a run of frames.
#include "show/scenes.h"

// How long each slot of the timeline lasts. Slot 0 shows only the background, slot 11 ends the
// show on its first frame.
const std::int32_t scene_durations[SCENE_COUNT] = {
    0, 8500, 4000, 1800, 10000, 10000, 10000, 2000, 2000, 2000, 2000, 2000000,
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
        end += scene_durations[scene];
    }
    return end;
}
