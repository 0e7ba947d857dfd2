#include "tools/capture/show_length.h"

#include "platform/win32/frame_clock.h"
#include "show/scenes.h"

#include <algorithm>

namespace capture_tool {

std::int64_t show_frame_count(int fps) {
    // The clock reads 0 when the show starts, so show time is the frame's time.
    const ShowTimeline timeline =
        play_timeline([fps](std::int64_t frame) { return win32::frame_time_ms(frame, fps); });
    return timeline.start_frame[SCENE_COUNT - 1];
}

std::int64_t capture_frame_count(int fps, std::int64_t until_ms) {
    const std::int64_t show = show_frame_count(fps);
    if (until_ms < 0) {
        return show;
    }
    // The first frame drawn at or after until_ms is not taken.
    std::int64_t before = until_ms * fps / 1000;
    while (before > 0 && win32::frame_time_ms(before - 1, fps) >= until_ms) {
        --before;
    }
    while (win32::frame_time_ms(before, fps) < until_ms) {
        ++before;
    }
    return std::min(show, before);
}

} // namespace capture_tool
