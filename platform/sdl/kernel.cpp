// The clock, the idle wait of the message loop and the end of the process.
#include "platform/sdl/sdl.h"
#include "platform/sdl/sound.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// Puts the screen back, closes the sound and shuts SDL down. Runs once.
void shutdown() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    win32::release_windows();
    if (sdl::video_running()) {
        SDL_ShowCursor(SDL_ENABLE);
        SDL_EnableScreenSaver();
    }
    close_sound();
    SDL_Quit();
}

} // namespace

namespace backend {

DWORD tick_count() {
    // Milliseconds modulo 2^32, as Windows counts them.
    return static_cast<DWORD>(static_cast<std::uint64_t>(clock_ms()));
}

void idle(long ms_until_timer) {
    // Rest for a millisecond, unless a timer is already due: never longer, so that input and
    // timers are not kept waiting.
    if (ms_until_timer != 0) {
        SDL_Delay(1);
    }
}

void exit_process(UINT exit_code) {
    shutdown();
    std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
    // _Exit skips the exit handlers, and with them the leak checker's own run.
    __lsan_do_leak_check();
#endif
    std::_Exit(static_cast<int>(exit_code));
}

} // namespace backend
