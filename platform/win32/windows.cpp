// Window classes, windows, activation and focus, the virtual display mode, the cursor and the
// default window procedure.
#include "platform/win32/backend.h"
#include "platform/win32/message_queue.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <strings.h>
#include <vector>

namespace {

struct WindowClass {
    std::string name;
    WNDPROC proc;
    ATOM atom;
};

std::vector<WindowClass> classes;
ATOM next_atom = 0xC000;

std::vector<std::unique_ptr<host::Window>> windows;
HWND active = nullptr;
HWND focus = nullptr;

enum class Video { untried, running, failed };
Video video = Video::untried;

struct VirtualMode {
    bool on;
    DWORD width;
    DWORD height;
    DWORD bits;
};
VirtualMode virtual_mode = {false, 0, 0, 0};

// Windows' cursor display counter: the cursor shows while it is 0 or more.
int cursor_count = 0;

// While the layer asks a window procedure whether it minds the screen saver: set when the request
// reached DefWindowProcA, that is, was not refused.
bool screen_saver_probe = false;
bool screen_saver_request_reached_default = false;

constexpr DWORD cds_test = 0x2;
constexpr LONG sdl_window_position_limit = 16384;

HICON__ system_icon = {};
HCURSOR__ system_cursor = {};

void apply_cursor() {
    if (video == Video::running) {
        SDL_ShowCursor(cursor_count >= 0 ? SDL_ENABLE : SDL_DISABLE);
    }
}

const WindowClass* find_class(LPCSTR name) {
    // Class atoms given in place of names are not supported.
    if (name == nullptr || reinterpret_cast<std::uintptr_t>(name) < 0x10000) {
        return nullptr;
    }
    for (const WindowClass& window_class : classes) {
        if (strcasecmp(window_class.name.c_str(), name) == 0) {
            return &window_class;
        }
    }
    return nullptr;
}

LPARAM pack_words(int low, int high) {
    return static_cast<LPARAM>((static_cast<std::uint32_t>(high) & 0xFFFF) << 16 |
                               (static_cast<std::uint32_t>(low) & 0xFFFF));
}

// Asks the window procedure, as Windows does before starting the screen saver and before powering
// the monitor down, and keeps them off while either is refused.
void update_screen_saver(HWND window) {
    bool allowed = true;
    const WPARAM requests[] = {SC_SCREENSAVE, SC_MONITORPOWER};
    for (WPARAM request : requests) {
        screen_saver_probe = true;
        screen_saver_request_reached_default = false;
        // SC_MONITORPOWER's lParam 2 asks for the monitor to be switched off.
        host::send(window, WM_SYSCOMMAND, request, request == SC_MONITORPOWER ? 2 : 0);
        screen_saver_probe = false;
        allowed = allowed && screen_saver_request_reached_default;
    }
    if (allowed) {
        SDL_EnableScreenSaver();
    } else {
        SDL_DisableScreenSaver();
    }
}

// The popup stops covering the screen and becomes a borderless window of its own size.
void uncover(host::Window& window) {
    window.covers_screen = false;
    SDL_SetWindowFullscreen(window.sdl, 0);
    SDL_SetWindowSize(window.sdl, std::max(window.client_width, 1),
                      std::max(window.client_height, 1));
}

void set_window_gl_attributes() {
    // The window's own surface only receives the finished picture; the program draws into a
    // framebuffer of the pixel format's depths. These are minimums, and serve the program
    // directly where there are no framebuffer objects.
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 6);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

void erase_window(const host::Window* window) {
    windows.erase(std::remove_if(windows.begin(), windows.end(),
                                 [&](const std::unique_ptr<host::Window>& entry) {
                                     return entry.get() == window;
                                 }),
                  windows.end());
}

} // namespace

