// Keyboard translation: SDL key events to the WM_KEYDOWN/WM_KEYUP (or WM_SYSKEYDOWN/WM_SYSKEYUP)
// messages and virtual-key codes that Windows would send for the same key. SDL's scancodes are USB
// usages, the keys of the layer's table (platform/win32/keys.h).
#pragma once

#include "platform/win32/keys.h"

#include <SDL_events.h>
#include <SDL_keyboard.h>

namespace sdl {

// The Windows virtual-key code of a key, 0 for keys the layer does not translate.
unsigned virtual_key(SDL_Keycode sym, SDL_Scancode scancode);

// Translates an SDL_KEYDOWN or SDL_KEYUP event by Windows' rules (platform/win32/keys.h). False
// for a key the layer does not translate (its event posts nothing).
bool translate_key(const SDL_KeyboardEvent& key, win32::KeyMessage* out);

} // namespace sdl
