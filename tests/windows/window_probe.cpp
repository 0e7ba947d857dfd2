// Looks at the show from the outside while it runs under Wine: started in the same Wine prefix
// (so on the same desktop), it prints what a person would see, for the end-to-end script to check.
//
//   window_probe modes    the current display mode, the modes on offer, and whether the show's
//                         640 x 480 x 16 fullscreen mode would be accepted
//   window_probe windows  every visible top-level window: caption, class, styles, position,
//                         client size; for a message box also its text and its buttons
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

// Prints text as one line, with line breaks written as \n.
void print_escaped(const char* text) {
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '\n') {
            std::fputs("\\n", stdout);
        } else if (*c != '\r') {
            std::fputc(*c, stdout);
        }
    }
}

const char* change_result_name(LONG result) {
    switch (result) {
    case DISP_CHANGE_SUCCESSFUL:
        return "DISP_CHANGE_SUCCESSFUL";
    case DISP_CHANGE_RESTART:
        return "DISP_CHANGE_RESTART";
    case DISP_CHANGE_FAILED:
        return "DISP_CHANGE_FAILED";
    case DISP_CHANGE_BADMODE:
        return "DISP_CHANGE_BADMODE";
    case DISP_CHANGE_BADFLAGS:
        return "DISP_CHANGE_BADFLAGS";
    case DISP_CHANGE_BADPARAM:
        return "DISP_CHANGE_BADPARAM";
    default:
        return "other";
    }
}

int print_modes() {
    DEVMODEA mode{};
    mode.dmSize = sizeof(mode);
    if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) {
        std::printf("current %lux%lux%lu\n", mode.dmPelsWidth, mode.dmPelsHeight,
                    mode.dmBitsPerPel);
    }
    for (DWORD i = 0;; ++i) {
        DEVMODEA listed{};
        listed.dmSize = sizeof(listed);
        if (!EnumDisplaySettingsA(nullptr, i, &listed)) {
            break;
        }
        std::printf("mode %lux%lux%lu\n", listed.dmPelsWidth, listed.dmPelsHeight,
                    listed.dmBitsPerPel);
    }
    // The request the show makes, tested without changing anything.
    DEVMODEA wanted{};
    wanted.dmSize = sizeof(wanted);
    wanted.dmPelsWidth = 640;
    wanted.dmPelsHeight = 480;
    wanted.dmBitsPerPel = 16;
    wanted.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    const LONG result = ChangeDisplaySettingsA(&wanted, CDS_TEST | CDS_FULLSCREEN);
    std::printf("change 640x480x16 %s\n", change_result_name(result));
    return 0;
}

BOOL CALLBACK print_button(HWND child, LPARAM) {
    char class_name[64] = {};
    GetClassNameA(child, class_name, sizeof(class_name));
    if (std::strcmp(class_name, "Button") == 0) {
        char text[256] = {};
        GetWindowTextA(child, text, sizeof(text));
        std::printf("  button %d \"", GetDlgCtrlID(child));
        print_escaped(text);
        std::fputs("\"\n", stdout);
    }
    return TRUE;
}

BOOL CALLBACK print_window(HWND window, LPARAM) {
    if (!IsWindowVisible(window)) {
        return TRUE;
    }
    char caption[256] = {};
    char class_name[64] = {};
    GetWindowTextA(window, caption, sizeof(caption));
    GetClassNameA(window, class_name, sizeof(class_name));
    RECT outer{};
    RECT client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    std::fputs("window \"", stdout);
    print_escaped(caption);
    std::printf("\" class \"%s\" style 0x%08lX exstyle 0x%08lX at %ld,%ld client %ldx%ld\n",
                class_name, static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)), outer.left,
                outer.top, client.right - client.left, client.bottom - client.top);
    // A message box keeps its text in the static control with identifier 0xFFFF.
    char text[512] = {};
    if (GetDlgItemTextA(window, 0xFFFF, text, sizeof(text)) > 0) {
        std::fputs("  text \"", stdout);
        print_escaped(text);
        std::fputs("\"\n", stdout);
        EnumChildWindows(window, print_button, 0);
    }
    return TRUE;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "modes") == 0) {
        return print_modes();
    }
    if (argc == 2 && std::strcmp(argv[1], "windows") == 0) {
        EnumWindows(print_window, 0);
        return 0;
    }
    std::fputs("usage: window_probe modes|windows\n", stderr);
    return 2;
}
