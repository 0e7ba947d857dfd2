// The page's one window (a title bar over a canvas), the display a virtual mode may use, the
// cursor and the screen saver.
#include "platform/web/page.h"

namespace {

win32::Window* shown_window = nullptr;

// The window's host-side handle: the page has one canvas, so any non-null mark does.
int canvas_mark = 0;

} // namespace

namespace web {

win32::Window* page_window() {
    return shown_window;
}

} // namespace web

namespace backend {

bool display_size(int*, int*) {
    // A page cannot change the display's mode, and may take the whole screen only when the user
    // asks for it with a click or a key. So there is no display for a mode to be set on: the
    // program's request for its fullscreen mode is refused and, as on a display that lacks the
    // mode, the program asks the user whether to run in a window instead. That question is a
    // dialog in the page, and its answer the gesture that lets the page start the sound.
    return false;
}

bool create_window(win32::Window& window, const char* title, int, int) {
    // The page has one canvas for one window.
    if (shown_window != nullptr) {
        return false;
    }
    shown_window = &window;
    window.native = &canvas_mark;
    web_open_window(title);
    return true;
}

void destroy_window(win32::Window& window) {
    if (&window == shown_window) {
        web_close_window();
        shown_window = nullptr;
    }
    window.native = nullptr;
}

void change_window(win32::Window& window, win32::WindowChange change) {
    if (&window != shown_window) {
        return;
    }
    switch (change) {
    case win32::WindowChange::show:
        web_show_window(1);
        break;
    case win32::WindowChange::hide:
        web_show_window(0);
        break;
    case win32::WindowChange::uncover:
        web_leave_fullscreen();
        break;
    default:
        // A page cannot raise, minimise or maximise itself.
        break;
    }
}

void show_cursor(bool shown) {
    web_show_cursor(shown ? 1 : 0);
}

void allow_screen_saver(bool allowed) {
    // The page's way of refusing the screen saver is a wake lock on the screen.
    web_keep_screen_on(allowed ? 0 : 1);
}

} // namespace backend
