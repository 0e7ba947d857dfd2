// A scripted stand-in for the Win32 subset the program calls: it records every call with its
// arguments and returns the results a test scripts. Linked instead of the host layer.
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace fake_win32 {

struct Call {
    std::string name;
    std::intptr_t args[8];
    std::string text;    // message box text, window title, class name
    std::string caption; // message box caption
};

// Results the stand-ins return. The defaults let everything succeed.
struct Script {
    ATOM register_class = 0xC001;
    LONG change_display = DISP_CHANGE_SUCCESSFUL;
    bool create_window = true;
    bool get_dc = true;
    int choose_pixel_format = 7;
    BOOL set_pixel_format = TRUE;
    bool create_context = true;
    BOOL make_current = TRUE;    // wglMakeCurrent with a context
    BOOL release_current = TRUE; // wglMakeCurrent(null, null)
    BOOL delete_context = TRUE;
    int release_dc = 1;
    BOOL destroy_window = TRUE;
    BOOL unregister_class = TRUE;
    int message_box_answer = IDYES; // for boxes with Yes and No; OK boxes answer IDOK
    BOOL play_sound = TRUE;
    // WM_SIZE (with the client size) sent to the window procedure as Windows sends it: from
    // inside CreateWindowExA for a popup, from the first ShowWindow for an overlapped window.
    bool send_size = true;
    // What DefWindowProcA answers.
    LRESULT default_result = 0;
    // While a window timer runs (from SetTimer until a DestroyWindow that succeeds), each message
    // box's modal loop dispatches one WM_TIMER to the window procedure, as Windows' does.
    bool ticks_in_message_boxes = false;
};

extern Script script;
extern std::vector<Call> calls;
// What GetTickCount returns.
extern DWORD tick_count;
// Added to tick_count after every GetTickCount, so that time moves between two reads.
extern DWORD tick_step;
// When set, each GetTickCount is recorded (args[0]: the count returned).
extern bool record_tick_reads;
// The last display mode handed to ChangeDisplaySettingsA, every byte of it.
extern DEVMODEA last_display_mode;
// Called after each call is recorded, e.g. to see how far the GL recorder had got by then.
extern std::function<void(const Call&)> on_call;
// Messages PeekMessageA hands out, first to last. When it is empty PeekMessageA answers
// WM_QUIT(0) if quit_when_empty is set (so a loop under test ends), and no message otherwise.
extern std::deque<MSG> queue;
extern bool quit_when_empty;
// The window procedure of the last class registered.
extern WNDPROC registered_proc;
// Non-zero handles the stand-ins give out.
extern const HWND window;
extern const HDC dc;
extern const HGLRC context;
extern const HINSTANCE instance;

// Thrown by ExitProcess, which must not return.
struct ProcessExit {
    UINT code;
};

void reset();

// The calls with this name, in order.
std::vector<Call> named(const std::string& name);
// The position of the first call with this name at or after `from`, or -1.
int index_of(const std::string& name, int from = 0);
// The names of all calls, in order, for failure messages.
std::string trace();

} // namespace fake_win32
