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

std::vector<std::unique_ptr<win32::Window>> windows;
HWND active = nullptr;
HWND focus = nullptr;

// The display mode the program asked for, in force until ChangeDisplaySettingsA(NULL, 0).
bool virtual_mode_on = false;

// Windows' cursor display counter: the cursor shows while it is 0 or more.
int cursor_count = 0;

// While the layer asks a window procedure whether it minds the screen saver: set when the request
// reached DefWindowProcA, that is, was not refused.
bool screen_saver_probe = false;
bool screen_saver_request_reached_default = false;

HICON__ system_icon = {};
HCURSOR__ system_cursor = {};

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

// Asks the window procedure, as Windows does before starting the screen saver and before powering
// the monitor down, and keeps them off while either is refused.
void update_screen_saver(HWND window) {
    bool allowed = true;
    const WPARAM requests[] = {SC_SCREENSAVE, SC_MONITORPOWER};
    for (WPARAM request : requests) {
        screen_saver_probe = true;
        screen_saver_request_reached_default = false;
        // SC_MONITORPOWER's lParam 2 asks for the monitor to be switched off.
        win32::send(window, WM_SYSCOMMAND, request, request == SC_MONITORPOWER ? 2 : 0);
        screen_saver_probe = false;
        allowed = allowed && screen_saver_request_reached_default;
    }
    backend::allow_screen_saver(allowed);
}

// The first window that `matches`, or null.
template <typename Predicate> win32::Window* first_window(Predicate matches) {
    for (const std::unique_ptr<win32::Window>& entry : windows) {
        if (matches(*entry)) {
            return entry.get();
        }
    }
    return nullptr;
}

// WM_SIZE with the client size, then WM_MOVE with the client area's place, once in a window's
// life: a popup hears them as it is made, an overlapped window when it is first shown.
void send_size_and_move(HWND handle) {
    win32::Window* window = win32::find_window(handle);
    if (window == nullptr || !window->size_move_pending) {
        return;
    }
    window->size_move_pending = false;
    const LPARAM place = MAKELPARAM(window->x, window->y);
    win32::send(handle, WM_SIZE, SIZE_RESTORED,
                MAKELPARAM(window->client_width, window->client_height));
    win32::send(handle, WM_MOVE, 0, place);
}

// The window record goes, after the contexts drawing to it and the backend's own window.
void erase_window(win32::Window* window) {
    win32::forget_window_contexts(window);
    backend::destroy_window(*window);
    windows.erase(std::remove_if(windows.begin(), windows.end(),
                                 [&](const std::unique_ptr<win32::Window>& entry) {
                                     return entry.get() == window;
                                 }),
                  windows.end());
}

} // namespace

namespace win32 {

Window* find_window(HWND window) {
    return first_window([&](const Window& entry) { return window == handle_of(&entry); });
}

Window* find_native_window(const void* native) {
    return first_window(
        [&](const Window& entry) { return native != nullptr && entry.native == native; });
}

Window* window_of_dc(HDC dc) {
    return first_window(
        [&](const Window& entry) { return dc == reinterpret_cast<const HDC__*>(&entry.dc); });
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
    send(window, WM_ACTIVATEAPP, FALSE, 0);
    if (focus == window) {
        focus = nullptr;
        send(window, WM_KILLFOCUS, 0, 0);
    }
    backend::allow_screen_saver(true);
}

void release_windows() {
    release_contexts();
    // Destroying a window that covers the display also gives the display back.
    for (const std::unique_ptr<Window>& entry : windows) {
        backend::destroy_window(*entry);
        thread_queue().forget_window(handle_of(entry.get()));
    }
    windows.clear();
    active = nullptr;
    focus = nullptr;
}

} // namespace win32

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
    for (const std::unique_ptr<win32::Window>& entry : windows) {
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
        // Back to the display's own mode, which was never left.
        if (virtual_mode_on) {
            virtual_mode_on = false;
            for (const std::unique_ptr<win32::Window>& entry : windows) {
                if (entry->covers_screen) {
                    // The popup becomes a borderless window of its own size.
                    entry->covers_screen = false;
                    backend::change_window(*entry, win32::WindowChange::uncover);
                }
            }
        }
        return DISP_CHANGE_SUCCESSFUL;
    }

    int display_width = 0;
    int display_height = 0;
    if (!backend::display_size(&display_width, &display_height)) {
        return DISP_CHANGE_BADMODE;
    }
    const DWORD width =
        (mode->dmFields & DM_PELSWIDTH) ? mode->dmPelsWidth : static_cast<DWORD>(display_width);
    const DWORD height =
        (mode->dmFields & DM_PELSHEIGHT) ? mode->dmPelsHeight : static_cast<DWORD>(display_height);
    const DWORD bits = (mode->dmFields & DM_BITSPERPEL) ? mode->dmBitsPerPel : 32;
    // The picture is shown scaled on the display, never larger than it, and in true colour, so
    // there is no palette mode.
    if (width == 0 || height == 0 || width > static_cast<DWORD>(display_width) ||
        height > static_cast<DWORD>(display_height) || (bits != 16 && bits != 24 && bits != 32)) {
        return DISP_CHANGE_BADMODE;
    }
    if ((flags & CDS_TEST) == 0) {
        virtual_mode_on = true;
    }
    return DISP_CHANGE_SUCCESSFUL;
}

