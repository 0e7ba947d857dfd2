// The Win32 host layer for Linux: the part of Win32, WGL and GDI that the program calls, supplied
// over SDL2 so that the program's Windows code runs unchanged. One thread, one queue, windows of
// registered classes, each window with its own GL context.
//
// What it supports:
// - Window classes by name, windows with their window procedure, and the messages Windows sends
//   while a window is made, shown and destroyed, in Windows' order: WM_NCCREATE, WM_CREATE,
//   WM_SIZE, WM_MOVE from CreateWindowExA; WM_SHOWWINDOW, WM_ACTIVATEAPP, WM_ACTIVATE from
//   ShowWindow (DefWindowProcA's WM_ACTIVATE sets the focus: WM_SETFOCUS); WM_ACTIVATE,
//   WM_KILLFOCUS, WM_ACTIVATEAPP, WM_DESTROY, WM_NCDESTROY from DestroyWindow. The window frame
//   belongs to the window manager, so AdjustWindowRectEx leaves a rectangle as it is and the
//   size given to CreateWindowExA is the client size.
// - A virtual display mode. ChangeDisplaySettingsA never changes the real mode: a mode of 16, 24
//   or 32 bits no larger than the desktop is accepted (DISP_CHANGE_BADMODE otherwise, and without
//   a display), and a WS_POPUP window made while it is in force covers the whole screen. Its
//   client area keeps the size the program asked for. ChangeDisplaySettingsA(NULL, 0) ends the
//   mode and the popup becomes a plain window again.
// - GL through WGL: one pixel format (RGBA, double-buffered, with the colour and depth bits the
//   descriptor asks for). The program draws into an offscreen framebuffer of exactly the client
//   size (GL_RGB565 for 16-bit colour, GL_DEPTH_COMPONENT16 for 16-bit depth), re-made when the
//   client size changes; SwapBuffers shows it scaled to the window's full drawable size (HiDPI
//   included) with its aspect ratio kept, black bars around it and no smoothing. Presenting puts
//   back every GL state it touches. Without framebuffer objects (GL below 3.0 and no
//   ARB_framebuffer_object) the program draws straight into the window.
// - The queue by Windows' rules (platform/linux/message_queue.h): posted messages, WM_QUIT, then
//   WM_TIMER at most once per timer; timer periods of at least 10 ms. Input and window changes
//   become messages inside PeekMessageA: keys as WM_KEYDOWN/WM_KEYUP with Windows' virtual-key
//   codes and auto-repeat, Alt combinations and F10 as WM_SYSKEYDOWN/WM_SYSKEYUP (see keys.h);
//   the window's close button as WM_SYSCOMMAND SC_CLOSE, which DefWindowProcA turns into
//   WM_CLOSE, as it does Alt+F4; size changes as WM_SIZE, minimising as WM_SIZE 0 x 0; focus
//   changes as WM_ACTIVATE.
// - PeekMessageA sleeps 1 ms when it finds nothing to return, so a program that polls does not
//   keep a processor busy: never longer than 1 ms, and never when a timer is due.
// - The screen saver and monitor power-down: when a window becomes active the layer asks its
//   window procedure with WM_SYSCOMMAND SC_SCREENSAVE and SC_MONITORPOWER, as Windows does before
//   starting them; if either request is refused (does not reach DefWindowProcA) they stay off
//   until the window is no longer active.
// - Message boxes as real dialogs (OK, OK/Cancel, Yes/No, Yes/No/Cancel; Return picks the first
//   button, Escape picks Cancel, or No in a Yes/No box). Without a display the caption and text
//   go to standard error and the box answers with its first button.
// - ShowCursor with Windows' display counter, GetTickCount from the monotonic clock (wrapping
//   32-bit milliseconds), ExitProcess: the screen put back, the sound closed, SDL shut down,
//   standard output flushed, then the exit code.
//
// What it leaves out: threads, the mouse, WM_CHAR (TranslateMessage posts nothing), WM_PAINT,
// child windows, menus, icons and cursors from resources (LoadIconA and LoadCursorA hand out the
// system ones only), class names given as atoms, more than one pixel format, refresh rates, the
// real display mode, and a modal loop inside message boxes (the program's windows get no messages
// while a box is up).
#pragma once

#include "platform/win32.h"

#include <SDL.h>

#include <string>

namespace host {

class MessageQueue;

struct Window;

// What a window's HDC points at: the class style CS_OWNDC gives each window one for its life.
struct DeviceContext {
    Window* window;
};

struct Window {
    SDL_Window* sdl = nullptr;
    WNDPROC proc = nullptr;
    std::string class_name;
    DWORD style = 0;
    // The client size as the program sees it; for a window that covers the screen the size it
    // asked for, not the size of the screen.
    int client_width = 0;
    int client_height = 0;
    bool covers_screen = false;
    bool visible = false;
    bool minimized = false;
    bool destroying = false;
    bool pixel_format_set = false;
    PIXELFORMATDESCRIPTOR pixel_format = {};
    DeviceContext dc = {};
};

// Hints that must be in place before SDL starts any of its parts.
void prepare();
// Starts SDL's video on first use; false when there is no display.
bool video_ready();
bool video_running();
// On an X display: errors the server reports are written to standard error and passed over
// instead of ending the process (Xlib's default).
void keep_x_errors_non_fatal();

Window* find_window(HWND window);
Window* find_window(SDL_Window* sdl);
Window* window_of_dc(HDC dc);
HWND handle_of(const Window* window);
HWND active_window();

// Calls the window's procedure, as SendMessage does; 0 when the window is gone.
LRESULT send(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// The window becomes (or stops being) the active one, with the messages that go with it.
void set_active(HWND window, bool active);

MessageQueue& queue();
// Turns what SDL has seen since the last call into messages.
void pump_events();

// The client area of a window changed size: re-make its framebuffer if its context is current.
void client_resized_gl(Window& window);
// A window is going away: contexts that draw to it stop doing so.
void forget_window_gl(const Window& window);
// Deletes every GL context.
void release_gl();
// Takes every window down without messages (the end of the process).
void release_windows();

// Puts the screen back, closes the sound and shuts SDL down. Runs once.
void shutdown();

} // namespace host

// From the sound player (or its silent stand-in): stops playback and closes the audio device.
void close_sound();
