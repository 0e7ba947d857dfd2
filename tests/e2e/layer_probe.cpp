// A small Win32 program on the host layer that writes down, on standard output, every message
// its window procedure receives and each call it makes, so that the end-to-end driver can check
// the layer's messages against what Windows sends.
//
// It opens a 320 x 200 overlapped window titled "layer probe" with a GL context and a 10 ms timer,
// then polls like the show. The window procedure handles WM_CLOSE by default (DestroyWindow) and
// WM_DESTROY with PostQuitMessage(0); it refuses SC_SCREENSAVE as the show does. Each frame clears
// to the colour the keys pressed so far pick and swaps. The timer stops it after 60 s. Every 100th
// tick it writes down the time between each of the last 100 ticks and the one before.
#include "platform/gl.h"

#include <array>
#include <cstdio>

namespace {

HDC device = nullptr;
unsigned timer_ticks = 0;
DWORD started_ms = 0;
DWORD last_tick_ms = 0;
std::array<DWORD, 100> gaps{};

void note(const char* what) {
    std::printf("%s\n", what);
    std::fflush(stdout);
}

const char* message_name(UINT message) {
    switch (message) {
    case WM_CREATE:
        return "WM_CREATE";
    case WM_DESTROY:
        return "WM_DESTROY";
    case WM_MOVE:
        return "WM_MOVE";
    case WM_SIZE:
        return "WM_SIZE";
    case WM_ACTIVATE:
        return "WM_ACTIVATE";
    case WM_SETFOCUS:
        return "WM_SETFOCUS";
    case WM_KILLFOCUS:
        return "WM_KILLFOCUS";
    case WM_CLOSE:
        return "WM_CLOSE";
    case WM_SHOWWINDOW:
        return "WM_SHOWWINDOW";
    case WM_ACTIVATEAPP:
        return "WM_ACTIVATEAPP";
    case WM_NCCREATE:
        return "WM_NCCREATE";
    case WM_NCDESTROY:
        return "WM_NCDESTROY";
    case WM_KEYDOWN:
        return "WM_KEYDOWN";
    case WM_KEYUP:
        return "WM_KEYUP";
    case WM_SYSKEYDOWN:
        return "WM_SYSKEYDOWN";
    case WM_SYSKEYUP:
        return "WM_SYSKEYUP";
    case WM_SYSCOMMAND:
        return "WM_SYSCOMMAND";
    default:
        return nullptr;
    }
}

LRESULT CALLBACK probe_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_TIMER) {
        const DWORD now = GetTickCount();
        gaps[timer_ticks % 100] = now - last_tick_ms;
        last_tick_ms = now;
        ++timer_ticks;
        if (timer_ticks % 100 == 0) {
            std::printf("ticks %u at %lu ms, gaps", timer_ticks,
                        static_cast<unsigned long>(now - started_ms));
            for (const DWORD gap : gaps) {
                std::printf(" %lu", static_cast<unsigned long>(gap));
            }
            std::printf("\n");
            std::fflush(stdout);
        }
        if (GetTickCount() - started_ms > 60000) {
            DestroyWindow(window);
            return 0;
        }
        glClear(GL_COLOR_BUFFER_BIT);
        SwapBuffers(device);
        return 0;
    }
    const char* name = message_name(message);
    if (name != nullptr) {
        std::printf("%s %lu %ld ticks=%u\n", name, static_cast<unsigned long>(wparam),
                    static_cast<long>(lparam), timer_ticks);
        std::fflush(stdout);
    }
    switch (message) {
    case WM_KEYDOWN:
        // Keys paint the window so that a screenshot can tell the frames are shown.
        glClearColor(wparam == 'R' ? 1.0f : 0.0f, wparam == 'G' ? 1.0f : 0.0f,
                     wparam == 'B' ? 1.0f : 0.0f, 1.0f);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == SC_SCREENSAVE) {
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    started_ms = GetTickCount();
    WNDCLASSA window_class{};
    window_class.style = CS_OWNDC;
    window_class.lpfnWndProc = probe_proc;
    window_class.hInstance = instance;
    window_class.lpszClassName = "probe";
    if (RegisterClassA(&window_class) == 0) {
        note("RegisterClassA failed");
        return 1;
    }
    note("call CreateWindowExA");
    HWND window = CreateWindowExA(0, "probe", "layer probe",
                                  WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                  320, 200, nullptr, nullptr, instance, nullptr);
    note("return CreateWindowExA");
    if (window == nullptr) {
        return 1;
    }
    SetTimer(window, 0, 10, nullptr);
    last_tick_ms = GetTickCount();
    device = GetDC(window);
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.cColorBits = 16;
    format.cDepthBits = 16;
    if (!SetPixelFormat(device, ChoosePixelFormat(device, &format), &format)) {
        note("SetPixelFormat failed");
        return 1;
    }
    HGLRC context = wglCreateContext(device);
    if (context == nullptr || !wglMakeCurrent(device, context)) {
        note("no GL context");
        return 1;
    }
    note("call ShowWindow");
    ShowWindow(window, SW_SHOW);
    note("call SetFocus");
    SetForegroundWindow(window);
    SetFocus(window);
    note("running");

    MSG msg{};
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(context);
    std::printf("quit %lu after %u ticks\n", static_cast<unsigned long>(msg.wParam), timer_ticks);
    std::fflush(stdout);
    return UnregisterClassA("probe", instance) ? 0 : 1;
}
