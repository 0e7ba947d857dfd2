// A virtual clock that moves one frame at a time, for backends that draw the show frame by frame
// rather than on the real clock (the capture's, and the page's test clock). Frame k of a clock at
// `fps` frames per second is drawn at show time floor(k * 1000 / fps) milliseconds, in exact
// integer arithmetic: every run at the same rate draws its frames at the same milliseconds, and a
// time that k * 1000 / fps hits exactly (every multiple of 50 ms at 60 fps, every millisecond at
// 1000 fps) gets a frame of its own.
#pragma once

#include <cstdint>

namespace win32 {

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

struct FrameClock {
    int fps = 60;
    std::int64_t frame = -1; // the frame being drawn: -1 until the first step

    // The show time the clock reads: 0 until the first step.
    std::int64_t now_ms() const {
        return frame < 0 ? 0 : frame_time_ms(frame, fps);
    }
    // The next frame falls due, and with it every timer of the thread's queue, once.
    void step();
};

} // namespace win32
