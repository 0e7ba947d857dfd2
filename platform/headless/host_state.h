// State the capture backend's files share: the sink and the clock. Not for the program or the
// capture's main.
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

// Hands the sink the frame still being read back, if there is one: frames reach it a frame late,
// so the last one waits for the end of the capture (gl_context.cpp).
void finish_frames();

} // namespace capture::host
