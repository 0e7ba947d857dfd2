// Keyboard translation for the browser: a page's key events, named by the DOM's KeyboardEvent
// `code` (the key's position) and `key` (what it types), to the virtual-key codes Windows would
// send for the same key. Needs no browser, so that it can be tested natively.
#pragma once

namespace web {

// The Windows virtual-key code of a key, 0 for keys the layer does not translate. Letters and
// digits follow the keyboard layout (the key that types 'q' is 'Q'), as Windows' do; every other
// key is named by its position.
unsigned virtual_key(const char* code, const char* key);

// The key's scan code as Windows numbers it (set 1), by its position: 0xE0 in the high byte for
// the keys Windows flags as extended (the navigation cluster, the right-hand modifiers, the
// keypad's Enter and divide); 0 for keys without one.
unsigned scan_code(const char* code);

} // namespace web
