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

const char* const extended_keys[] = {
    "Insert",       "Delete",    "Home",        "End",          "PageUp",
    "PageDown",     "ArrowLeft", "ArrowRight",  "ArrowUp",      "ArrowDown",
    "ControlRight", "AltRight",  "NumpadEnter", "NumpadDivide", "NumLock",
    "PrintScreen",  "MetaLeft",  "MetaRight",   "ContextMenu",
};

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

bool is_extended_key(const char* code) {
    if (code == nullptr) {
        return false;
    }
    for (const char* extended : extended_keys) {
        if (std::strcmp(extended, code) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace web
