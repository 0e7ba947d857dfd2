// The clock, the message loop's wait for the next animation frame, the end of the process and the
// entry point.
#include "platform/web/page.h"
#include "platform/win32/frame_clock.h"

#include <cstdint>
#include <cstdio>

namespace {

// The page's test clock (as the capture has): a virtual clock that moves one frame per animation
// frame and fires every timer once a frame. Its rate is 0 on the real clock, -1 until asked.
win32::FrameClock virtual_clock{-1};
// A picture was finished since the last wait.
bool frame_pending = false;

bool on_virtual_clock() {
    if (virtual_clock.fps < 0) {
        virtual_clock.fps = web_test_clock_fps();
    }
    return virtual_clock.fps > 0;
}

} // namespace

namespace backend {

DWORD tick_count() {
    if (on_virtual_clock()) {
        return static_cast<DWORD>(virtual_clock.now_ms());
    }
    // The page's clock, wrapping at 2^32 as Windows' does.
    return static_cast<DWORD>(static_cast<std::uint64_t>(web_clock_ms()));
}

void idle(long) {
    // The program polls; the page draws once a display frame. Waiting for the next animation
    // frame hands the browser its thread, and the frame timer is due again by then.
    frame_pending = false;
    const bool virtual_frames = on_virtual_clock();
    const bool advance =
        web_wait_frame(virtual_frames ? static_cast<double>(virtual_clock.frame) : -1.0);
    if (virtual_frames && advance) {
        virtual_clock.step();
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
