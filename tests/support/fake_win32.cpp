#include "tests/support/fake_win32.h"

namespace fake_win32 {

Script script;
std::vector<Call> calls;
DWORD tick_count = 0;
DWORD tick_step = 0;
bool record_tick_reads = false;
DEVMODEA last_display_mode = {};
std::function<void(const Call&)> on_call;
std::deque<MSG> queue;
bool quit_when_empty = true;
WNDPROC registered_proc = nullptr;

namespace {
// From SetTimer until the window is destroyed: a window's timers end with it.
bool timer_running = false;
// An overlapped window made and not yet shown: its WM_SIZE is still to come.
bool size_pending = false;

template <typename Handle> Handle fake_handle(std::uintptr_t value) {
    return reinterpret_cast<Handle>(value);
}
} // namespace

const HWND window = fake_handle<HWND>(0x1100);
const HDC dc = fake_handle<HDC>(0x2200);
const HGLRC context = fake_handle<HGLRC>(0x3300);
const HINSTANCE instance = fake_handle<HINSTANCE>(0x400000);

void reset() {
    script = Script{};
    calls.clear();
    tick_count = 0;
    tick_step = 0;
    record_tick_reads = false;
    last_display_mode = DEVMODEA{};
    on_call = nullptr;
    queue.clear();
    quit_when_empty = true;
    registered_proc = nullptr;
    timer_running = false;
    size_pending = false;
}

std::vector<Call> named(const std::string& name) {
    std::vector<Call> result;
    for (const Call& call : calls) {
        if (call.name == name) {
            result.push_back(call);
        }
    }
    return result;
}

int index_of(const std::string& name, int from) {
    for (int i = from; i < static_cast<int>(calls.size()); ++i) {
        if (calls[static_cast<std::size_t>(i)].name == name) {
            return i;
        }
    }
    return -1;
}

std::string trace() {
    std::string result;
    for (const Call& call : calls) {
        result += call.name;
        if (!call.text.empty()) {
            result += "(\"" + call.text + "\")";
        }
        result += ' ';
    }
    return result;
}

} // namespace fake_win32

using fake_win32::calls;
using fake_win32::script;

namespace {

fake_win32::Call& record(const char* name, std::intptr_t a0 = 0, std::intptr_t a1 = 0,
                         std::intptr_t a2 = 0, std::intptr_t a3 = 0) {
    calls.push_back(fake_win32::Call{name, {a0, a1, a2, a3, 0, 0, 0, 0}, {}, {}});
    if (fake_win32::on_call) {
        fake_win32::on_call(calls.back());
    }
    return calls.back();
}

std::intptr_t as_int(const void* pointer) {
    return reinterpret_cast<std::intptr_t>(pointer);
}

void send_size() {
    if (script.send_size && fake_win32::size_pending && fake_win32::registered_proc != nullptr) {
        fake_win32::size_pending = false;
        fake_win32::registered_proc(fake_win32::window, WM_SIZE, SIZE_RESTORED,
                                    static_cast<LPARAM>((480u << 16) | 640u));
    }
}

} // namespace

HMODULE GetModuleHandleA(LPCSTR module_name) {
    record("GetModuleHandleA", as_int(module_name));
    return fake_win32::instance;
}

DWORD GetTickCount() {
    const DWORD count = fake_win32::tick_count;
    fake_win32::tick_count += fake_win32::tick_step;
    if (fake_win32::record_tick_reads) {
        record("GetTickCount", count);
    }
    return count;
}

void ExitProcess(UINT exit_code) {
    record("ExitProcess", exit_code);
    throw fake_win32::ProcessExit{exit_code};
}

ATOM RegisterClassA(const WNDCLASSA* window_class) {
    fake_win32::Call& call = record("RegisterClassA", window_class->style, window_class->cbClsExtra,
                                    window_class->cbWndExtra, as_int(window_class->hbrBackground));
    call.args[4] = as_int(window_class->hInstance);
    call.args[5] = as_int(window_class->hIcon);
    call.args[6] = as_int(window_class->hCursor);
    call.args[7] = as_int(window_class->lpszMenuName);
    call.text = window_class->lpszClassName;
    if (script.register_class != 0) {
        fake_win32::registered_proc = window_class->lpfnWndProc;
    }
    return script.register_class;
}

BOOL UnregisterClassA(LPCSTR class_name, HINSTANCE instance) {
    record("UnregisterClassA", as_int(instance)).text = class_name;
    return script.unregister_class;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR icon_name) {
    record("LoadIconA", as_int(instance), as_int(icon_name));
    return reinterpret_cast<HICON>(0x5501);
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR cursor_name) {
    record("LoadCursorA", as_int(instance), as_int(cursor_name));
    return reinterpret_cast<HCURSOR>(0x5502);
}

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags) {
    fake_win32::Call& call = record("ChangeDisplaySettingsA", as_int(mode), flags);
    if (mode == nullptr) {
        return DISP_CHANGE_SUCCESSFUL;
    }
    call.args[2] = mode->dmSize;
    call.args[3] = mode->dmFields;
    call.args[4] = mode->dmPelsWidth;
    call.args[5] = mode->dmPelsHeight;
    call.args[6] = mode->dmBitsPerPel;
    call.args[7] = mode->dmDisplayFrequency;
    fake_win32::last_display_mode = *mode;
    return script.change_display;
}