int ShowCursor(BOOL show) {
    cursor_count += show ? 1 : -1;
    backend::show_cursor(cursor_count >= 0);
    return cursor_count;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD, BOOL, DWORD) {
    // The host draws the frame outside the client area.
    return rect != nullptr ? TRUE : FALSE;
}

HWND CreateWindowExA(DWORD, LPCSTR class_name, LPCSTR window_name, DWORD style, int x, int y,
                     int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
    const WindowClass* window_class = find_class(class_name);
    if (window_class == nullptr) {
        return nullptr;
    }

    auto window = std::make_unique<win32::Window>();
    window->proc = window_class->proc;
    window->class_name = window_class->name;
    window->style = style;
    window->client_width = std::max(width, 0);
    window->client_height = std::max(height, 0);
    window->covers_screen = virtual_mode_on && (style & WS_POPUP) != 0;
    window->x = x;
    window->y = y;
    window->size_move_pending = true;
    window->dc.window = window.get();
    if (!backend::create_window(*window, window_name != nullptr ? window_name : "", x, y)) {
        return nullptr;
    }
    const HWND handle = win32::handle_of(window.get());
    windows.push_back(std::move(window));

    // The creation messages, in Windows' order; WM_SIZE and WM_MOVE only for a popup. A procedure
    // that refuses WM_NCCREATE or WM_CREATE gets no window.
    if (win32::send(handle, WM_NCCREATE, 0, 0) == FALSE) {
        win32::Window* refused = win32::find_window(handle);
        if (refused != nullptr) {
            erase_window(refused);
        }
        return nullptr;
    }
    if (win32::send(handle, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if ((style & WS_POPUP) != 0) {
        send_size_and_move(handle);
    }
    if ((style & WS_VISIBLE) != 0) {
        ShowWindow(handle, SW_SHOW);
    }
    return win32::find_window(handle) != nullptr ? handle : nullptr;
}

BOOL DestroyWindow(HWND handle) {
    win32::Window* window = win32::find_window(handle);
    if (window == nullptr) {
        return FALSE;
    }
    if (window->destroying) {
        return TRUE;
    }
    window->destroying = true;
    if (window->visible) {
        backend::change_window(*window, win32::WindowChange::hide);
        window->visible = false;
    }
    win32::set_active(handle, false);
    if (focus == handle) {
        focus = nullptr;
        win32::send(handle, WM_KILLFOCUS, 0, 0);
    }
    win32::send(handle, WM_DESTROY, 0, 0);
    win32::send(handle, WM_NCDESTROY, 0, 0);

    win32::thread_queue().forget_window(handle);
    window = win32::find_window(handle);
    if (window != nullptr) {
        erase_window(window);
    }
    return TRUE;
}

BOOL ShowWindow(HWND handle, int show) {
    win32::Window* window = win32::find_window(handle);
    if (window == nullptr) {
        return FALSE;
    }
    const bool was_visible = window->visible;
    if (show == SW_HIDE) {
        if (was_visible) {
            win32::send(handle, WM_SHOWWINDOW, FALSE, 0);
            window = win32::find_window(handle);
            if (window != nullptr) {
                backend::change_window(*window, win32::WindowChange::hide);
                window->visible = false;
                win32::set_active(handle, false);
            }
        }
        return was_visible ? TRUE : FALSE;
    }
    if (!was_visible) {
        win32::send(handle, WM_SHOWWINDOW, TRUE, 0);
        window = win32::find_window(handle);
        if (window == nullptr) {
            return FALSE;
        }
        backend::change_window(*window, win32::WindowChange::show);
        window->visible = true;
    }
    win32::set_active(handle, true);
    send_size_and_move(handle);
    return was_visible ? TRUE : FALSE;
}

BOOL SetForegroundWindow(HWND handle) {
    win32::Window* window = win32::find_window(handle);
    if (window == nullptr) {
        return FALSE;
    }
    backend::change_window(*window, win32::WindowChange::raise);
    win32::set_active(handle, true);
    return TRUE;
}

HWND SetFocus(HWND handle) {
    if (handle != nullptr && win32::find_window(handle) == nullptr) {
        return nullptr;
    }
    const HWND previous = focus;
    if (handle == previous) {
        return previous;
    }
    focus = handle;
    if (previous != nullptr) {
        win32::send(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(handle), 0);
    }
    if (handle != nullptr) {
        win32::send(handle, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
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
            win32::send(handle, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
    case WM_SYSCOMMAND: {
        win32::Window* window = win32::find_window(handle);
        const auto change = [window](win32::WindowChange how) {
            if (window != nullptr) {
                backend::change_window(*window, how);
            }
        };
        // The low four bits of a system command are Windows' own.
        switch (wparam & 0xFFF0) {
        case SC_CLOSE:
            win32::send(handle, WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            change(win32::WindowChange::minimize);
            break;
        case SC_MAXIMIZE:
            change(win32::WindowChange::maximize);
            break;
        case SC_RESTORE:
            change(win32::WindowChange::restore);
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
