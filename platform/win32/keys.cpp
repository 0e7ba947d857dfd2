#include "platform/win32/keys.h"

#include <cstdint>

namespace win32 {

namespace {

// Alt went down as a system key and no other system key has come since.
bool alt_alone = false;

} // namespace

bool is_system_key(unsigned vk, bool alt_held, bool ctrl_held) {
    if (ctrl_held) {
        return false;
    }
    return alt_held || vk == VK_MENU || vk == VK_F10;
}

UINT key_message(bool pressed, bool system) {
    if (system) {
        return pressed ? WM_SYSKEYDOWN : WM_SYSKEYUP;
    }
    return pressed ? WM_KEYDOWN : WM_KEYUP;
}

LPARAM key_lparam(bool pressed, bool repeat, unsigned scan, bool alt_held) {
    std::uint32_t bits = 1; // repeat count
    bits |= (scan & 0xFFu) << 16;
    if ((scan & 0xFF00u) == 0xE000u) {
        bits |= 1u << 24;
    }
    if (alt_held) {
        bits |= 1u << 29;
    }
    if (repeat || !pressed) {
        bits |= 1u << 30;
    }
    if (!pressed) {
        bits |= 1u << 31;
    }
    return static_cast<LPARAM>(bits);
}

KeyMessage key_event_message(unsigned vk, unsigned scan, bool pressed, bool repeat, bool alt_held,
                             bool ctrl_held) {
    alt_held = alt_held || (pressed && vk == VK_MENU);
    bool system = is_system_key(vk, alt_held, ctrl_held);
    if (vk == VK_MENU) {
        system = pressed ? system : alt_alone;
        alt_alone = pressed && system;
    } else if (system) {
        alt_alone = false;
    }
    return KeyMessage{key_message(pressed, system), vk,
                      key_lparam(pressed, repeat, scan, alt_held)};
}

} // namespace win32
