// The Win32 host layer: the part of Win32, WGL and GDI that the program calls, for hosts that are
// not Windows, so that the program's Windows code runs unchanged. Windows' rules live here once,
// for every host; a backend supplies only what differs from one host to the next. Each
// executable links the layer and exactly one backend (platform/sdl/ on a desktop, over SDL2;
// platform/headless/ for the capture, over EGL without a screen; platform/web/ in a page), as
// Quake links one of its snd_*.c drivers.
//
// What the layer supports, on every backend:
// - Window classes by name, windows with their window procedure, and the messages a window gets
//   while it is made, shown, hidden and destroyed, in the order Windows records (ignoring the
//   non-client, painting and position-change messages it also sends): WM_NCCREATE, WM_CREATE
//   from CreateWindowExA, and WM_SIZE, WM_MOVE there too for a popup; ShowWindow: WM_SHOWWINDOW,
//   WM_ACTIVATEAPP, WM_ACTIVATE (DefWindowProcA's WM_ACTIVATE sets the focus: WM_SETFOCUS), then
//   at an overlapped window's first showing WM_SIZE, WM_MOVE; losing activation (hiding, another
//   window's turn): WM_ACTIVATE WA_INACTIVE, WM_ACTIVATEAPP, WM_KILLFOCUS; DestroyWindow: those,
//   then WM_DESTROY, WM_NCDESTROY. The window frame belongs to the host, so AdjustWindowRectEx
//   leaves a rectangle as it is and the size given to CreateWindowExA is the client size.
// - A virtual display mode. ChangeDisplaySettingsA never changes a real mode: a mode of 16, 24
//   or 32 bits no larger than the backend's display is accepted (DISP_CHANGE_BADMODE otherwise,
//   and without a display), and a WS_POPUP window made while it is in force covers the whole
//   display. Its client area keeps the size the program asked for. ChangeDisplaySettingsA(NULL,
//   0) ends the mode and the popup becomes a plain window again.
// - The queue by Windows' rules (message_queue.h): posted messages, WM_QUIT, then WM_TIMER at
//   most once per timer; timer periods of at least 10 ms. What the user does becomes messages
//   inside PeekMessageA (the backend's pump_events): keys as WM_KEYDOWN/WM_KEYUP or
//   WM_SYSKEYDOWN/WM_SYSKEYUP with Windows' virtual-key codes and scan codes (keys.h), Alt's
//   release after Alt+key as WM_KEYUP and a lone Alt's as WM_SYSKEYUP; the close button as
//   WM_SYSCOMMAND SC_CLOSE, which DefWindowProcA turns into WM_CLOSE, as it does Alt+F4; size
//   changes as WM_SIZE, minimising as WM_SIZE 0 x 0 (window_events.h); focus changes as
//   WM_ACTIVATE. When PeekMessageA finds nothing, the backend idles until there may be.
// - Where the layer departs from Windows on purpose:
//   - The screen saver and monitor power-down: each time a window becomes active, after
//     WM_ACTIVATE and the focus, the layer asks its window procedure with WM_SYSCOMMAND
//     SC_SCREENSAVE and SC_MONITORPOWER (Windows asks the active window only when it is about to
//     start them, which a host's own screen saver never tells us); if either request is refused
//     (does not reach DefWindowProcA) they stay off until the window is no longer active.
//   - No keyboard menu mode: a lone Alt or F10 sends no WM_SYSCOMMAND SC_KEYMENU, and Alt+key
//     none either, as the windows here have no menus to open.
// - GDI and WGL: one device context per window for its life (CS_OWNDC); one pixel format (RGBA,
//   double-buffered, the colour and depth bits the descriptor asks for), set once per window; GL
//   contexts made for a window, current on one window at a time; SwapBuffers hands the finished
//   frame to the backend.
// - Message boxes with OK, OK/Cancel, Yes/No and Yes/No/Cancel buttons (dialog.h), asked by the
//   backend. A box nobody can be asked about goes to standard error and answers with its first
//   button.
// - ShowCursor with Windows' display counter, GetTickCount from the backend's clock (wrapping
//   32-bit milliseconds), ExitProcess through the backend, which puts back whatever the process
//   changed before it ends. A backend whose clock moves a frame at a time keeps a FrameClock
//   (frame_clock.h).
// - sndPlaySoundA with in-memory WAV images of PCM, played once (sound.cpp); the backend plays
//   the samples.
//
// What it leaves out: threads, the mouse, WM_CHAR (TranslateMessage posts nothing), WM_PAINT,
// child windows, menus, icons and cursors from resources (LoadIconA and LoadCursorA hand out the
// system ones only), class names given as atoms, more than one pixel format, refresh rates, the
// real display mode, and a modal loop inside message boxes (the program's windows get no messages
// while a box is up).
#pragma once

