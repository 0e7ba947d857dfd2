// How many frames the show draws on the capture's clock before it ends: the show's timeline
// played through on the frame times of the capture's clock (platform/win32/frame_clock.h).
#pragma once

#include <cstdint>

namespace capture_tool {

// The frames the show presents at `fps` (frames 0 to n - 1); frame n enters the last slot and
// ends the process before it is presented.
std::int64_t show_frame_count(int fps);

// The frames a capture presents: the whole show, or those drawn before `until_ms` when that is
// not negative and comes first.
std::int64_t capture_frame_count(int fps, std::int64_t until_ms);

} // namespace capture_tool
