#include "platform/win32/keys.h"

#include <cstdint>

namespace win32 {

namespace {

// Alt went down as a system key and no other system key has come since.
bool alt_alone = false;

// Windows' scan codes (set 1) and virtual-key codes by USB usage, from 0 to the Application key;
// 0xE0 in a scan code's high byte marks the keys that Windows flags as extended. The F keys and
// the keypad's digits get their virtual-key codes in virtual_key; the ISO # key has none.
// clang-format off
const std::uint16_t set1_codes[] = {
    0, 0, 0, 0,                                                             // no key
    0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, // A to L
    0x32, 0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, // M to X
    0x15, 0x2C,                                                             // Y, Z
    0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B,             // 1 to 9, 0
    0x1C, 0x01, 0x0E, 0x0F, 0x39,                 // Return, Escape, Backspace, Tab, Space
    0x0C, 0x0D, 0x1A, 0x1B, 0x2B,                 // - = [ ] and backslash
    0x2B, 0x27, 0x28, 0x29, 0x33, 0x34, 0x35,     // the ISO # key, ; ' ` , . /
    0x3A,                                         // Caps Lock
    0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x44, 0x57, 0x58, // F1 to F12
    0xE037, 0x46, 0x45,                           // Print Screen, Scroll Lock, Pause
    0xE052, 0xE047, 0xE049, 0xE053, 0xE04F, 0xE051, // Insert, Home, Page Up, Delete, End, Page Down
    0xE04D, 0xE04B, 0xE050, 0xE048,               // Right, Left, Down, Up
    0xE045, 0xE035, 0x37, 0x4A, 0x4E, 0xE01C,     // Num Lock, keypad / * - + Enter
    0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49, 0x52, 0x53, // keypad 1 to 9, 0, .
    0x56, 0xE05D,                                 // the ISO key beside left Shift, Application
};
const std::uint8_t vk_codes[] = {
    0, 0, 0, 0, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P',
    'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', '1', '2', '3', '4', '5', '6', '7', '8', '9',
    '0', VK_RETURN, VK_ESCAPE, VK_BACK, VK_TAB, VK_SPACE, VK_OEM_MINUS, VK_OEM_PLUS, VK_OEM_4,
    VK_OEM_6, VK_OEM_5, 0, VK_OEM_1, VK_OEM_7, VK_OEM_3, VK_OEM_COMMA, VK_OEM_PERIOD, VK_OEM_2,
    VK_CAPITAL, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, VK_SNAPSHOT, VK_SCROLL, VK_PAUSE, VK_INSERT,
    VK_HOME, VK_PRIOR, VK_DELETE, VK_END, VK_NEXT, VK_RIGHT, VK_LEFT, VK_DOWN, VK_UP, VK_NUMLOCK,
    VK_DIVIDE, VK_MULTIPLY, VK_SUBTRACT, VK_ADD, VK_RETURN, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    VK_DECIMAL, VK_OEM_102, VK_APPS,
};
// clang-format on
static_assert(sizeof set1_codes / sizeof set1_codes[0] == sizeof vk_codes,
              "a scan code and a virtual-key code for each usage up to Application");
// F13 to F24 (usages 0x68 to 0x73), then left Ctrl, Shift, Alt, Windows key and the right ones
// (0xE0 to 0xE7).
const std::uint16_t set1_f13_to_f24[] = {0x64, 0x65, 0x66, 0x67, 0x68, 0x69,
                                         0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x76};
const std::uint16_t set1_modifiers[] = {0x1D, 0x2A, 0x38, 0xE05B, 0xE01D, 0x36, 0xE038, 0xE05C};
const std::uint8_t vk_modifiers[] = {VK_CONTROL, VK_SHIFT, VK_MENU, VK_LWIN,
                                     VK_CONTROL, VK_SHIFT, VK_MENU, VK_RWIN};
constexpr unsigned usage_f1 = 0x3A;
constexpr unsigned usage_keypad_1 = 0x59;
constexpr unsigned usage_f13 = 0x68;
constexpr unsigned usage_left_ctrl = 0xE0;

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

unsigned virtual_key(unsigned usage, unsigned typed) {
    // Character keys by what the layout puts on them, but for the keypad's (usages 0x54 to 0x63).
    const bool keypad = usage >= 0x54 && usage <= 0x63;
    if (!keypad && typed >= 'a' && typed <= 'z') {
        return typed - 'a' + 'A';
    }
    if (!keypad && ((typed >= 'A' && typed <= 'Z') || (typed >= '0' && typed <= '9'))) {
        return typed;
    }
    // Every other key by its position, letters and digits whose layout gives them no Latin
    // character too.
    if (usage >= usage_f1 && usage < usage_f1 + 12) {
        return VK_F1 + (usage - usage_f1);
    }
    if (usage >= usage_f13 && usage < usage_f13 + 12) {
        return VK_F13 + (usage - usage_f13);
    }
    if (usage >= usage_keypad_1 && usage < usage_keypad_1 + 10) {
        // From 1 to 9, then 0.
        return VK_NUMPAD0 + (usage - usage_keypad_1 + 1) % 10;
    }
    if (usage < sizeof vk_codes) {
        return vk_codes[usage];
    }
    return usage >= usage_left_ctrl && usage < usage_left_ctrl + 8
               ? vk_modifiers[usage - usage_left_ctrl]
               : 0;
}

unsigned scan_code(unsigned usage) {
    if (usage < sizeof vk_codes) {
        return set1_codes[usage];
    }
    if (usage >= usage_f13 && usage < usage_f13 + 12) {
        return set1_f13_to_f24[usage - usage_f13];
    }
    return usage >= usage_left_ctrl && usage < usage_left_ctrl + 8
               ? set1_modifiers[usage - usage_left_ctrl]
               : 0;
}

bool translate_key(unsigned usage, unsigned typed, bool pressed, bool repeat, bool alt_held,
                   bool ctrl_held, KeyMessage* out) {
    const unsigned vk = virtual_key(usage, typed);
    if (vk == 0) {
        return false;
    }
    *out = key_event_message(vk, scan_code(usage), pressed, repeat, alt_held, ctrl_held);
    return true;
}

} // namespace win32
