#include "platform/web/keys.h"

#include "platform/win32.h"

#include <cstring>

namespace web {

namespace {

struct CodeKey {
    const char* code;
    unsigned vk;
};

// Positional keys. Codes the Win32 header leaves out are written as numbers with their Windows
// names beside them.
const CodeKey positional_keys[] = {
    {"Backspace", VK_BACK},
    {"Tab", VK_TAB},
    {"Enter", VK_RETURN},
    {"ShiftLeft", VK_SHIFT},
    {"ShiftRight", VK_SHIFT},
    {"ControlLeft", VK_CONTROL},
    {"ControlRight", VK_CONTROL},
    {"AltLeft", VK_MENU},
    {"AltRight", VK_MENU},
    {"Pause", VK_PAUSE},
    {"CapsLock", VK_CAPITAL},
    {"Escape", VK_ESCAPE},
    {"Space", VK_SPACE},
    {"PageUp", VK_PRIOR},
    {"PageDown", VK_NEXT},
    {"End", VK_END},
    {"Home", VK_HOME},
    {"ArrowLeft", VK_LEFT},
    {"ArrowUp", VK_UP},
    {"ArrowRight", VK_RIGHT},
    {"ArrowDown", VK_DOWN},
    {"PrintScreen", 0x2C}, // VK_SNAPSHOT
    {"Insert", VK_INSERT},
    {"Delete", VK_DELETE},
    {"MetaLeft", 0x5B},       // VK_LWIN
    {"MetaRight", 0x5C},      // VK_RWIN
    {"ContextMenu", 0x5D},    // VK_APPS
    {"NumpadMultiply", 0x6A}, // VK_MULTIPLY
    {"NumpadAdd", 0x6B},      // VK_ADD
    {"NumpadSubtract", 0x6D}, // VK_SUBTRACT
    {"NumpadDecimal", 0x6E},  // VK_DECIMAL
    {"NumpadDivide", 0x6F},   // VK_DIVIDE
    {"NumpadEnter", VK_RETURN},
    {"NumLock", 0x90},       // VK_NUMLOCK
    {"ScrollLock", 0x91},    // VK_SCROLL
    {"Semicolon", 0xBA},     // VK_OEM_1
    {"Equal", 0xBB},         // VK_OEM_PLUS
    {"Comma", 0xBC},         // VK_OEM_COMMA
    {"Minus", 0xBD},         // VK_OEM_MINUS
    {"Period", 0xBE},        // VK_OEM_PERIOD
    {"Slash", 0xBF},         // VK_OEM_2
    {"Backquote", 0xC0},     // VK_OEM_3
    {"BracketLeft", 0xDB},   // VK_OEM_4
    {"Backslash", 0xDC},     // VK_OEM_5
    {"BracketRight", 0xDD},  // VK_OEM_6
    {"Quote", 0xDE},         // VK_OEM_7
    {"IntlBackslash", 0xE2}, // VK_OEM_102
};

struct CodeScan {
    const char* code;
    unsigned scan;
};

// Windows' scan codes (set 1) of the keys named by position; 0xE0 in the high byte marks the keys
// Windows flags as extended (the navigation cluster, the right-hand modifiers). Letters, digits,
// F keys and the keypad's digits are in the arrays below.
const CodeScan positional_scans[] = {
    {"Enter", 0x1C},          {"Escape", 0x01},
    {"Backspace", 0x0E},      {"Tab", 0x0F},
    {"Space", 0x39},          {"Minus", 0x0C},
    {"Equal", 0x0D},          {"BracketLeft", 0x1A},
    {"BracketRight", 0x1B},   {"Backslash", 0x2B},
    {"Semicolon", 0x27},      {"Quote", 0x28},
    {"Backquote", 0x29},      {"Comma", 0x33},
    {"Period", 0x34},         {"Slash", 0x35},
    {"CapsLock", 0x3A},       {"PrintScreen", 0xE037},
    {"ScrollLock", 0x46},     {"Pause", 0x45},
    {"Insert", 0xE052},       {"Home", 0xE047},
    {"PageUp", 0xE049},       {"Delete", 0xE053},
    {"End", 0xE04F},          {"PageDown", 0xE051},
    {"ArrowRight", 0xE04D},   {"ArrowLeft", 0xE04B},
    {"ArrowDown", 0xE050},    {"ArrowUp", 0xE048},
    {"NumLock", 0xE045},      {"NumpadDivide", 0xE035},
    {"NumpadMultiply", 0x37}, {"NumpadSubtract", 0x4A},
    {"NumpadAdd", 0x4E},      {"NumpadEnter", 0xE01C},
    {"NumpadDecimal", 0x53},  {"IntlBackslash", 0x56},
    {"ContextMenu", 0xE05D},  {"ControlLeft", 0x1D},
    {"ShiftLeft", 0x2A},      {"AltLeft", 0x38},
    {"MetaLeft", 0xE05B},     {"ControlRight", 0xE01D},
    {"ShiftRight", 0x36},     {"AltRight", 0xE038},
    {"MetaRight", 0xE05C},
};
const unsigned letter_scans[] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                 0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C}; // A to Z
const unsigned f_key_scans[] = {0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42,
                                0x43, 0x44, 0x57, 0x58, 0x64, 0x65, 0x66, 0x67,
                                0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x76}; // F1 to F24
const unsigned keypad_digit_scans[] = {0x52, 0x4F, 0x50, 0x51, 0x4B,
                                       0x4C, 0x4D, 0x47, 0x48, 0x49}; // keypad 0 to 9

bool starts_with(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The number after a prefix ("F12" after "F"), or -1 when the rest is not a number of one or two
// digits.
int number_after(const char* text, const char* prefix) {
    const char* digits = text + std::strlen(prefix);
    const std::size_t length = std::strlen(digits);
    if (length < 1 || length > 2 || digits[0] < '0' || digits[0] > '9' ||
        (length == 2 && (digits[1] < '0' || digits[1] > '9'))) {
        return -1;
    }
    int number = digits[0] - '0';
    if (length == 2) {
        number = number * 10 + (digits[1] - '0');
    }
    return number;
}

} // namespace

unsigned virtual_key(const char* code, const char* key) {
    if (code == nullptr) {
        return 0;
    }
    if (key == nullptr) {
        key = "";
    }
    // The keypad's digits by position: on Windows they are the keypad's own codes.
    if (starts_with(code, "Numpad")) {
        const int digit = number_after(code, "Numpad");
        if (digit >= 0 && digit <= 9) {
            return VK_NUMPAD0 + static_cast<unsigned>(digit);
        }
    } else if (key[0] != '\0' && key[1] == '\0') {
        // Character keys by what the layout puts on them.
        const char c = key[0];
        if (c >= 'a' && c <= 'z') {
            return 'A' + static_cast<unsigned>(c - 'a');
        }
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            return static_cast<unsigned>(c);
        }
    }
    // Letters and digits whose layout gives them no Latin character keep their position.
    if (starts_with(code, "Key") && std::strlen(code) == 4 && code[3] >= 'A' && code[3] <= 'Z') {
        return static_cast<unsigned>(code[3]);
    }
    if (starts_with(code, "Digit") && std::strlen(code) == 6 && code[5] >= '0' && code[5] <= '9') {
        return static_cast<unsigned>(code[5]);
    }
    if (starts_with(code, "F")) {
        const int n = number_after(code, "F");
        if (n >= 1 && n <= 24) {
            return VK_F1 + static_cast<unsigned>(n - 1);
        }
    }
    for (const CodeKey& entry : positional_keys) {
        if (std::strcmp(entry.code, code) == 0) {
            return entry.vk;
        }
    }
    return 0;
}

unsigned scan_code(const char* code) {
    if (code == nullptr) {
        return 0;
    }
    if (starts_with(code, "Key") && std::strlen(code) == 4 && code[3] >= 'A' && code[3] <= 'Z') {
        return letter_scans[code[3] - 'A'];
    }
    if (starts_with(code, "Digit")) {
        const int digit = number_after(code, "Digit");
        if (digit >= 0 && digit <= 9) {
            // Windows numbers the row from 1 (0x02) to 0 (0x0B).
            return digit == 0 ? 0x0Bu : 0x01u + static_cast<unsigned>(digit);
        }
    }
    if (starts_with(code, "Numpad")) {
        const int digit = number_after(code, "Numpad");
        if (digit >= 0 && digit <= 9) {
            return keypad_digit_scans[digit];
        }
    }
    if (starts_with(code, "F")) {
        const int n = number_after(code, "F");
        if (n >= 1 && n <= 24) {
            return f_key_scans[n - 1];
        }
    }
    for (const CodeScan& entry : positional_scans) {
        if (std::strcmp(entry.code, code) == 0) {
            return entry.scan;
        }
    }
    return 0;
}

} // namespace web
