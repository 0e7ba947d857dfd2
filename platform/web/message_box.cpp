// Message boxes as dialogs in the page.
#include "platform/web/page.h"
#include "platform/win32/dialog.h"

namespace backend {

int ask(const win32::Window*, const char* caption, const char* text, UINT type) {
    const win32::DialogButtons choices = win32::dialog_buttons(type);
    for (std::size_t i = 0; i < choices.count; ++i) {
        const win32::DialogButton& choice = choices.buttons[i];
        web_dialog_button(choice.text, choice.answer, choice.return_default ? 1 : 0,
                          choice.escape_default ? 1 : 0);
    }
    return web_ask(caption, text, static_cast<int>(type & MB_ICONMASK));
}

} // namespace backend
