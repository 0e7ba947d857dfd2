// Keyboard translation: SDL key events to the WM_KEYDOWN/WM_KEYUP (or WM_SYSKEYDOWN/WM_SYSKEYUP)
// messages and virtual-key codes that Windows would send for the same key.
#pragma once

#include "platform/win32.h"

#include <SDL_events.h>
#include <SDL_keyboard.h>

namespace host {

// The Windows virtual-key code of a key, 0 for keys the layer does not translate. Letters and
// digits follow the keyboard layout (the key that types 'q' is 'Q'), as Windows' do; every other
// key is named by its position.
unsigned virtual_key(SDL_Keycode sym, SDL_Scancode scancode);

// Windows sends WM_SYSKEYDOWN/WM_SYSKEYUP instead of WM_KEYDOWN/WM_KEYUP for keys pressed while
// Alt is held without Ctrl, for Alt itself, and for F10.
bool is_system_key(unsigned vk, bool alt_held, bool ctrl_held);

// The message for a key event.
UINT key_message(bool pressed, bool system);

// A key message's lParam: repeat count 1, the extended-key flag (bit 24), Alt held (bit 29), the
// key's previous state (bit 30: 1 for an auto-repeat and for every release) and the transition
// (bit 31: 1 for a release). The scan-code bits are left 0.
LPARAM key_lparam(bool pressed, bool repeat, bool extended, bool alt_held);

// Keys of the navigation cluster and the right-hand modifiers, which Windows flags as extended.
bool is_extended_key(SDL_Scancode scancode);

// The message a key event becomes.
struct KeyMessage {
    UINT message;
    WPARAM wparam; // the virtual-key code, 1 to 255
    LPARAM lparam;
};

// Translates an SDL_KEYDOWN or SDL_KEYUP event by the rules above. False for a key the layer
// does not translate (its event posts nothing).
bool translate_key(const SDL_KeyboardEvent& key, KeyMessage* out);

} // namespace host
