#include "platform/win32/frame_clock.h"

#include "platform/win32/message_queue.h"

namespace win32 {

void FrameClock::step() {
    ++frame;
    thread_queue().fire_timers(static_cast<DWORD>(now_ms()));
}

} // namespace win32