#include "platform/win32.h"

#include <string>

namespace win32 {

struct Window;
struct WavSamples;

// What a window's HDC points at: the class style CS_OWNDC gives each window one for its life.
struct DeviceContext {
    Window* window;
};

struct Window {
    WNDPROC proc = nullptr;
    std::string class_name;
    DWORD style = 0;
    // The client size as the program sees it; for a window that covers the display the size it
    // asked for, not the size of the display.
    int client_width = 0;
    int client_height = 0;
    bool covers_screen = false;
    // Where the program placed it, and whether the window has yet to hear of its size and place
    // (WM_SIZE, WM_MOVE).
    int x = 0;
    int y = 0;
    bool size_move_pending = false;
    bool visible = false;
    bool minimized = false;
    bool destroying = false;
    bool pixel_format_set = false;
    PIXELFORMATDESCRIPTOR pixel_format = {};
    DeviceContext dc = {};
    // The backend's own window, if it has one.
    void* native = nullptr;
};

// What the layer offers its backend.
Window* find_window(HWND window);
Window* find_native_window(const void* native);
Window* window_of_dc(HDC dc);
HWND handle_of(const Window* window);
HWND active_window();
// Calls the window's procedure, as SendMessage does; 0 when the window is gone.
LRESULT send(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Posts to the thread's queue, as input is posted; false when the queue is full.
bool post(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// The window becomes (or stops being) the active one, with the messages that go with it.
void set_active(HWND window, bool active);
// Takes every GL context and every window down without messages, through the backend (the end of
// the process).
void release_windows();
// Between the layer's own files: a window going away takes its contexts off it (releasing the
// current one if it draws there); every context is deleted.
void forget_window_contexts(const Window* window);
void release_contexts();
// The answer of a message box that nobody can be asked: caption and text on standard error,
// with `why` when there is a choice to explain, and the box's first button.
int answer_unasked(const char* caption, const char* text, UINT type, const char* why);

// What a window becomes at the program's or the user's request.
enum class WindowChange { show, hide, raise, minimize, maximize, restore, uncover };

} // namespace win32

// What a backend supplies: it defines every function below. idle and ask may wait on the host (a
// frame, an answer), as long as the program's thread comes back with the result; all are called
// on that one thread.
namespace backend {

// The clock: milliseconds, wrapping at 2^32.
DWORD tick_count();
// Turns what the host has seen since the last call into messages (win32::post, send, set_active
// and the size events of window_events.h).
void pump_events();
// PeekMessageA found nothing to return: wait for the host (its next event or frame) rather than
// let a polling program spin. `ms_until_timer` is how long until the next timer falls due: 0 when
// one is due, -1 without timers.
void idle(long ms_until_timer);

// The size of the display a virtual mode may not exceed; false when there is no display.
bool display_size(int* width, int* height);
// Gives a new window (its style, client size and covers_screen are set) the host's own window,
// at (x, y) with the title given; false when the host cannot have one.
bool create_window(win32::Window& window, const char* title, int x, int y);
// The host's window goes, with any GL context drawing to it left without a window.
void destroy_window(win32::Window& window);
void change_window(win32::Window& window, win32::WindowChange change);
void show_cursor(bool shown);
void allow_screen_saver(bool allowed);

// A GL context for drawing to the window (its pixel format is set); not current. Null when the
// host has none.
void* create_context(win32::Window& window);
// Makes the context current, drawing to the window; both null: no context is current. On a
// context's first use `first_use` is true: WGL then sets the viewport to the client area.
bool make_current(win32::Window* window, void* context, bool first_use);
void delete_context(void* context);
// Shows the frame the current context has finished (SwapBuffers).
bool present(win32::Window& window, void* context);

// Asks the user a message box's question and returns the answer (IDOK, IDYES, ...), or
// win32::answer_unasked when there is no one to ask.
int ask(const win32::Window* owner, const char* caption, const char* text, UINT type);

// Plays the samples once, in the background; false, with one line on standard error, when the
// host cannot play them. They are the caller's: a host that plays them after returning copies
// them.
bool play_sound(const win32::WavSamples& sound);
void stop_sound();
// True until the last of the samples has been handed to the host, or the sound stopped; a host
// that cannot tell (a page) says false.
bool sound_playing();

// Ends the process with `exit_code` (ExitProcess), putting back whatever the host changed.
[[noreturn]] void exit_process(UINT exit_code);

} // namespace backend
