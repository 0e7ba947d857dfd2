#include "platform/sdl/keys.h"

#include <cstdint>

namespace sdl {

namespace {

struct ScancodeKey {
    SDL_Scancode scancode;
    unsigned vk;
};

// Positional keys. Codes the Win32 header leaves out are written as numbers with their Windows
// names beside them.
const ScancodeKey positional_keys[] = {
    {SDL_SCANCODE_BACKSPACE, VK_BACK},   {SDL_SCANCODE_TAB, VK_TAB},
    {SDL_SCANCODE_RETURN, VK_RETURN},    {SDL_SCANCODE_KP_ENTER, VK_RETURN},
    {SDL_SCANCODE_LSHIFT, VK_SHIFT},     {SDL_SCANCODE_RSHIFT, VK_SHIFT},
    {SDL_SCANCODE_LCTRL, VK_CONTROL},    {SDL_SCANCODE_RCTRL, VK_CONTROL},
    {SDL_SCANCODE_LALT, VK_MENU},        {SDL_SCANCODE_RALT, VK_MENU},
    {SDL_SCANCODE_PAUSE, VK_PAUSE},      {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE},    {SDL_SCANCODE_SPACE, VK_SPACE},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR},     {SDL_SCANCODE_PAGEDOWN, VK_NEXT},
    {SDL_SCANCODE_END, VK_END},          {SDL_SCANCODE_HOME, VK_HOME},
    {SDL_SCANCODE_LEFT, VK_LEFT},        {SDL_SCANCODE_UP, VK_UP},
    {SDL_SCANCODE_RIGHT, VK_RIGHT},      {SDL_SCANCODE_DOWN, VK_DOWN},
    {SDL_SCANCODE_PRINTSCREEN, 0x2C}, // VK_SNAPSHOT
    {SDL_SCANCODE_INSERT, VK_INSERT},    {SDL_SCANCODE_DELETE, VK_DELETE},
    {SDL_SCANCODE_LGUI, 0x5B},           // VK_LWIN
    {SDL_SCANCODE_RGUI, 0x5C},           // VK_RWIN
    {SDL_SCANCODE_APPLICATION, 0x5D},    // VK_APPS
    {SDL_SCANCODE_KP_MULTIPLY, 0x6A},    // VK_MULTIPLY
    {SDL_SCANCODE_KP_PLUS, 0x6B},        // VK_ADD
    {SDL_SCANCODE_KP_MINUS, 0x6D},       // VK_SUBTRACT
    {SDL_SCANCODE_KP_PERIOD, 0x6E},      // VK_DECIMAL
    {SDL_SCANCODE_KP_DIVIDE, 0x6F},      // VK_DIVIDE
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x90},   // VK_NUMLOCK
    {SDL_SCANCODE_SCROLLLOCK, 0x91},     // VK_SCROLL
    {SDL_SCANCODE_SEMICOLON, 0xBA},      // VK_OEM_1
    {SDL_SCANCODE_EQUALS, 0xBB},         // VK_OEM_PLUS
    {SDL_SCANCODE_COMMA, 0xBC},          // VK_OEM_COMMA
    {SDL_SCANCODE_MINUS, 0xBD},          // VK_OEM_MINUS
    {SDL_SCANCODE_PERIOD, 0xBE},         // VK_OEM_PERIOD
    {SDL_SCANCODE_SLASH, 0xBF},          // VK_OEM_2
    {SDL_SCANCODE_GRAVE, 0xC0},          // VK_OEM_3
    {SDL_SCANCODE_LEFTBRACKET, 0xDB},    // VK_OEM_4
    {SDL_SCANCODE_BACKSLASH, 0xDC},      // VK_OEM_5
    {SDL_SCANCODE_RIGHTBRACKET, 0xDD},   // VK_OEM_6
    {SDL_SCANCODE_APOSTROPHE, 0xDE},     // VK_OEM_7
    {SDL_SCANCODE_NONUSBACKSLASH, 0xE2}, // VK_OEM_102
};

// Windows' scan codes (set 1) by SDL's scancode, which is the key's USB usage, from 0 to
// SDL_SCANCODE_APPLICATION; 0xE0 in the high byte marks the keys that Windows flags as extended.
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
// clang-format on
static_assert(sizeof set1_codes / sizeof set1_codes[0] == SDL_SCANCODE_APPLICATION + 1,
              "one scan code for each SDL scancode up to Application");
const std::uint16_t set1_f13_to_f24[] = {0x64, 0x65, 0x66, 0x67, 0x68, 0x69,
                                         0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x76};
// Left Ctrl, Shift, Alt, Windows key, then the right ones.
const std::uint16_t set1_modifiers[] = {0x1D, 0x2A, 0x38, 0xE05B, 0xE01D, 0x36, 0xE038, 0xE05C};

} // namespace

unsigned virtual_key(SDL_Keycode sym, SDL_Scancode scancode) {
    // Character keys by what the layout puts on them.
    if (sym >= SDLK_a && sym <= SDLK_z) {
        return 'A' + static_cast<unsigned>(sym - SDLK_a);
    }
    if (sym >= SDLK_0 && sym <= SDLK_9) {
        return '0' + static_cast<unsigned>(sym - SDLK_0);
    }
    // Letters and digits whose layout gives them no Latin character keep their position.
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) {
        return 'A' + static_cast<unsigned>(scancode - SDL_SCANCODE_A);
    }
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) {
        return '1' + static_cast<unsigned>(scancode - SDL_SCANCODE_1);
    }
    if (scancode == SDL_SCANCODE_0) {
        return '0';
    }
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12) {
        return VK_F1 + static_cast<unsigned>(scancode - SDL_SCANCODE_F1);
    }
    if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24) {
        return VK_F1 + 12 + static_cast<unsigned>(scancode - SDL_SCANCODE_F13);
    }
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9) {
        return VK_NUMPAD0 + 1 + static_cast<unsigned>(scancode - SDL_SCANCODE_KP_1);
    }
    if (scancode == SDL_SCANCODE_KP_0) {
        return VK_NUMPAD0;
    }
    for (const ScancodeKey& key : positional_keys) {
        if (key.scancode == scancode) {
            return key.vk;
        }
    }
    return 0;
}

unsigned scan_code(SDL_Scancode scancode) {
    const auto code = static_cast<unsigned>(scancode);
    if (code < sizeof set1_codes / sizeof set1_codes[0]) {
        return set1_codes[code];
    }
    if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24) {
        return set1_f13_to_f24[code - SDL_SCANCODE_F13];
    }
    if (scancode >= SDL_SCANCODE_LCTRL && scancode <= SDL_SCANCODE_RGUI) {
        return set1_modifiers[code - SDL_SCANCODE_LCTRL];
    }
    return 0;
}

bool translate_key(const SDL_KeyboardEvent& key, win32::KeyMessage* out) {
    const unsigned vk = virtual_key(key.keysym.sym, key.keysym.scancode);
    if (vk == 0) {
        return false;
    }
    *out = win32::key_event_message(vk, scan_code(key.keysym.scancode), key.type == SDL_KEYDOWN,
                                    key.repeat != 0, (key.keysym.mod & KMOD_ALT) != 0,
                                    (key.keysym.mod & KMOD_CTRL) != 0);
    return true;
}

} // namespace sdl