namespace host {

void prepare() {
    // Ctrl+C and SIGTERM end the process at once, as they would any program; the X server takes
    // the window away.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The screen saver stays on unless the window procedure refuses it.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
}

bool video_ready() {
    if (video == Video::untried) {
        video = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 ? Video::running : Video::failed;
        // SDL falls back on drivers that draw to no screen at all; they count as a display only
        // when asked for by name.
        const char* driver = SDL_GetCurrentVideoDriver();
        const char* wanted = SDL_getenv("SDL_VIDEODRIVER");
        if (video == Video::running && driver != nullptr &&
            (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0) &&
            (wanted == nullptr || SDL_strcasecmp(wanted, driver) != 0)) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            video = Video::failed;
        }
        if (video == Video::running && driver != nullptr && SDL_strcmp(driver, "x11") == 0) {
            keep_x_errors_non_fatal();
        }
        if (video == Video::running) {
            // Keys only, no text input method.
            SDL_StopTextInput();
            apply_cursor();
        }
    }
    return video == Video::running;
}

bool video_running() {
    return video == Video::running;
}

Window* find_window(HWND window) {
    if (window == nullptr) {
        return nullptr;
    }
    for (const std::unique_ptr<Window>& entry : windows) {
        if (handle_of(entry.get()) == window) {
            return entry.get();
        }
    }
    return nullptr;
}

Window* find_window(SDL_Window* sdl) {
    for (const std::unique_ptr<Window>& entry : windows) {
        if (sdl != nullptr && entry->sdl == sdl) {
            return entry.get();
        }
    }
    return nullptr;
}

Window* window_of_dc(HDC dc) {
    for (const std::unique_ptr<Window>& entry : windows) {
        if (dc != nullptr && reinterpret_cast<HDC>(&entry->dc) == dc) {
            return entry.get();
        }
    }
    return nullptr;
}

HWND handle_of(const Window* window) {
    return reinterpret_cast<HWND>(const_cast<Window*>(window));
}

HWND active_window() {
    return active;
}

LRESULT send(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const Window* target = find_window(window);
    if (target == nullptr || target->proc == nullptr) {
        return 0;
    }
    // The procedure may destroy the window: nothing of it is touched after the call.
    const WNDPROC proc = target->proc;
    return proc(window, message, wparam, lparam);
}

void set_active(HWND window, bool now_active) {
    if (find_window(window) == nullptr) {
        return;
    }
    if (now_active) {
        if (active == window) {
            return;
        }
        if (active != nullptr) {
            set_active(active, false);
        }
        active = window;
        send(window, WM_ACTIVATEAPP, TRUE, 0);
        send(window, WM_ACTIVATE, WA_ACTIVE, 0);
        if (active == window) {
            update_screen_saver(window);
        }
        return;
    }
    if (active != window) {
        return;
    }
    active = nullptr;
    send(window, WM_ACTIVATE, WA_INACTIVE, 0);
    if (focus == window) {
        focus = nullptr;
        send(window, WM_KILLFOCUS, 0, 0);
    }
    send(window, WM_ACTIVATEAPP, FALSE, 0);
    SDL_EnableScreenSaver();
}

void release_windows() {
    // Destroying a window that covers the screen also gives the screen back.
    for (const std::unique_ptr<Window>& entry : windows) {
        SDL_DestroyWindow(entry->sdl);
    }
    windows.clear();
    active = nullptr;
    focus = nullptr;
    if (video == Video::running) {
        SDL_ShowCursor(SDL_ENABLE);
        SDL_EnableScreenSaver();
    }
}

} // namespace host

ATOM RegisterClassA(const WNDCLASSA* window_class) {
    if (window_class == nullptr || window_class->lpfnWndProc == nullptr ||
        window_class->lpszClassName == nullptr ||
        reinterpret_cast<std::uintptr_t>(window_class->lpszClassName) < 0x10000 ||
        find_class(window_class->lpszClassName) != nullptr) {
        return 0;
    }
    classes.push_back(
        WindowClass{window_class->lpszClassName, window_class->lpfnWndProc, next_atom});
    return next_atom++;
}

