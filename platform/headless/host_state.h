// State the capture backend's files share: the sink and the clock. Not for the program or the
// capture's main.
#pragma once

#include "platform/headless/capture_host.h"
#include "platform/win32/frame_clock.h"

namespace capture::host {

extern Sink* sink;
// The clock, which moves a frame each time the program finds its queue empty.
extern win32::FrameClock clock;

// Hands the sink the frame still being read back, if there is one: frames reach it a frame late,
// so the last one waits for the end of the capture (gl_context.cpp).
void finish_frames();

} // namespace capture::host
