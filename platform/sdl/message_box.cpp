// Message boxes: SDL's dialogs, or standard error when there is no display.
#include "platform/win32/dialog.h"
#include "platform/win32/backend.h"

#include <cstdio>

namespace {

Uint32 dialog_icon(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONSTOP:
        return SDL_MESSAGEBOX_ERROR;
    case MB_ICONEXCLAMATION:
        return SDL_MESSAGEBOX_WARNING;
    default:
        return SDL_MESSAGEBOX_INFORMATION;
    }
}

} // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    // Windows' caption for a box that is given none.
    const char* const title = caption != nullptr ? caption : "Error";
    const char* const message = text != nullptr ? text : "";
    const host::DialogButtons choices = host::dialog_buttons(type);

    SDL_MessageBoxButtonData buttons[3] = {};
    for (std::size_t i = 0; i < choices.count; ++i) {
        const host::DialogButton& choice = choices.buttons[i];
        Uint32 flags = 0;
        if (choice.return_default) {
            flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        }
        if (choice.escape_default) {
            flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        }
        buttons[i].flags = flags;
        buttons[i].buttonid = choice.answer;
        buttons[i].text = choice.text;
    }
    const host::Window* parent = host::find_window(owner);
    const SDL_MessageBoxData dialog = {
        dialog_icon(type) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT,
        parent != nullptr ? parent->sdl : nullptr,
        title,
        message,
        static_cast<int>(choices.count),
        buttons,
        nullptr,
    };
    int pressed = -1;
    if (SDL_ShowMessageBox(&dialog, &pressed) == 0) {
        // -1: the dialog was closed from its title bar.
        return pressed >= 0 ? pressed : host::closed_answer(type);
    }

    // No display to show it on (or no font for the dialog): say it on standard error and take
    // the default button.
    const int answer = host::default_answer(type);
    std::fprintf(stderr, "%s: %s\n", title, message);
    if (choices.count > 1) {
        for (std::size_t i = 0; i < choices.count; ++i) {
            if (choices.buttons[i].answer == answer) {
                std::fprintf(stderr, "%s: cannot show a dialog (%s), answering %s\n", title,
                             SDL_GetError(), choices.buttons[i].text);
            }
        }
    }
    std::fflush(stderr);
    return answer;
}
