// Message boxes as SDL's dialogs, or standard error when there is no display.
#include "platform/sdl/sdl.h"
#include "platform/win32/dialog.h"

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

namespace backend {

int ask(const win32::Window* owner, const char* caption, const char* text, UINT type) {
    const win32::DialogButtons choices = win32::dialog_buttons(type);
    SDL_MessageBoxButtonData buttons[3] = {};
    for (std::size_t i = 0; i < choices.count; ++i) {
        const win32::DialogButton& choice = choices.buttons[i];
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
    const SDL_MessageBoxData dialog = {
        dialog_icon(type) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT,
        owner != nullptr ? sdl::window_of(*owner) : nullptr,
        caption,
        text,
        static_cast<int>(choices.count),
        buttons,
        nullptr,
    };
    int pressed = -1;
    if (SDL_ShowMessageBox(&dialog, &pressed) == 0) {
        // -1: the dialog was closed from its title bar.
        return pressed >= 0 ? pressed : win32::closed_answer(type);
    }
    // No display to show it on (or no font for the dialog).
    return win32::answer_unasked(caption, text, type, SDL_GetError());
}

} // namespace backend