BOOL UnregisterClassA(LPCSTR class_name, HINSTANCE) {
    const WindowClass* window_class = find_class(class_name);
    if (window_class == nullptr) {
        return FALSE;
    }
    // A class cannot go while windows of it exist.
    for (const std::unique_ptr<host::Window>& entry : windows) {
        if (strcasecmp(entry->class_name.c_str(), window_class->name.c_str()) == 0) {
            return FALSE;
        }
    }
    classes.erase(classes.begin() + (window_class - classes.data()));
    return TRUE;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR) {
    return instance == nullptr ? &system_icon : nullptr;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR) {
    return instance == nullptr ? &system_cursor : nullptr;
}

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags) {
    if (mode == nullptr) {
        // Back to the desktop's own mode, which was never left.
        if (virtual_mode.on) {
            virtual_mode.on = false;
            for (const std::unique_ptr<host::Window>& entry : windows) {
                if (entry->covers_screen) {
                    uncover(*entry);
                }
            }
        }
        return DISP_CHANGE_SUCCESSFUL;
    }

    SDL_DisplayMode desktop;
    if (!host::video_ready() || SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
        return DISP_CHANGE_BADMODE;
    }
    const DWORD width =
        (mode->dmFields & DM_PELSWIDTH) ? mode->dmPelsWidth : static_cast<DWORD>(desktop.w);
    const DWORD height =
        (mode->dmFields & DM_PELSHEIGHT) ? mode->dmPelsHeight : static_cast<DWORD>(desktop.h);
    const DWORD bits = (mode->dmFields & DM_BITSPERPEL) ? mode->dmBitsPerPel : 32;
    // The picture is shown scaled on the desktop, never larger than it, and in true colour, so
    // there is no palette mode.
    if (width == 0 || height == 0 || width > static_cast<DWORD>(desktop.w) ||
        height > static_cast<DWORD>(desktop.h) || (bits != 16 && bits != 24 && bits != 32)) {
        return DISP_CHANGE_BADMODE;
    }
    if ((flags & cds_test) == 0) {
        virtual_mode = VirtualMode{true, width, height, bits};
    }
    return DISP_CHANGE_SUCCESSFUL;
}

int ShowCursor(BOOL show) {
    cursor_count += show ? 1 : -1;
    apply_cursor();
    return cursor_count;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD, BOOL, DWORD) {
    // The window manager draws the frame outside the client area.
    return rect != nullptr ? TRUE : FALSE;
}

