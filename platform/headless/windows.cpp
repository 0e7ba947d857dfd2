// The capture host's kernel, USER and WinMM calls: the virtual clock, window classes and
// windows without a screen, the message queue that turns each frame into one WM_TIMER per timer,
// message boxes on standard error, and the sound handed to the sink.
#include "platform/headless/frame_clock.h"
#include "platform/headless/host_state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace capture::host {

Sink* sink = nullptr;
int fps = 60;
std::int64_t frame = -1;

std::int64_t now_ms() {
    return frame < 0 ? 0 : frame_time_ms(frame, fps);
}

} // namespace capture::host

namespace {

using capture::host::Surface;

struct WindowClass {
    std::string name;
    WNDPROC proc;
};

struct Window {
    WNDPROC proc;
    bool alive;
    Surface surface;
};

struct Timer {
    HWND window;
    UINT_PTR id;
    TIMERPROC callback;
};

std::vector<WindowClass> classes;
// A window's handle, and its device context's, is its place in this list plus 1.
std::vector<Window> windows;
std::vector<Timer> timers;
// Messages posted and not yet taken, oldest first.
std::deque<MSG> posted;
bool quit_pending = false;
int quit_code = 0;
// The current frame's timer messages not yet taken.
std::deque<MSG> frame_ticks;
int cursor_count = 0;
std::vector<std::string> shown_boxes;

// A program that polls an empty queue with no timer running would wait forever for a frame.
constexpr long idle_peek_limit = 10000000;
long idle_peeks = 0;

// MessageBoxA's default-button flags, which the program does not use.
constexpr UINT default_button_mask = 0x00000300u;
constexpr UINT default_button_2 = 0x00000100u;
constexpr UINT default_button_3 = 0x00000200u;
constexpr UINT yes_no_cancel = 0x00000003u;
constexpr UINT retry_cancel = 0x00000005u;
constexpr UINT abort_retry_ignore = 0x00000002u;

HINSTANCE const module_handle = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x400000});

template <typename Handle> Handle handle_at(std::size_t index) {
    return reinterpret_cast<Handle>(static_cast<std::uintptr_t>(index + 1));
}

template <typename Handle> Window* window_at(Handle handle) {
    const auto number = reinterpret_cast<std::uintptr_t>(handle);
    if (number == 0 || number > windows.size() || !windows[number - 1].alive) {
        return nullptr;
    }
    return &windows[number - 1];
}

WindowClass* find_class(LPCSTR name) {
    if (name == nullptr) {
        return nullptr;
    }
    for (WindowClass& window_class : classes) {
        if (window_class.name == name) {
            return &window_class;
        }
    }
    return nullptr;
}

bool matches(const MSG& msg, HWND window, UINT filter_min, UINT filter_max) {
    if (window != nullptr && msg.hwnd != window) {
        return false;
    }
    return (filter_min == 0 && filter_max == 0) ||
           (msg.message >= filter_min && msg.message <= filter_max);
}

// Takes the first message of `messages` that matches the filter.
bool take_from(std::deque<MSG>& messages, MSG* out, HWND window, UINT filter_min, UINT filter_max,
               UINT remove) {
    for (auto it = messages.begin(); it != messages.end(); ++it) {
        if (matches(*it, window, filter_min, filter_max)) {
            *out = *it;
            if (remove & PM_REMOVE) {
                messages.erase(it);
            }
            return true;
        }
    }
    return false;
}

// Moves the clock to the next frame and queues one WM_TIMER for every timer.
void begin_next_frame() {
    ++capture::host::frame;
    const DWORD now = GetTickCount();
    for (const Timer& timer : timers) {
        MSG tick{};
        tick.hwnd = timer.window;
        tick.message = WM_TIMER;
        tick.wParam = timer.id;
        tick.lParam = reinterpret_cast<LPARAM>(timer.callback);
        tick.time = now;
        frame_ticks.push_back(tick);
    }
}

void forget_timers_of(HWND window) {
    std::vector<Timer> kept;
    for (const Timer& timer : timers) {
        if (timer.window != window) {
            kept.push_back(timer);
        }
    }
    timers = kept;
    std::deque<MSG> kept_ticks;
    for (const MSG& tick : frame_ticks) {
        if (tick.hwnd != window) {
            kept_ticks.push_back(tick);
        }
    }
    frame_ticks = kept_ticks;
}

