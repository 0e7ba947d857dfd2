#include "platform/web/keys.h"

#include "platform/win32/keys.h"

#include <cstring>

namespace web {

namespace {

struct CodeUsage {
    const char* code;
    unsigned usage;
};

// The keys the DOM names by a word; letters, digits, F keys and the keypad's digits are counted
// out in key_usage.
const CodeUsage named_keys[] = {
    {"Enter", 0x28},
    {"Escape", 0x29},
    {"Backspace", 0x2A},
    {"Tab", 0x2B},
    {"Space", 0x2C},
    {"Minus", 0x2D},
    {"Equal", 0x2E},
    {"BracketLeft", 0x2F},
    {"BracketRight", 0x30},
    {"Backslash", 0x31},
    {"Semicolon", 0x33},
    {"Quote", 0x34},
    {"Backquote", 0x35},
    {"Comma", 0x36},
    {"Period", 0x37},
    {"Slash", 0x38},
    {"CapsLock", 0x39},
    {"PrintScreen", 0x46},
    {"ScrollLock", 0x47},
    {"Pause", 0x48},
    {"Insert", 0x49},
    {"Home", 0x4A},
    {"PageUp", 0x4B},
    {"Delete", 0x4C},
    {"End", 0x4D},
    {"PageDown", 0x4E},
    {"ArrowRight", 0x4F},
    {"ArrowLeft", 0x50},
    {"ArrowDown", 0x51},
    {"ArrowUp", 0x52},
    {"NumLock", 0x53},
    {"NumpadDivide", 0x54},
    {"NumpadMultiply", 0x55},
    {"NumpadSubtract", 0x56},
    {"NumpadAdd", 0x57},
    {"NumpadEnter", 0x58},
    {"NumpadDecimal", 0x63},
    {"IntlBackslash", 0x64},
    {"ContextMenu", 0x65},
    {"ControlLeft", 0xE0},
    {"ShiftLeft", 0xE1},
    {"AltLeft", 0xE2},
    {"MetaLeft", 0xE3},
    {"ControlRight", 0xE4},
    {"ShiftRight", 0xE5},
    {"AltRight", 0xE6},
    {"MetaRight", 0xE7},
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

unsigned key_usage(const char* code) {
    if (code == nullptr) {
        return 0;
    }
    if (starts_with(code, "Key") && std::strlen(code) == 4 && code[3] >= 'A' && code[3] <= 'Z') {
        return 0x04 + static_cast<unsigned>(code[3] - 'A');
    }
    // The digits row runs from 1 to 0, the keypad's digits from 1 to 0 too.
    const int digit = starts_with(code, "Digit")    ? number_after(code, "Digit")
                      : starts_with(code, "Numpad") ? number_after(code, "Numpad")
                                                    : -1;
    if (digit >= 0 && digit <= 9) {
        const unsigned first = starts_with(code, "Digit") ? 0x1E : 0x59;
        return first + static_cast<unsigned>(digit == 0 ? 9 : digit - 1);
    }
    if (starts_with(code, "F")) {
        const int n = number_after(code, "F");
        if (n >= 1 && n <= 12) {
            return 0x3A + static_cast<unsigned>(n - 1);
        }
        if (n >= 13 && n <= 24) {
            return 0x68 + static_cast<unsigned>(n - 13);
        }
    }
    for (const CodeUsage& entry : named_keys) {
        if (std::strcmp(entry.code, code) == 0) {
            return entry.usage;
        }
    }
    return 0;
}

unsigned typed(const char* key) {
    return key != nullptr && key[0] > 0 && key[1] == '\0' ? static_cast<unsigned>(key[0]) : 0;
}

unsigned virtual_key(const char* code, const char* key) {
    return win32::virtual_key(key_usage(code), typed(key));
}

unsigned scan_code(const char* code) {
    return win32::scan_code(key_usage(code));
}

} // namespace web