HWND CreateWindowExA(DWORD, LPCSTR class_name, LPCSTR window_name, DWORD style, int x, int y,
                     int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
    const WindowClass* window_class = find_class(class_name);
    if (window_class == nullptr || !host::video_ready()) {
        return nullptr;
    }

    auto window = std::make_unique<host::Window>();
    window->proc = window_class->proc;
    window->class_name = window_class->name;
    window->style = style;
    window->client_width = std::max(width, 0);
    window->client_height = std::max(height, 0);
    window->covers_screen = virtual_mode.on && (style & WS_POPUP) != 0;
    window->dc.window = window.get();

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    if (style & WS_POPUP) {
        flags |= SDL_WINDOW_BORDERLESS;
    }
    if (style & WS_THICKFRAME) {
        flags |= SDL_WINDOW_RESIZABLE;
    }
    if (window->covers_screen) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    }
    set_window_gl_attributes();
    window->sdl = SDL_CreateWindow(
        window_name != nullptr ? window_name : "",
        std::clamp(x, -sdl_window_position_limit, sdl_window_position_limit),
        std::clamp(y, -sdl_window_position_limit, sdl_window_position_limit),
        std::max(window->client_width, 1), std::max(window->client_height, 1), flags);
    if (window->sdl == nullptr) {
        return nullptr;
    }
    const HWND handle = host::handle_of(window.get());
    const int client_width = window->client_width;
    const int client_height = window->client_height;
    windows.push_back(std::move(window));
    apply_cursor();

    // The creation messages, in Windows' order. A procedure that refuses WM_NCCREATE or
    // WM_CREATE gets no window.
    if (host::send(handle, WM_NCCREATE, 0, 0) == FALSE) {
        host::Window* refused = host::find_window(handle);
        if (refused != nullptr) {
            SDL_DestroyWindow(refused->sdl);
            erase_window(refused);
        }
        return nullptr;
    }
    if (host::send(handle, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    host::send(handle, WM_SIZE, SIZE_RESTORED, pack_words(client_width, client_height));
    host::send(handle, WM_MOVE, 0, pack_words(x, y));
    if ((style & WS_VISIBLE) != 0) {
        ShowWindow(handle, SW_SHOW);
    }
    return host::find_window(handle) != nullptr ? handle : nullptr;
}

BOOL DestroyWindow(HWND handle) {
    host::Window* window = host::find_window(handle);
    if (window == nullptr) {
        return FALSE;
    }
    if (window->destroying) {
        return TRUE;
    }
    window->destroying = true;
    if (window->visible) {
        SDL_HideWindow(window->sdl);
        window->visible = false;
    }
    host::set_active(handle, false);
    if (focus == handle) {
        focus = nullptr;
        host::send(handle, WM_KILLFOCUS, 0, 0);
    }
    host::send(handle, WM_DESTROY, 0, 0);
    host::send(handle, WM_NCDESTROY, 0, 0);

    host::queue().forget_window(handle);
    window = host::find_window(handle);
    if (window != nullptr) {
        host::forget_window_gl(*window);
        SDL_DestroyWindow(window->sdl);
        erase_window(window);
    }
    return TRUE;
}

BOOL ShowWindow(HWND handle, int show) {
    host::Window* window = host::find_window(handle);
    if (window == nullptr) {
        return FALSE;
    }
    const bool was_visible = window->visible;
    if (show == SW_HIDE) {
        if (was_visible) {
            host::send(handle, WM_SHOWWINDOW, FALSE, 0);
            window = host::find_window(handle);
            if (window != nullptr) {
                SDL_HideWindow(window->sdl);
                window->visible = false;
                host::set_active(handle, false);
            }
        }
        return was_visible ? TRUE : FALSE;
    }
    if (!was_visible) {
        host::send(handle, WM_SHOWWINDOW, TRUE, 0);
        window = host::find_window(handle);
        if (window == nullptr) {
            return FALSE;
        }
        SDL_ShowWindow(window->sdl);
        window->visible = true;
    }
    host::set_active(handle, true);
    return was_visible ? TRUE : FALSE;
}

BOOL SetForegroundWindow(HWND handle) {
    host::Window* window = host::find_window(handle);
    if (window == nullptr) {
        return FALSE;
    }
    SDL_RaiseWindow(window->sdl);
    host::set_active(handle, true);
    return TRUE;
}

HWND SetFocus(HWND handle) {
    if (handle != nullptr && host::find_window(handle) == nullptr) {
        return nullptr;
    }
    const HWND previous = focus;
    if (handle == previous) {
        return previous;
    }
    focus = handle;
    if (previous != nullptr) {
        host::send(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(handle), 0);
    }
    if (handle != nullptr) {
        host::send(handle, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    }
    return previous;
}

LRESULT DefWindowProcA(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(handle);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wparam) != WA_INACTIVE) {
            SetFocus(handle);
        }
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 closes the window (bit 29: Alt is held).
        if (wparam == VK_F4 && (static_cast<std::uintptr_t>(lparam) & (1u << 29)) != 0) {
            host::send(handle, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
    case WM_SYSCOMMAND: {
        host::Window* window = host::find_window(handle);
        // The low four bits of a system command are Windows' own.
        switch (wparam & 0xFFF0) {
        case SC_CLOSE:
            host::send(handle, WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            if (window != nullptr) {
                SDL_MinimizeWindow(window->sdl);
            }
            break;
        case SC_MAXIMIZE:
            if (window != nullptr) {
                SDL_MaximizeWindow(window->sdl);
            }
            break;
        case SC_RESTORE:
            if (window != nullptr) {
                SDL_RestoreWindow(window->sdl);
            }
            break;
        case SC_SCREENSAVE:
        case SC_MONITORPOWER:
            // Not refused. Outside the layer's own question there is nothing to start.
            if (screen_saver_probe) {
                screen_saver_request_reached_default = true;
            }
            break;
        default:
            break;
        }
        return 0;
    }
    default:
        return 0;
    }
}
