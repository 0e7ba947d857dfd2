// The application shell: program entry, the window with its GL context, the window procedure
// and the key states.
#pragma once

#include "platform/gl.h"

// Window and GL context, all null or zero until open_window makes them.
extern HINSTANCE instance_handle;
extern HWND window_handle;
extern HDC device_context;
extern HGLRC gl_context;
// True while the display mode is changed and the window is a borderless popup.
extern bool fullscreen;
extern PIXELFORMATDESCRIPTOR pixel_format_desc;

// Set by program_main once start-up has made everything a frame draws with (the clock, the
// quadrics, the falling sprites). Until then the window procedure draws nothing on a timer tick:
// on Windows a message box shown while open_window fails runs a modal loop that delivers them.
extern bool startup_finished;

// The program's start-up, message loop and teardown. Returns the process exit code, always 0.
int program_main(HINSTANCE instance, HINSTANCE prev_instance, LPSTR command_line, int show);

// The last steps of the start-up, once the window, its GL context and the soundtrack are up: time
// 0 of the show is now (GetTickCount), then the quadrics and the falling-sprite table, and from
// then on a timer tick draws a frame. The one start of the show: benchmarks, fuzz targets and
// tests that draw frames of a started show call it too.
void start_show();

bool open_window(const char* title, int width, int height, int bits, bool fullscreen_choice);
void close_window();
void resize_viewport(int width, int height);
bool init_gl_state();

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
