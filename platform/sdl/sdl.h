// What the desktop backend's files share: the backend over SDL2 (windows, events, GL through SDL's
// contexts, dialogs, sound, the monotonic clock). Not for the program or the shared layer.
#pragma once

#include "platform/win32/backend.h"

#include <SDL.h>

namespace sdl {

// Hints that must be in place before SDL starts any of its parts.
void prepare();
// Starts SDL's video on first use; false when there is no display.
bool video_ready();
bool video_running();
// On an X display: errors the server reports are written to standard error and passed over
// instead of ending the process (Xlib's default).
void keep_x_errors_non_fatal();

inline SDL_Window* window_of(const win32::Window& window) {
    return static_cast<SDL_Window*>(window.native);
}

// The client area of a window changed size: re-make its framebuffer if its context is current.
void client_resized_gl(win32::Window& window);

} // namespace sdl
