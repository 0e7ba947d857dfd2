// Key messages by Windows' rules: which message a key event becomes and what its lParam says.
// A backend names the key (its virtual-key code, whether it is extended) and the modifiers held.
#pragma once

#include "platform/win32.h"

namespace win32 {

// Windows sends WM_SYSKEYDOWN/WM_SYSKEYUP instead of WM_KEYDOWN/WM_KEYUP for keys pressed while
// Alt is held without Ctrl, for Alt itself, and for F10.
bool is_system_key(unsigned vk, bool alt_held, bool ctrl_held);

// The message for a key event.
UINT key_message(bool pressed, bool system);

// A key message's lParam: repeat count 1, the extended-key flag (bit 24), Alt held (bit 29), the
// key's previous state (bit 30: 1 for an auto-repeat and for every release) and the transition
// (bit 31: 1 for a release). The scan-code bits are left 0.
LPARAM key_lparam(bool pressed, bool repeat, bool extended, bool alt_held);

// The message a key event becomes.
struct KeyMessage {
    UINT message;
    WPARAM wparam; // the virtual-key code, 1 to 255
    LPARAM lparam;
};

// The whole message for a press or release of key `vk`. Alt's own press counts as Alt held, as
// Windows sets the context bit for it.
KeyMessage key_event_message(unsigned vk, bool pressed, bool repeat, bool extended, bool alt_held,
                             bool ctrl_held);

} // namespace win32