int ShowCursor(BOOL show) {
    record("ShowCursor", show);
    return show ? 0 : -1;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD ex_style) {
    // args[3] to args[6]: the rectangle as handed in.
    fake_win32::Call& call = record("AdjustWindowRectEx", style, menu, ex_style, rect->left);
    call.args[4] = rect->top;
    call.args[5] = rect->right;
    call.args[6] = rect->bottom;
    // A sizing frame and caption as a classic Windows theme draws them.
    if ((style & WS_CAPTION) == WS_CAPTION) {
        rect->left -= 4;
        rect->right += 4;
        rect->top -= 23;
        rect->bottom += 4;
    }
    if ((ex_style & WS_EX_WINDOWEDGE) != 0 && (style & WS_CAPTION) == WS_CAPTION) {
        rect->left -= 2;
        rect->right += 2;
        rect->top -= 2;
        rect->bottom += 2;
    }
    return TRUE;
}

HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    fake_win32::Call& call = record("CreateWindowExA", ex_style, style, x, y);
    call.args[4] = width;
    call.args[5] = height;
    call.args[6] = as_int(parent) | as_int(menu) | as_int(param);
    call.args[7] = as_int(instance);
    call.text = window_name;
    call.caption = class_name;
    if (!script.create_window) {
        return nullptr;
    }
    fake_win32::size_pending = true;
    if ((style & WS_POPUP) != 0) {
        send_size();
    }
    return fake_win32::window;
}

BOOL DestroyWindow(HWND window) {
    record("DestroyWindow", as_int(window));
    if (script.destroy_window) {
        fake_win32::timer_running = false;
    }
    return script.destroy_window;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse_ms, TIMERPROC timer_func) {
    record("SetTimer", as_int(window), static_cast<std::intptr_t>(id), elapse_ms,
           timer_func != nullptr);
    fake_win32::timer_running = true;
    return 1;
}

HDC GetDC(HWND window) {
    record("GetDC", as_int(window));
    return script.get_dc ? fake_win32::dc : nullptr;
}

int ReleaseDC(HWND window, HDC dc) {
    record("ReleaseDC", as_int(window), as_int(dc));
    return script.release_dc;
}

BOOL ShowWindow(HWND window, int show) {
    record("ShowWindow", as_int(window), show);
    send_size();
    return FALSE;
}

BOOL SetForegroundWindow(HWND window) {
    record("SetForegroundWindow", as_int(window));
    return TRUE;
}

HWND SetFocus(HWND window) {
    record("SetFocus", as_int(window));
    return nullptr;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    fake_win32::Call& call = record("MessageBoxA", as_int(owner), type);
    call.text = text;
    call.caption = caption;
    if (script.ticks_in_message_boxes && fake_win32::timer_running &&
        fake_win32::registered_proc != nullptr) {
        fake_win32::registered_proc(fake_win32::window, WM_TIMER, 0, 0);
    }
    return (type & MB_TYPEMASK) == MB_YESNO ? script.message_box_answer : IDOK;
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filter_min, UINT filter_max, UINT remove) {
    record("PeekMessageA", as_int(window), filter_min, filter_max, remove);
    if (fake_win32::queue.empty()) {
        if (!fake_win32::quit_when_empty) {
            return FALSE;
        }
        *msg = MSG{};
        msg->message = WM_QUIT;
        return TRUE;
    }
    *msg = fake_win32::queue.front();
    if (remove & PM_REMOVE) {
        fake_win32::queue.pop_front();
    }
    return TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
    record("TranslateMessage", msg->message);
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    record("DispatchMessageA", msg->message, static_cast<std::intptr_t>(msg->wParam), msg->lParam);
    if (fake_win32::registered_proc == nullptr) {
        return 0;
    }
    return fake_win32::registered_proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    record("DefWindowProcA", as_int(window), message, static_cast<std::intptr_t>(wparam), lparam);
    return script.default_result;
}

void PostQuitMessage(int exit_code) {
    record("PostQuitMessage", exit_code);
    MSG quit{};
    quit.message = WM_QUIT;
    quit.wParam = static_cast<WPARAM>(exit_code);
    fake_win32::queue.push_back(quit);
}

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* pfd) {
    record("ChoosePixelFormat", as_int(dc), as_int(pfd));
    return script.choose_pixel_format;
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* pfd) {
    record("SetPixelFormat", as_int(dc), format, as_int(pfd));
    return script.set_pixel_format;
}

BOOL SwapBuffers(HDC dc) {
    record("SwapBuffers", as_int(dc));
    return TRUE;
}

HGLRC wglCreateContext(HDC dc) {
    record("wglCreateContext", as_int(dc));
    return script.create_context ? fake_win32::context : nullptr;
}

BOOL wglMakeCurrent(HDC dc, HGLRC context) {
    record("wglMakeCurrent", as_int(dc), as_int(context));
    return context != nullptr ? script.make_current : script.release_current;
}

BOOL wglDeleteContext(HGLRC context) {
    record("wglDeleteContext", as_int(context));
    return script.delete_context;
}

BOOL sndPlaySoundA(LPCSTR sound, UINT flags) {
    record("sndPlaySoundA", as_int(sound), flags);
    return script.play_sound;
}