int default_answer(UINT type) {
    const UINT buttons = type & MB_TYPEMASK;
    int choices[3] = {IDOK, IDOK, IDOK};
    if (buttons == MB_OKCANCEL) {
        choices[1] = IDCANCEL;
    } else if (buttons == MB_YESNO) {
        choices[0] = IDYES;
        choices[1] = IDNO;
    } else if (buttons == yes_no_cancel) {
        choices[0] = IDYES;
        choices[1] = IDNO;
        choices[2] = IDCANCEL;
    } else if (buttons == retry_cancel) {
        choices[0] = 4; // IDRETRY
        choices[1] = IDCANCEL;
    } else if (buttons == abort_retry_ignore) {
        choices[0] = 3; // IDABORT
        choices[1] = 4; // IDRETRY
        choices[2] = 5; // IDIGNORE
    }
    switch (type & default_button_mask) {
    case default_button_2:
        return choices[1];
    case default_button_3:
        return choices[2];
    default:
        return choices[0];
    }
}

std::uint32_t read_le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

} // namespace

namespace capture {

namespace host {

Surface* surface_of(HDC dc) {
    Window* window = window_at(dc);
    return window != nullptr ? &window->surface : nullptr;
}

} // namespace host

const std::vector<std::string>& message_boxes() {
    return shown_boxes;
}

void start(Sink* sink, int fps) {
    host::sink = sink;
    host::fps = fps;
}

void end(End how, int show_exit_code) {
    static bool ending = false;
    int code = 1;
    if (!ending && host::sink != nullptr) {
        ending = true;
        code = host::sink->finish(how, show_exit_code);
    }
    std::fflush(nullptr);
    // Straight out, as ExitProcess leaves: no static destructors under a GL call of the program.
    std::_Exit(code);
}

} // namespace capture

HMODULE GetModuleHandleA(LPCSTR module_name) {
    return module_name == nullptr ? module_handle : nullptr;
}

DWORD GetTickCount() {
    // The 32-bit tick count wraps as Windows' does.
    return static_cast<DWORD>(capture::host::now_ms());
}

void ExitProcess(UINT exit_code) {
    capture::end(capture::End::show_exited, static_cast<int>(exit_code));
}

ATOM RegisterClassA(const WNDCLASSA* window_class) {
    if (window_class == nullptr || window_class->lpszClassName == nullptr ||
        window_class->lpfnWndProc == nullptr ||
        find_class(window_class->lpszClassName) != nullptr) {
        return 0;
    }
    classes.push_back(WindowClass{window_class->lpszClassName, window_class->lpfnWndProc});
    // Windows hands out class atoms from 0xC000 up.
    return static_cast<ATOM>(0xC000 + classes.size());
}

