// The kernel calls: the module handle, the tick count and the end of the process.
#include "platform/win32/backend.h"

#ifdef SOLID_HAVE_SOUND
#include "platform/sdl/sound.h"
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

HINSTANCE__ module_instance = {};

} // namespace

namespace host {

void shutdown() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    release_gl();
    release_windows();
    close_sound();
    SDL_Quit();
}

} // namespace host

HMODULE GetModuleHandleA(LPCSTR module_name) {
    // Only the program itself is known.
    return module_name == nullptr ? &module_instance : nullptr;
}

DWORD GetTickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    // Milliseconds modulo 2^32, as Windows counts them.
    return static_cast<DWORD>(ms);
}

void ExitProcess(UINT exit_code) {
    // Windows takes a process's windows and its display mode away when it ends; here the layer
    // does it before leaving.
    host::shutdown();
    std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
    // _Exit skips the exit handlers, and with them the leak checker's own run.
    __lsan_do_leak_check();
#endif
    std::_Exit(static_cast<int>(exit_code));
}
