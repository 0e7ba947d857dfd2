// Keyboard translation for the browser: a page's key events, named by the DOM's KeyboardEvent
// `code` (the key's position) and `key` (what it types), to the USB usages of the layer's key
// table (platform/win32/keys.h) and so to the virtual-key codes Windows would send for the same
// key. Needs no browser, so that it can be tested natively.
#pragma once

namespace web {

// The key's USB usage, 0 for a code the layer does not know.
unsigned key_usage(const char* code);
// The character a key types, as far as the layer's table asks: a key that types one ASCII
// character names it; 0 for any other.
unsigned typed(const char* key);

// The Windows virtual-key code of a key, 0 for keys the layer does not translate.
unsigned virtual_key(const char* code, const char* key);
// The key's scan code as Windows numbers it (set 1); 0 for keys without one.
unsigned scan_code(const char* code);

} // namespace web
