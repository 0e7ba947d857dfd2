// Input a backend has seen, posted to the thread's queue as Windows posts input.
#include "platform/win32/backend.h"
#include "platform/win32/message_queue.h"

namespace win32 {

bool post(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wparam;
    msg.lParam = lparam;
    msg.time = backend::tick_count();
    return thread_queue().post(msg);
}

} // namespace win32
