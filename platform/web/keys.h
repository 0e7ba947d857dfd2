// Keyboard translation for the browser: a page's key events, named by the DOM's KeyboardEvent
// `code` (the key's position) and `key` (what it types), to the virtual-key codes Windows would
// send for the same key. Needs no browser, so that it can be tested natively.
#pragma once

namespace web {

// The Windows virtual-key code of a key, 0 for keys the layer does not translate. Letters and
// digits follow the keyboard layout (the key that types 'q' is 'Q'), as Windows' do; every other
// key is named by its position.
unsigned virtual_key(const char* code, const char* key);

// Keys of the navigation cluster, the right-hand modifiers and the keypad's Enter and divide,
// which Windows flags as extended.
bool is_extended_key(const char* code);

} // namespace web
