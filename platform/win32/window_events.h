// Window events to WM_SIZE: how SDL's size, minimise and restore events change what the layer
// knows of a window's client area, and the WM_SIZE that Windows would send for each.
#pragma once

#include "platform/win32/backend.h"

namespace host {

struct SizeReport {
    WPARAM kind; // SIZE_RESTORED, SIZE_MINIMIZED or SIZE_MAXIMIZED
    int width;
    int height;
};

// Applies a window event to `window` and says whether it sends WM_SIZE, and with what. A window
// that covers the screen keeps the client size of the virtual mode; minimising reports 0 x 0
// once; restoring or maximising a minimised window reports its client size again; a size change
// of a window that is not minimised reports the new size, as SIZE_MAXIMIZED when `maximized`
// (SDL has the window maximised now). Other events change nothing.
bool size_report(const SDL_WindowEvent& event, bool maximized, Window* window, SizeReport* out);

} // namespace host
