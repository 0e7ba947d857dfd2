#include "platform/web/keys.h"

#include <gtest/gtest.h>

namespace {

// The program steers the camera with these; each must arrive as Windows names it, flagged as
// the navigation cluster's keys are.
TEST(WebKeys, CameraKeysGetWindowsCodes) {
    EXPECT_EQ(web::virtual_key("ArrowLeft", "ArrowLeft"), 0x25u);
    EXPECT_EQ(web::virtual_key("ArrowUp", "ArrowUp"), 0x26u);
    EXPECT_EQ(web::virtual_key("ArrowRight", "ArrowRight"), 0x27u);
    EXPECT_EQ(web::virtual_key("ArrowDown", "ArrowDown"), 0x28u);
    EXPECT_EQ(web::virtual_key("PageUp", "PageUp"), 0x21u);
    EXPECT_EQ(web::virtual_key("PageDown", "PageDown"), 0x22u);
    EXPECT_EQ(web::scan_code("ArrowLeft"), 0xE04Bu);
    EXPECT_EQ(web::scan_code("ArrowRight"), 0xE04Du);
    EXPECT_EQ(web::scan_code("PageDown"), 0xE051u);
    EXPECT_EQ(web::scan_code("Numpad4"), 0x4Bu);
    EXPECT_EQ(web::scan_code("Enter"), 0x1Cu);
    EXPECT_EQ(web::scan_code("NumpadEnter"), 0xE01Cu);
    EXPECT_EQ(web::scan_code("KeyR"), 0x13u);
    EXPECT_EQ(web::scan_code("Digit0"), 0x0Bu);
    EXPECT_EQ(web::scan_code("F12"), 0x58u);
    EXPECT_EQ(web::scan_code("Fn"), 0u);
}

TEST(WebKeys, NamedKeysGetWindowsCodes) {
    EXPECT_EQ(web::virtual_key("Escape", "Escape"), 0x1Bu);
    EXPECT_EQ(web::virtual_key("Enter", "Enter"), 0x0Du);
    EXPECT_EQ(web::virtual_key("NumpadEnter", "Enter"), 0x0Du);
    EXPECT_EQ(web::virtual_key("AltRight", "AltGraph"), 0x12u);
    EXPECT_EQ(web::virtual_key("F1", "F1"), 0x70u);
    EXPECT_EQ(web::virtual_key("F4", "F4"), 0x73u);
    EXPECT_EQ(web::virtual_key("F24", "F24"), 0x87u);
    // The keypad's digits are the keypad's own codes, whatever Num Lock makes them type.
    EXPECT_EQ(web::virtual_key("Numpad0", "Insert"), 0x60u);
    EXPECT_EQ(web::virtual_key("Numpad9", "9"), 0x69u);
}

// Letters and digits follow the layout, in upper case: on a French keyboard the key in the US 'Q'
// position types 'a' and is 'A' to Windows; keys that type no Latin letter or digit keep their
// position.
TEST(WebKeys, LettersAndDigitsFollowTheLayout) {
    EXPECT_EQ(web::virtual_key("KeyQ", "a"), static_cast<unsigned>('A'));
    EXPECT_EQ(web::virtual_key("KeyA", "A"), static_cast<unsigned>('A'));
    EXPECT_EQ(web::virtual_key("KeyA", "\xD1\x84"), static_cast<unsigned>('A'));
    EXPECT_EQ(web::virtual_key("Digit1", "&"), static_cast<unsigned>('1'));
    EXPECT_EQ(web::virtual_key("Digit7", "7"), static_cast<unsigned>('7'));
}

TEST(WebKeys, UnknownKeysAreNotTranslated) {
    EXPECT_EQ(web::virtual_key("MediaPlayPause", "MediaPlayPause"), 0u);
    EXPECT_EQ(web::virtual_key("", "Unidentified"), 0u);
    EXPECT_EQ(web::virtual_key("F25", "F25"), 0u);
    EXPECT_EQ(web::virtual_key(nullptr, nullptr), 0u);
}

} // namespace