BOOL UnregisterClassA(LPCSTR class_name, HINSTANCE) {
    for (auto it = classes.begin(); it != classes.end(); ++it) {
        if (class_name != nullptr && it->name == class_name) {
            classes.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

HICON LoadIconA(HINSTANCE, LPCSTR icon_name) {
    return reinterpret_cast<HICON>(const_cast<char*>(icon_name));
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR cursor_name) {
    return reinterpret_cast<HCURSOR>(const_cast<char*>(cursor_name));
}

LONG ChangeDisplaySettingsA(DEVMODEA*, DWORD) {
    // The capture's display is virtual: every mode is there, and nothing changes on any screen.
    return DISP_CHANGE_SUCCESSFUL;
}

int ShowCursor(BOOL show) {
    cursor_count += show ? 1 : -1;
    return cursor_count;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD, BOOL, DWORD) {
    // No frame and no caption: the outer size is the client size.
    return rect != nullptr ? TRUE : FALSE;
}

HWND CreateWindowExA(DWORD, LPCSTR class_name, LPCSTR, DWORD, int, int, int width, int height, HWND,
                     HMENU, HINSTANCE, LPVOID) {
    const WindowClass* window_class = find_class(class_name);
    if (window_class == nullptr || width < 0 || height < 0 || width > 0xFFFF || height > 0xFFFF) {
        return nullptr;
    }
    windows.push_back(Window{window_class->proc, true, Surface{width, height, 0}});
    HWND window = handle_at<HWND>(windows.size() - 1);
    // As on Windows, the new window learns its client size before CreateWindowExA returns.
    const LPARAM size = static_cast<LPARAM>(static_cast<std::uint32_t>(height) << 16 |
                                            static_cast<std::uint32_t>(width));
    window_class->proc(window, WM_SIZE, SIZE_RESTORED, size);
    return window;
}

BOOL DestroyWindow(HWND window) {
    Window* record = window_at(window);
    if (record == nullptr) {
        return FALSE;
    }
    record->proc(window, WM_DESTROY, 0, 0);
    record = window_at(window);
    if (record == nullptr) {
        return TRUE;
    }
    record->alive = false;
    forget_timers_of(window);
    return TRUE;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT, TIMERPROC timer_func) {
    // The period does not matter here: every timer ticks once per frame of the capture.
    if (window != nullptr && window_at(window) == nullptr) {
        return 0;
    }
    if (window == nullptr) {
        // A timer without a window gets an identifier of its own.
        id = 1;
        for (const Timer& timer : timers) {
            if (timer.window == nullptr && timer.id >= id) {
                id = timer.id + 1;
            }
        }
    }
    for (Timer& timer : timers) {
        if (timer.window == window && timer.id == id) {
            timer.callback = timer_func;
            return window != nullptr ? 1 : id;
        }
    }
    timers.push_back(Timer{window, id, timer_func});
    return window != nullptr ? 1 : id;
}

HDC GetDC(HWND window) {
    if (window_at(window) == nullptr) {
        return nullptr;
    }
    // CS_OWNDC: one device context for the window's whole life.
    return reinterpret_cast<HDC>(window);
}

int ReleaseDC(HWND window, HDC dc) {
    return window_at(window) != nullptr && reinterpret_cast<HWND>(dc) == window ? 1 : 0;
}

BOOL ShowWindow(HWND, int) {
    return FALSE;
}

BOOL SetForegroundWindow(HWND window) {
    return window_at(window) != nullptr ? TRUE : FALSE;
}

HWND SetFocus(HWND) {
    return nullptr;
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR, UINT type) {
    std::string line = text != nullptr ? text : "";
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    shown_boxes.push_back(line);
    return default_answer(type);
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filter_min, UINT filter_max, UINT remove) {
    if (msg == nullptr) {
        return FALSE;
    }
    if (take_from(posted, msg, window, filter_min, filter_max, remove)) {
        idle_peeks = 0;
        return TRUE;
    }
    if (quit_pending) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(quit_code);
        msg->time = GetTickCount();
        if (remove & PM_REMOVE) {
            quit_pending = false;
        }
        idle_peeks = 0;
        return TRUE;
    }
    // Nothing else waits: the next frame falls due.
    if (frame_ticks.empty() && !timers.empty()) {
        begin_next_frame();
    }
    if (take_from(frame_ticks, msg, window, filter_min, filter_max, remove)) {
        idle_peeks = 0;
        return TRUE;
    }
    if (++idle_peeks >= idle_peek_limit) {
        std::fprintf(stderr, "the program waits for messages, but no timer runs to send any\n");
        capture::end(capture::End::program_returned, 0);
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) {
        return 0;
    }
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    Window* window = window_at(msg->hwnd);
    if (window == nullptr) {
        return 0;
    }
    return window->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_CLOSE) {
        DestroyWindow(window);
    } else if (message == WM_SYSCOMMAND && (wparam & 0xFFF0) == SC_CLOSE) {
        Window* record = window_at(window);
        if (record != nullptr) {
            record->proc(window, WM_CLOSE, 0, 0);
        }
    }
    return 0;
}

void PostQuitMessage(int exit_code) {
    quit_pending = true;
    quit_code = exit_code;
}

BOOL sndPlaySoundA(LPCSTR sound, UINT flags) {
    if (sound == nullptr) {
        // Stops a playing sound; nothing plays here.
        return TRUE;
    }
    const auto* image = reinterpret_cast<const std::uint8_t*>(sound);
    // Only an image in memory: the capture reads no files.
    if ((flags & SND_MEMORY) == 0 || std::memcmp(image, "RIFF", 4) != 0) {
        return FALSE;
    }
    const std::size_t bytes = static_cast<std::size_t>(read_le32(image + 4)) + 8;
    if (!capture::host::sink->take_sound(image, bytes)) {
        capture::end(capture::End::sink_stopped, 0);
    }
    return TRUE;
}
