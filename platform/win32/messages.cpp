// The message loop's side of the layer: the queue, timers, dispatch, and SDL's events turned
// into the messages Windows would send.
#include "platform/win32/backend.h"
#include "platform/sdl/keys.h"
#include "platform/win32/message_queue.h"
#include "platform/win32/window_events.h"

namespace {

LPARAM pack_words(int low, int high) {
    return static_cast<LPARAM>((static_cast<std::uint32_t>(high) & 0xFFFF) << 16 |
                               (static_cast<std::uint32_t>(low) & 0xFFFF));
}

void post(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wparam;
    msg.lParam = lparam;
    msg.time = GetTickCount();
    host::queue().post(msg);
}

// Keys are posted to the window that has the keyboard, as Windows posts input.
void post_key(const SDL_KeyboardEvent& key) {
    const host::Window* window = host::find_window(SDL_GetWindowFromID(key.windowID));
    HWND handle = window != nullptr ? host::handle_of(window) : host::active_window();
    if (handle == nullptr) {
        return;
    }
    // When a window loses the keyboard SDL releases every key it holds down. Windows sends no
    // WM_KEYUP to a window without the focus: a key let go in another window stays down here
    // until it is pressed and released again in this one.
    if (key.type != SDL_KEYDOWN && (window == nullptr || SDL_GetKeyboardFocus() != window->sdl)) {
        return;
    }
    host::KeyMessage translated{};
    if (host::translate_key(key, &translated)) {
        post(handle, translated.message, translated.wparam, translated.lparam);
    }
}

void report_size(HWND handle, WPARAM kind, int width, int height) {
    host::send(handle, WM_SIZE, kind, pack_words(width, height));
}

void handle_window_event(const SDL_WindowEvent& event) {
    host::Window* window = host::find_window(SDL_GetWindowFromID(event.windowID));
    if (window == nullptr) {
        return;
    }
    const HWND handle = host::handle_of(window);
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        // The close button, as Windows' caption reports it.
        post(handle, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED: {
        const bool maximized = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_MAXIMIZED) != 0;
        host::SizeReport report{};
        if (host::size_report(event, maximized, window, &report)) {
            // The framebuffer follows the new client size before the program hears of it.
            if (event.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                host::client_resized_gl(*window);
            }
            report_size(handle, report.kind, report.width, report.height);
        }
        break;
    }
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        host::set_active(handle, true);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        host::set_active(handle, false);
        break;
    default:
        break;
    }
}

} // namespace

namespace host {

MessageQueue& queue() {
    static MessageQueue the_queue;
    return the_queue;
}

void pump_events() {
    if (!video_running()) {
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

} // namespace host

BOOL PeekMessageA(MSG* msg, HWND window, UINT filter_min, UINT filter_max, UINT remove) {
    if (msg == nullptr) {
        return FALSE;
    }
    host::pump_events();
    const DWORD now = GetTickCount();
    if (host::queue().take(msg, window, filter_min, filter_max, (remove & PM_REMOVE) != 0, now)) {
        return TRUE;
    }
    // Nothing to do: rest for a millisecond, unless a timer is already due, so that a program
    // that polls does not keep a processor busy.
    if (host::queue().ms_until_next_timer(now) != 0) {
        SDL_Delay(1);
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
    // No character messages are made; Windows answers TRUE for every key message.
    if (msg == nullptr) {
        return FALSE;
    }
    switch (msg->message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        return TRUE;
    default:
        return FALSE;
    }
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) {
        return 0;
    }
    // A timer with its own callback is handled there, not by the window procedure.
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        const auto callback = reinterpret_cast<TIMERPROC>(msg->lParam);
        callback(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
    }
    return host::send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void PostQuitMessage(int exit_code) {
    host::queue().post_quit(exit_code);
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse_ms, TIMERPROC timer_func) {
    static UINT_PTR next_thread_timer_id = 1;
    if (window != nullptr && host::find_window(window) == nullptr) {
        return 0;
    }
    // A timer without a window needs a callback and gets an identifier of its own.
    if (window == nullptr) {
        if (timer_func == nullptr) {
            return 0;
        }
        id = next_thread_timer_id++;
    }
    host::queue().set_timer(window, id, elapse_ms, timer_func, GetTickCount());
    return window != nullptr ? 1 : id;
}
