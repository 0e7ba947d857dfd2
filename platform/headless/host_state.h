// State the capture host's files share: the sink, the clock, and what a device context stands
// for. Not for the program or the capture's main.
#pragma once

#include "platform/headless/capture_host.h"

#include <cstdint>

namespace capture::host {

extern Sink* sink;
extern int fps;
// The frame whose timer messages are being handed out, -1 before the first.
extern std::int64_t frame;

// The show time the clock reads now, in milliseconds.
std::int64_t now_ms();

// What GL needs to know of the window behind a device context: its client size and its pixel
// format (0 until SetPixelFormat).
struct Surface {
    int width;
    int height;
    int pixel_format;
};
// The surface of a live window's device context, or null.
Surface* surface_of(HDC dc);

} // namespace capture::host
