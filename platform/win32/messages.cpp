// The message loop's side of the layer: the queue, timers and dispatch; and the kernel calls and
// message boxes, which hand over to the backend.
#include "platform/win32/backend.h"
#include "platform/win32/message_queue.h"

namespace {

HINSTANCE__ module_instance = {};

} // namespace

HMODULE GetModuleHandleA(LPCSTR module_name) {
    // Only the program itself is known.
    return module_name == nullptr ? &module_instance : nullptr;
}

DWORD GetTickCount() {
    return backend::tick_count();
}

void ExitProcess(UINT exit_code) {
    // Windows takes a process's windows and its display mode away when it ends; here the backend
    // does it before leaving.
    backend::exit_process(exit_code);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    // Windows' caption for a box that is given none.
    return backend::ask(win32::find_window(owner), caption != nullptr ? caption : "Error",
                        text != nullptr ? text : "", type);
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filter_min, UINT filter_max, UINT remove) {
    if (msg == nullptr) {
        return FALSE;
    }
    backend::pump_events();
    win32::MessageQueue& queue = win32::thread_queue();
    const DWORD now = GetTickCount();
    if (queue.take(msg, window, filter_min, filter_max, (remove & PM_REMOVE) != 0, now)) {
        return TRUE;
    }
    // Nothing to do: the backend waits for the host, so that a program that polls does not keep
    // a processor busy.
    backend::idle(queue.ms_until_next_timer(now));
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
    return win32::send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void PostQuitMessage(int exit_code) {
    win32::thread_queue().post_quit(exit_code);
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse_ms, TIMERPROC timer_func) {
    static UINT_PTR next_thread_timer_id = 1;
    if (window != nullptr && win32::find_window(window) == nullptr) {
        return 0;
    }
    // A timer without a window needs a callback and gets an identifier of its own.
    if (window == nullptr) {
        if (timer_func == nullptr) {
            return 0;
        }
        id = next_thread_timer_id++;
    }
    win32::thread_queue().set_timer(window, id, elapse_ms, timer_func, GetTickCount());
    return window != nullptr ? 1 : id;
}
