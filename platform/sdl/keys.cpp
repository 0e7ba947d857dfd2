#include "platform/sdl/keys.h"

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

bool is_extended_key(SDL_Scancode scancode) {
    switch (scancode) {
    case SDL_SCANCODE_INSERT:
    case SDL_SCANCODE_DELETE:
    case SDL_SCANCODE_HOME:
    case SDL_SCANCODE_END:
    case SDL_SCANCODE_PAGEUP:
    case SDL_SCANCODE_PAGEDOWN:
    case SDL_SCANCODE_LEFT:
    case SDL_SCANCODE_RIGHT:
    case SDL_SCANCODE_UP:
    case SDL_SCANCODE_DOWN:
    case SDL_SCANCODE_RCTRL:
    case SDL_SCANCODE_RALT:
    case SDL_SCANCODE_KP_ENTER:
    case SDL_SCANCODE_KP_DIVIDE:
    case SDL_SCANCODE_NUMLOCKCLEAR:
    case SDL_SCANCODE_PRINTSCREEN:
    case SDL_SCANCODE_LGUI:
    case SDL_SCANCODE_RGUI:
    case SDL_SCANCODE_APPLICATION:
        return true;
    default:
        return false;
    }
}

bool translate_key(const SDL_KeyboardEvent& key, win32::KeyMessage* out) {
    const unsigned vk = virtual_key(key.keysym.sym, key.keysym.scancode);
    if (vk == 0) {
        return false;
    }
    *out = win32::key_event_message(
        vk, key.type == SDL_KEYDOWN, key.repeat != 0, is_extended_key(key.keysym.scancode),
        (key.keysym.mod & KMOD_ALT) != 0, (key.keysym.mod & KMOD_CTRL) != 0);
    return true;
}

} // namespace sdl
