// The show's frames one by one, as the capture draws them: start-up as the program does it at
// show time 0, then frame k through the frame driver with the clock reading the capture's
// floor(k * 1000 / 60) ms. Everything a frame draws depends on the frames before it (the random
// colours and depths, the flicker, the current colour), so frame k is only right after frames
// 0 to k - 1. Draws through whatever GL the program is linked with; the clock and the Win32 calls
// are the test stand-ins'.
#pragma once

#include <cstdint>

namespace show_frames {

constexpr int FPS = 60;

// The GL start state as the window's set-up leaves it, then the show's start-up (start_show) with
// the clock at 0.
void start();

// Draws frame `frame` (the frames before it drawn already). Returns false, drawing nothing, for
// the frame that would end the show.
bool draw(std::int64_t frame);

// The frame on screen at a show time, and the show time of a frame.
std::int64_t frame_at(std::int64_t time_ms);
std::int64_t time_of(std::int64_t frame);

} // namespace show_frames
