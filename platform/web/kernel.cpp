// The clock, the message loop's wait for the next animation frame, the end of the process and the
// entry point.
#include "platform/headless/frame_clock.h"
#include "platform/web/page.h"
#include "platform/win32/message_queue.h"

#include <cstdint>
#include <cstdio>

namespace {

// The page's test clock (as the capture has): frames per second of a virtual clock that moves one
// frame per animation frame and fires every timer once a frame; 0 on the real clock.
int virtual_fps = -1;
// The frame of the virtual clock: -1 until the program first waits.
std::int64_t virtual_frame = -1;
// A picture was finished since the last wait.
bool frame_pending = false;

bool on_virtual_clock() {
    if (virtual_fps < 0) {
        virtual_fps = web_test_clock_fps();
    }
    return virtual_fps > 0;
}

} // namespace

namespace backend {

DWORD tick_count() {
    if (on_virtual_clock()) {
        return static_cast<DWORD>(
            virtual_frame < 0 ? 0 : capture::frame_time_ms(virtual_frame, virtual_fps));
    }
    // The page's clock, wrapping at 2^32 as Windows' does.
    return static_cast<DWORD>(static_cast<std::uint64_t>(web_clock_ms()));
}

void idle(long) {
    // The program polls; the page draws once a display frame. Waiting for the next animation
    // frame hands the browser its thread, and the frame timer is due again by then.
    frame_pending = false;
    const bool virtual_clock = on_virtual_clock();
    const bool advance = web_wait_frame(virtual_clock ? static_cast<double>(virtual_frame) : -1.0);
    if (virtual_clock && advance) {
        ++virtual_frame;
        win32::thread_queue().fire_timers(tick_count());
    }
}

void exit_process(UINT exit_code) {
    std::fflush(nullptr);
    web_exit(static_cast<int>(exit_code));
}

} // namespace backend

namespace web {

void frame_finished() {
    frame_pending = true;
}

void wait_after_frame() {
    if (frame_pending) {
        backend::idle(0);
    }
}

} // namespace web

int main() {
    // The page has no command line.
    char command_line[] = "";
    const int result = WinMain(GetModuleHandleA(nullptr), nullptr, command_line, SW_SHOW);
    // What the C runtime does with WinMain's result.
    ExitProcess(static_cast<UINT>(result));
}
