// SDL's events turned into the messages Windows would send.
#include "platform/sdl/keys.h"
#include "platform/sdl/sdl.h"
#include "platform/win32/window_events.h"

namespace {

// Keys are posted to the window that has the keyboard, as Windows posts input.
void post_key(const SDL_KeyboardEvent& key) {
    const win32::Window* window = win32::find_native_window(SDL_GetWindowFromID(key.windowID));
    HWND handle = window != nullptr ? win32::handle_of(window) : win32::active_window();
    if (handle == nullptr) {
        return;
    }
    // When a window loses the keyboard SDL releases every key it holds down. Windows sends no
    // WM_KEYUP to a window without the focus: a key let go in another window stays down here
    // until it is pressed and released again in this one.
    if (key.type != SDL_KEYDOWN &&
        (window == nullptr || SDL_GetKeyboardFocus() != sdl::window_of(*window))) {
        return;
    }
    win32::KeyMessage translated{};
    if (sdl::translate_key(key, &translated)) {
        win32::post(handle, translated.message, translated.wparam, translated.lparam);
    }
}

void report_size(win32::Window& window, const SDL_WindowEvent& event, win32::SizeEvent kind) {
    const bool maximized = (SDL_GetWindowFlags(sdl::window_of(window)) & SDL_WINDOW_MAXIMIZED) != 0;
    win32::SizeReport report{};
    if (win32::size_report(kind, event.data1, event.data2, maximized, &window, &report)) {
        // The framebuffer follows the new client size before the program hears of it.
        if (kind == win32::SizeEvent::resized) {
            sdl::client_resized_gl(window);
        }
        win32::send_size(win32::handle_of(&window), report);
    }
}

void handle_window_event(const SDL_WindowEvent& event) {
    win32::Window* window = win32::find_native_window(SDL_GetWindowFromID(event.windowID));
    if (window == nullptr) {
        return;
    }
    const HWND handle = win32::handle_of(window);
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        // The close button, as Windows' caption reports it.
        win32::post(handle, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        report_size(*window, event, win32::SizeEvent::resized);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        report_size(*window, event, win32::SizeEvent::minimized);
        break;
    case SDL_WINDOWEVENT_RESTORED:
        report_size(*window, event, win32::SizeEvent::restored);
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
        report_size(*window, event, win32::SizeEvent::maximized);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        win32::set_active(handle, true);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        win32::set_active(handle, false);
        break;
    default:
        break;
    }
}

} // namespace

namespace backend {

void pump_events() {
    if (!sdl::video_running()) {
        return;
    }
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        switch (event.type) {
        case SDL_WINDOWEVENT:
            handle_window_event(event.window);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            post_key(event.key);
            break;
        default:
            // SDL_QUIT follows the last window's close request, which is already a message.
            break;
        }
    }
}

} // namespace backend
