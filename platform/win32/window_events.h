// Window events to WM_SIZE: how the host's size, minimise and restore events change what the layer
// knows of a window's client area, and the WM_SIZE that Windows would send for each.
#pragma once

#include "platform/win32/backend.h"

namespace win32 {

// What the host reports of a window's size.
enum class SizeEvent {
    resized,   // the client area is now width x height
    minimized, // the window became an icon
    restored,  // the window came back from an icon
    maximized, // the window came back from an icon, or was maximised
};

struct SizeReport {
    WPARAM kind; // SIZE_RESTORED, SIZE_MINIMIZED or SIZE_MAXIMIZED
    int width;
    int height;
};

// Applies a size event to `window` and says whether it sends WM_SIZE, and with what. A window
// that covers the display keeps the client size of the virtual mode; minimising reports 0 x 0
// once; restoring or maximising a minimised window reports its client size again; a size change
// of a window that is not minimised reports the new size, as SIZE_MAXIMIZED when `maximized`
// (the host has the window maximised now).
bool size_report(SizeEvent event, int width, int height, bool maximized, Window* window,
                 SizeReport* out);

// Sends the report as WM_SIZE, as Windows sends it: straight to the window procedure.
inline void send_size(HWND window, const SizeReport& report) {
    send(window, WM_SIZE, report.kind, MAKELPARAM(report.width, report.height));
}

} // namespace win32
