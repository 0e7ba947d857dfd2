#include "platform/sdl/keys.h"

#include <gtest/gtest.h>

namespace {

// The program steers the camera with these; each must arrive as Windows names it.
TEST(Keys, CameraKeysGetWindowsCodes) {
    EXPECT_EQ(sdl::virtual_key(SDLK_LEFT, SDL_SCANCODE_LEFT), 0x25u);
    EXPECT_EQ(sdl::virtual_key(SDLK_UP, SDL_SCANCODE_UP), 0x26u);
    EXPECT_EQ(sdl::virtual_key(SDLK_RIGHT, SDL_SCANCODE_RIGHT), 0x27u);
    EXPECT_EQ(sdl::virtual_key(SDLK_DOWN, SDL_SCANCODE_DOWN), 0x28u);
    EXPECT_EQ(sdl::virtual_key(SDLK_PAGEUP, SDL_SCANCODE_PAGEUP), 0x21u);
    EXPECT_EQ(sdl::virtual_key(SDLK_PAGEDOWN, SDL_SCANCODE_PAGEDOWN), 0x22u);
}

TEST(Keys, NamedKeysGetWindowsCodes) {
    EXPECT_EQ(sdl::virtual_key(SDLK_HOME, SDL_SCANCODE_HOME), 0x24u);
    EXPECT_EQ(sdl::virtual_key(SDLK_END, SDL_SCANCODE_END), 0x23u);
    EXPECT_EQ(sdl::virtual_key(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE), 0x1Bu);
    EXPECT_EQ(sdl::virtual_key(SDLK_RETURN, SDL_SCANCODE_RETURN), 0x0Du);
    EXPECT_EQ(sdl::virtual_key(SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER), 0x0Du);
    EXPECT_EQ(sdl::virtual_key(SDLK_SPACE, SDL_SCANCODE_SPACE), 0x20u);
    EXPECT_EQ(sdl::virtual_key(SDLK_F1, SDL_SCANCODE_F1), 0x70u);
    EXPECT_EQ(sdl::virtual_key(SDLK_F4, SDL_SCANCODE_F4), 0x73u);
    EXPECT_EQ(sdl::virtual_key(SDLK_F10, SDL_SCANCODE_F10), 0x79u);
    EXPECT_EQ(sdl::virtual_key(SDLK_F12, SDL_SCANCODE_F12), 0x7Bu);
    EXPECT_EQ(sdl::virtual_key(SDLK_F13, SDL_SCANCODE_F13), 0x7Cu);
    EXPECT_EQ(sdl::virtual_key(SDLK_KP_0, SDL_SCANCODE_KP_0), 0x60u);
    EXPECT_EQ(sdl::virtual_key(SDLK_KP_9, SDL_SCANCODE_KP_9), 0x69u);
}

// Windows reports both Shift keys as VK_SHIFT in key messages, and likewise Ctrl and Alt.
TEST(Keys, ModifiersOfBothSidesShareOneCode) {
    EXPECT_EQ(sdl::virtual_key(SDLK_LSHIFT, SDL_SCANCODE_LSHIFT), 0x10u);
    EXPECT_EQ(sdl::virtual_key(SDLK_RSHIFT, SDL_SCANCODE_RSHIFT), 0x10u);
    EXPECT_EQ(sdl::virtual_key(SDLK_LCTRL, SDL_SCANCODE_LCTRL), 0x11u);
    EXPECT_EQ(sdl::virtual_key(SDLK_RCTRL, SDL_SCANCODE_RCTRL), 0x11u);
    EXPECT_EQ(sdl::virtual_key(SDLK_LALT, SDL_SCANCODE_LALT), 0x12u);
    EXPECT_EQ(sdl::virtual_key(SDLK_RALT, SDL_SCANCODE_RALT), 0x12u);
}

// Letters and digits follow the layout, in upper case: on a French keyboard the key in the US 'Q'
// position types 'a' and is 'A' to Windows.
TEST(Keys, LettersAndDigitsFollowTheLayout) {
    EXPECT_EQ(sdl::virtual_key(SDLK_a, SDL_SCANCODE_A), static_cast<unsigned>('A'));
    EXPECT_EQ(sdl::virtual_key(SDLK_z, SDL_SCANCODE_Z), static_cast<unsigned>('Z'));
    EXPECT_EQ(sdl::virtual_key(SDLK_a, SDL_SCANCODE_Q), static_cast<unsigned>('A'));
    EXPECT_EQ(sdl::virtual_key(SDLK_0, SDL_SCANCODE_0), static_cast<unsigned>('0'));
    EXPECT_EQ(sdl::virtual_key(SDLK_7, SDL_SCANCODE_7), static_cast<unsigned>('7'));
    // A layout without Latin letters keeps the key's position.
    EXPECT_EQ(sdl::virtual_key(0x0444, SDL_SCANCODE_A), static_cast<unsigned>('A'));
    // French digits row: the '1' key types '&' and is still '1' to Windows.
    EXPECT_EQ(sdl::virtual_key(SDLK_AMPERSAND, SDL_SCANCODE_1), static_cast<unsigned>('1'));
    EXPECT_EQ(sdl::virtual_key(0xE0, SDL_SCANCODE_0), static_cast<unsigned>('0'));
}

TEST(Keys, UnknownKeysAreNotTranslated) {
    EXPECT_EQ(sdl::virtual_key(SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN), 0u);
    EXPECT_EQ(sdl::virtual_key(SDLK_AUDIOPLAY, SDL_SCANCODE_AUDIOPLAY), 0u);
}

TEST(Keys, AltCombinationsAndF10AreSystemKeys) {
    EXPECT_TRUE(win32::is_system_key(VK_F4, true, false));
    EXPECT_TRUE(win32::is_system_key('X', true, false));
    EXPECT_TRUE(win32::is_system_key(VK_MENU, false, false)); // Alt's own release
    EXPECT_TRUE(win32::is_system_key(VK_F10, false, false));
    EXPECT_FALSE(win32::is_system_key(VK_LEFT, false, false));
    EXPECT_FALSE(win32::is_system_key(VK_F4, false, false));
    // Ctrl+Alt is AltGr on many keyboards: ordinary keys.
    EXPECT_FALSE(win32::is_system_key('Q', true, true));

    EXPECT_EQ(win32::key_message(true, false), static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(win32::key_message(false, false), static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(win32::key_message(true, true), static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_EQ(win32::key_message(false, true), static_cast<UINT>(WM_SYSKEYUP));
}

// DefWindowProcA reads bit 29 to tell Alt+F4 from F4; the program may read the others.
TEST(Keys, LParamCarriesRepeatAltAndTransitionBits) {
    EXPECT_EQ(win32::key_lparam(true, false, false, false), 0x00000001);
    EXPECT_EQ(win32::key_lparam(true, true, false, false), 0x40000001);
    EXPECT_EQ(win32::key_lparam(false, false, false, false), static_cast<LPARAM>(0xC0000001u));
    EXPECT_EQ(win32::key_lparam(true, false, true, false), 0x01000001);
    EXPECT_EQ(win32::key_lparam(true, false, false, true), 0x20000001);
    EXPECT_TRUE(sdl::is_extended_key(SDL_SCANCODE_RIGHT));
    EXPECT_TRUE(sdl::is_extended_key(SDL_SCANCODE_PAGEDOWN));
    EXPECT_FALSE(sdl::is_extended_key(SDL_SCANCODE_KP_6));
    EXPECT_FALSE(sdl::is_extended_key(SDL_SCANCODE_A));
}

SDL_KeyboardEvent key_event(Uint32 type, SDL_Keycode sym, SDL_Scancode scancode, Uint16 mod,
                            Uint8 repeat = 0) {
    SDL_KeyboardEvent key{};
    key.type = type;
    key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    key.repeat = repeat;
    key.keysym.sym = sym;
    key.keysym.scancode = scancode;
    key.keysym.mod = mod;
    return key;
}

// Whole events as the message loop posts them: Alt+F4 must reach DefWindowProcA as a system key
// with the Alt bit, and an untranslated key must post nothing.
TEST(Keys, EventsBecomeWholeMessages) {
    win32::KeyMessage message{};
    ASSERT_TRUE(
        sdl::translate_key(key_event(SDL_KEYDOWN, SDLK_F4, SDL_SCANCODE_F4, KMOD_LALT), &message));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_EQ(message.wparam, static_cast<WPARAM>(VK_F4));
    EXPECT_EQ(message.lparam, 0x20000001);

    // Alt's own press is a system key with the Alt bit; its release without Alt held has none.
    ASSERT_TRUE(sdl::translate_key(key_event(SDL_KEYDOWN, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_NONE),
                                   &message));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_EQ(message.lparam, 0x20000001);
    ASSERT_TRUE(sdl::translate_key(key_event(SDL_KEYUP, SDLK_RALT, SDL_SCANCODE_RALT, KMOD_NONE),
                                   &message));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_SYSKEYUP));
    EXPECT_EQ(message.lparam, static_cast<LPARAM>(0xC1000001u));

    // An auto-repeated arrow with Ctrl+Alt held stays an ordinary, extended key.
    ASSERT_TRUE(sdl::translate_key(
        key_event(SDL_KEYDOWN, SDLK_UP, SDL_SCANCODE_UP, KMOD_LCTRL | KMOD_RALT, 1), &message));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(message.wparam, static_cast<WPARAM>(VK_UP));
    EXPECT_EQ(message.lparam, 0x61000001);

    message = win32::KeyMessage{0x1234, 5, 6};
    EXPECT_FALSE(sdl::translate_key(
        key_event(SDL_KEYDOWN, SDLK_AUDIOPLAY, SDL_SCANCODE_AUDIOPLAY, KMOD_NONE), &message));
    EXPECT_EQ(message.message, 0x1234u);
}

} // namespace
