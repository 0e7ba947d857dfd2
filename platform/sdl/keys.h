// Keyboard translation: SDL key events to the WM_KEYDOWN/WM_KEYUP (or WM_SYSKEYDOWN/WM_SYSKEYUP)
// messages and virtual-key codes that Windows would send for the same key.
#pragma once

#include "platform/win32/keys.h"

#include <SDL_events.h>
#include <SDL_keyboard.h>

namespace sdl {

// The Windows virtual-key code of a key, 0 for keys the layer does not translate. Letters and
// digits follow the keyboard layout (the key that types 'q' is 'Q'), as Windows' do; every other
// key is named by its position.
unsigned virtual_key(SDL_Keycode sym, SDL_Scancode scancode);

// The key's scan code as Windows numbers it (set 1), 0xE0 in the high byte for the keys it flags
// as extended (the navigation cluster, the right-hand modifiers); 0 for keys without one.
unsigned scan_code(SDL_Scancode scancode);

// Translates an SDL_KEYDOWN or SDL_KEYUP event by Windows' rules (platform/win32/keys.h). False
// for a key the layer does not translate (its event posts nothing).
bool translate_key(const SDL_KeyboardEvent& key, win32::KeyMessage* out);

} // namespace sdl
