#include "platform/sdl/keys.h"

namespace sdl {

namespace {

// The character a key types, as far as the layer's table asks: SDL names the keys that type ASCII
// by it, in lower case.
unsigned typed(SDL_Keycode sym) {
    return sym > 0 && sym < 0x80 ? static_cast<unsigned>(sym) : 0;
}

} // namespace

unsigned virtual_key(SDL_Keycode sym, SDL_Scancode scancode) {
    return win32::virtual_key(scancode, typed(sym));
}

bool translate_key(const SDL_KeyboardEvent& key, win32::KeyMessage* out) {
    return win32::translate_key(key.keysym.scancode, typed(key.keysym.sym), key.type == SDL_KEYDOWN,
                                key.repeat != 0, (key.keysym.mod & KMOD_ALT) != 0,
                                (key.keysym.mod & KMOD_CTRL) != 0, out);
}

} // namespace sdl
