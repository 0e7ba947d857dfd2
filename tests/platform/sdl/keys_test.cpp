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

// DefWindowProcA reads bit 29 to tell Alt+F4 from F4; the program may read the others. Scan codes
// are set 1's, as Windows reports them: Left is 0x4B with the extended flag, keypad 4 the same code
// without it.
TEST(Keys, LParamCarriesRepeatScanCodeAltAndTransitionBits) {
    EXPECT_EQ(win32::key_lparam(true, false, 0x1E, false), 0x001E0001);
    EXPECT_EQ(win32::key_lparam(true, true, 0x1E, false), 0x401E0001);
    EXPECT_EQ(win32::key_lparam(false, false, 0x1E, false), static_cast<LPARAM>(0xC01E0001u));
    EXPECT_EQ(win32::key_lparam(true, false, 0xE04B, false), 0x014B0001);
    EXPECT_EQ(win32::key_lparam(true, false, 0x3E, true), 0x203E0001);

    EXPECT_EQ(win32::scan_code(SDL_SCANCODE_LEFT), 0xE04Bu);
    EXPECT_EQ(win32::scan_code(SDL_SCANCODE_KP_4), 0x4Bu);
    EXPECT_EQ(win32::scan_code(SDL_SCANCODE_PAGEDOWN), 0xE051u);
    EXPECT_EQ(win32::scan_code(SDL_SCANCODE_A), 0x1Eu);
    EXPECT_EQ(win32::scan_code(SDL_SCANCODE_M), 0x32u);
    EXPECT_EQ(win32::scan_code(SDL_SCANCODE_Z), 0x2Cu);
    EXPECT_EQ(win32::scan_code(SDL_SCANCODE_0), 0x0Bu);
    EXPECT_EQ(win32::scan_code(SDL_SCANCODE_SLASH), 0x35u);
    EXPECT_EQ(win32::scan_code(SDL_SCANCODE_F12), 0x58u);
    EXPECT_EQ(win32::scan_code(SDL_SCANCODE_KP_ENTER), 0xE01Cu);
    EXPECT_EQ(win32::scan_code(SDL_SCANCODE_APPLICATION), 0xE05Du);
    EXPECT_EQ(win32::scan_code(SDL_SCANCODE_F24), 0x76u);
    EXPECT_EQ(win32::scan_code(SDL_SCANCODE_RSHIFT), 0x36u);
    EXPECT_EQ(win32::scan_code(SDL_SCANCODE_RALT), 0xE038u);
    EXPECT_EQ(win32::scan_code(SDL_SCANCODE_AUDIOPLAY), 0u);
    // Every key that gets a virtual-key code has a scan code too.
    for (int code = 0; code < SDL_NUM_SCANCODES; ++code) {
        const auto scancode = static_cast<SDL_Scancode>(code);
        if (sdl::virtual_key(SDLK_UNKNOWN, scancode) != 0) {
            EXPECT_NE(win32::scan_code(scancode), 0u) << SDL_GetScancodeName(scancode);
        }
    }
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

win32::KeyMessage translated(Uint32 type, SDL_Keycode sym, SDL_Scancode scancode, Uint16 mod,
                             Uint8 repeat = 0) {
    win32::KeyMessage message{};
    EXPECT_TRUE(sdl::translate_key(key_event(type, sym, scancode, mod, repeat), &message));
    return message;
}

void expect_message(const win32::KeyMessage& message, UINT number, unsigned vk, unsigned lparam) {
    EXPECT_EQ(message.message, number);
    EXPECT_EQ(message.wparam, static_cast<WPARAM>(vk));
    EXPECT_EQ(message.lparam, static_cast<LPARAM>(lparam));
}

// Whole events as the message loop posts them: Alt+F4 must reach DefWindowProcA as a system key
// with the Alt bit, and an untranslated key must post nothing.
TEST(Keys, EventsBecomeWholeMessages) {
    expect_message(translated(SDL_KEYDOWN, SDLK_F4, SDL_SCANCODE_F4, KMOD_LALT), WM_SYSKEYDOWN,
                   VK_F4, 0x203E0001);
    expect_message(translated(SDL_KEYUP, SDLK_F4, SDL_SCANCODE_F4, KMOD_LALT), WM_SYSKEYUP, VK_F4,
                   0xE03E0001);
    // An auto-repeated arrow with Ctrl+Alt held stays an ordinary, extended key.
    expect_message(translated(SDL_KEYDOWN, SDLK_UP, SDL_SCANCODE_UP, KMOD_LCTRL | KMOD_RALT, 1),
                   WM_KEYDOWN, VK_UP, 0x61480001);
    // F10 is a system key without Alt.
    expect_message(translated(SDL_KEYDOWN, SDLK_F10, SDL_SCANCODE_F10, KMOD_NONE), WM_SYSKEYDOWN,
                   VK_F10, 0x00440001);
    expect_message(translated(SDL_KEYUP, SDLK_F10, SDL_SCANCODE_F10, KMOD_NONE), WM_SYSKEYUP,
                   VK_F10, 0xC0440001);

    win32::KeyMessage message{0x1234, 5, 6};
    EXPECT_FALSE(sdl::translate_key(
        key_event(SDL_KEYDOWN, SDLK_AUDIOPLAY, SDL_SCANCODE_AUDIOPLAY, KMOD_NONE), &message));
    EXPECT_EQ(message.message, 0x1234u);
}

// Alt by Windows' recorded sequences (user32's input tests): released after Alt+key it is WM_KEYUP
// (lmenu_vkey), alone WM_SYSKEYUP (menu, rmenu); with Ctrl held, keys are ordinary keys with the
// Alt bit, and Ctrl's release while Alt is held a system key (lmenu_lcontrol_vkey). SDL's
// modifiers are those after the event, so a released key is no longer among them.
TEST(Keys, AltFollowsWindowsRecordedSequences) {
    // lmenu_vkey
    expect_message(translated(SDL_KEYDOWN, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_LALT), WM_SYSKEYDOWN,
                   VK_MENU, 0x20380001);
    expect_message(translated(SDL_KEYDOWN, SDLK_x, SDL_SCANCODE_X, KMOD_LALT), WM_SYSKEYDOWN, 'X',
                   0x202D0001);
    expect_message(translated(SDL_KEYUP, SDLK_x, SDL_SCANCODE_X, KMOD_LALT), WM_SYSKEYUP, 'X',
                   0xE02D0001);
    expect_message(translated(SDL_KEYUP, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_NONE), WM_KEYUP,
                   VK_MENU, 0xC0380001);

    // menu, and rmenu with its extended flag
    expect_message(translated(SDL_KEYDOWN, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_LALT), WM_SYSKEYDOWN,
                   VK_MENU, 0x20380001);
    expect_message(translated(SDL_KEYUP, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_NONE), WM_SYSKEYUP,
                   VK_MENU, 0xC0380001);
    expect_message(translated(SDL_KEYDOWN, SDLK_RALT, SDL_SCANCODE_RALT, KMOD_RALT), WM_SYSKEYDOWN,
                   VK_MENU, 0x21380001);
    expect_message(translated(SDL_KEYUP, SDLK_RALT, SDL_SCANCODE_RALT, KMOD_NONE), WM_SYSKEYUP,
                   VK_MENU, 0xC1380001);

    // lmenu_lcontrol_vkey
    const Uint16 both = KMOD_LALT | KMOD_LCTRL;
    expect_message(translated(SDL_KEYDOWN, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_LALT), WM_SYSKEYDOWN,
                   VK_MENU, 0x20380001);
    expect_message(translated(SDL_KEYDOWN, SDLK_LCTRL, SDL_SCANCODE_LCTRL, both), WM_KEYDOWN,
                   VK_CONTROL, 0x201D0001);
    expect_message(translated(SDL_KEYDOWN, SDLK_x, SDL_SCANCODE_X, both), WM_KEYDOWN, 'X',
                   0x202D0001);
    expect_message(translated(SDL_KEYUP, SDLK_x, SDL_SCANCODE_X, both), WM_KEYUP, 'X', 0xE02D0001);
    expect_message(translated(SDL_KEYUP, SDLK_LCTRL, SDL_SCANCODE_LCTRL, KMOD_LALT), WM_SYSKEYUP,
                   VK_CONTROL, 0xE01D0001);
    expect_message(translated(SDL_KEYUP, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_NONE), WM_KEYUP,
                   VK_MENU, 0xC0380001);
}

} // namespace
