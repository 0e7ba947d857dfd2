#include "tests/platform/webgl/show_frames.h"

#include "app/window.h"
#include "platform/win32/frame_clock.h"
#include "show/scenes.h"
#include "tests/support/fake_win32.h"

namespace show_frames {

void start() {
    fake_win32::tick_count = 0;
    fake_win32::tick_step = 0;
    resize_viewport(640, 480);
    init_gl_state();
    start_show();
}

bool draw(std::int64_t frame) {
    fake_win32::tick_count = static_cast<DWORD>(time_of(frame));
    // The frame that enters the last slot ends the process: stop before it.
    const std::int32_t time_ms = static_cast<std::int32_t>(fake_win32::tick_count - demo_start_ms);
    if (scene_index == SCENE_COUNT - 2 && slot_is_over(scene_index, time_ms - scene_start_ms)) {
        return false;
    }
    draw_frame();
    return true;
}

std::int64_t frame_at(std::int64_t time_ms) {
    return win32::frame_on_screen_at(time_ms, FPS);
}

std::int64_t time_of(std::int64_t frame) {
    return win32::frame_time_ms(frame, FPS);
}

} // namespace show_frames
