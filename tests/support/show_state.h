// Puts the frame driver's globals back to how the program starts them: the clock, the timeline,
// the background, the camera and the held keys.
#pragma once

#include "show/scenes.h"

#include <cstring>

inline void reset_show_state() {
    demo_start_ms = 0;
    demo_time_ms = 0;
    scene_start_ms = 0;
    scene_time_ms = 0;
    scene_index = 0;
    background_cycle_on = false;
    background_color = ColorRgb{0.0f, 0.0f, 0.0f};
    camera_offset = CameraOffset{0.0f, 0.0f, 0.0f};
    std::memset(key_down, 0, sizeof key_down);
}
