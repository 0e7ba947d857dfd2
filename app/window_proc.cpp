#include "app/window.h"

#include "show/scenes.h"

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_SIZE:
        resize_viewport(LOWORD(lparam), HIWORD(lparam));
        return 0;
    case WM_ACTIVATE:
        // Answered here so the default focus handling does not run; open_window sets the
        // focus once.
        return 0;
    case WM_CLOSE:
        // The window, its timer and the GL context stay until close_window after the loop.
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
        // The keyboard sends codes 0 to 255; anything else would index past the table.
        if (wparam < sizeof key_down) {
            key_down[wparam] = message == WM_KEYDOWN ? 1 : 0;
        }
        return 0;
    case WM_SYSCOMMAND:
        // Keep the screen saver and monitor power-down away while the show runs.
        if (wparam == SC_SCREENSAVE || wparam == SC_MONITORPOWER) {
            return 0;
        }
        break;
    case WM_TIMER:
        // One tick, one frame, once start-up has finished. At the end of the timeline draw_frame
        // ends the process.
        if (startup_finished) {
            draw_frame();
            SwapBuffers(device_context);
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}
