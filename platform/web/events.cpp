// What the user did in the page, turned into the messages Windows would send.
#include "platform/web/keys.h"
#include "platform/web/page.h"
#include "platform/win32/keys.h"

namespace backend {

void pump_events() {
    web::wait_after_frame();
    char code[32];
    char key[32];
    for (;;) {
        const int event = web_take_event(code, sizeof code, key, sizeof key);
        if (event == 0) {
            return;
        }
        const win32::Window* window = web::page_window();
        if (window == nullptr) {
            // Nothing to send it to yet, or any more.
            continue;
        }
        const HWND handle = win32::handle_of(window);
        switch (event & web::event_kind_mask) {
        case web::event_key: {
            win32::KeyMessage message{};
            if (win32::translate_key(web::key_usage(code), web::typed(key),
                                     (event & web::key_pressed) != 0,
                                     (event & web::key_repeat) != 0, (event & web::key_alt) != 0,
                                     (event & web::key_ctrl) != 0, &message)) {
                win32::post(handle, message.message, message.wparam, message.lparam);
            }
            break;
        }
        case web::event_close:
            // The close button of the page's title bar, as Windows' caption reports it.
            win32::post(handle, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case web::event_focus:
            win32::set_active(handle, true);
            break;
        case web::event_blur:
            win32::set_active(handle, false);
            break;
        default:
            break;
        }
    }
}

} // namespace backend
