#include "platform/win32/keys.h"

#include <cstdint>

namespace win32 {

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

LPARAM key_lparam(bool pressed, bool repeat, bool extended, bool alt_held) {
    std::uint32_t bits = 1; // repeat count
    if (extended) {
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

KeyMessage key_event_message(unsigned vk, bool pressed, bool repeat, bool extended, bool alt_held,
                             bool ctrl_held) {
    alt_held = alt_held || (pressed && vk == VK_MENU);
    return KeyMessage{key_message(pressed, is_system_key(vk, alt_held, ctrl_held)), vk,
                      key_lparam(pressed, repeat, extended, alt_held)};
}

} // namespace win32
