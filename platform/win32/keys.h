// Key messages by Windows' rules: which message a key event becomes and what its lParam says,
// and the one table of Windows' virtual-key codes and scan codes. A backend names the key by its
// USB HID usage (keyboard page: 0x04 is A, 0xE7 the right Windows key), which is what SDL's
// scancodes are and what a page's KeyboardEvent.code names map to, with the character it types,
// and says which modifiers are held.
#pragma once

#include "platform/win32.h"

namespace win32 {

// Windows sends WM_SYSKEYDOWN/WM_SYSKEYUP instead of WM_KEYDOWN/WM_KEYUP for keys pressed while
// Alt is held without Ctrl, for Alt itself, and for F10. (Alt's release is a system key only
// when no other system key came since its press: key_event_message.)
bool is_system_key(unsigned vk, bool alt_held, bool ctrl_held);

// The message for a key event.
UINT key_message(bool pressed, bool system);

// A key message's lParam: repeat count 1, the scan code (bits 16-23), the extended-key flag (bit
// 24), Alt held (bit 29), the key's previous state (bit 30: 1 for an auto-repeat and for every
// release) and the transition (bit 31: 1 for a release). `scan` is the key's scan code in set 1,
// as Windows numbers keys, with 0xE0 in the high byte for the extended keys (0xE04B: Left).
LPARAM key_lparam(bool pressed, bool repeat, unsigned scan, bool alt_held);

// The message a key event becomes.
struct KeyMessage {
    UINT message;
    WPARAM wparam; // the virtual-key code, 1 to 255
    LPARAM lparam;
};

// The whole message for a press or release of key `vk`. Alt's own press counts as Alt held, as
// Windows sets the context bit for it. Releasing Alt is WM_SYSKEYUP when it was pressed alone and
// WM_KEYUP after Alt+key, as Windows has it; so the key events must come here in their order.
KeyMessage key_event_message(unsigned vk, unsigned scan, bool pressed, bool repeat, bool alt_held,
                             bool ctrl_held);

// The Windows virtual-key code of the key at `usage`, 0 for keys the layer does not translate.
// Letters and digits follow the keyboard layout, as Windows' do: a key that types a Latin letter or
// a digit (`typed`, or 0 for none) is named by it (the key that types 'q' is 'Q'), but for the
// keypad's; every other key is named by its position.
unsigned virtual_key(unsigned usage, unsigned typed);

// The key's scan code as Windows numbers it (set 1), 0xE0 in the high byte for the keys it flags
// as extended (the navigation cluster, the right-hand modifiers, the keypad's Enter and divide); 0
// for keys without one.
unsigned scan_code(unsigned usage);

// key_event_message for the key at `usage`; false for a key the layer does not translate (its
// event posts nothing).
bool translate_key(unsigned usage, unsigned typed, bool pressed, bool repeat, bool alt_held,
                   bool ctrl_held, KeyMessage* out);

} // namespace win32
