// The capture's virtual clock. Frame k of a capture at `fps` frames per second is drawn at show
// time floor(k * 1000 / fps) milliseconds, in exact integer arithmetic: every capture at the same
// rate draws its frames at the same milliseconds, and a time that k * 1000 / fps hits exactly
// (every multiple of 50 ms at 60 fps, every millisecond at 1000 fps) gets a frame of its own.
#pragma once

#include <cstdint>

namespace capture {

// The highest frame rate: one frame a millisecond, the resolution of the show's clock.
constexpr int max_fps = 1000;

constexpr std::int64_t frame_time_ms(std::int64_t frame, int fps) {
    return frame * 1000 / fps;
}

// The frame on screen at show time `time_ms` (not negative): the last frame drawn at or before it.
constexpr std::int64_t frame_on_screen_at(std::int64_t time_ms, int fps) {
    // time * fps / 1000 is at most one frame short of it when the floor of a later frame's time
    // comes back down onto `time_ms`.
    std::int64_t frame = time_ms * fps / 1000;
    while (frame_time_ms(frame + 1, fps) <= time_ms) {
        ++frame;
    }
    return frame;
}

} // namespace capture
