// What the browser backend's files share: the functions of the page (host.js) they call, and the
// one window the page has.
#pragma once

#include "platform/win32/backend.h"

extern "C" {

// Waits for the browser's next animation frame (an ASYNCIFY import: the program's stack is put
// away meanwhile and comes back in the frame). On the test clock `frame` is the frame on show,
// and the result says whether the clock moves on to the next one (a test may hold it); on the
// real clock `frame` is -1 and the result is to be ignored.
int web_wait_frame(double frame);
// The frame rate of the page's test clock, 0 without one.
int web_test_clock_fps();
// The page's clock in milliseconds: it stands while the page is hidden, and while a sound plays
// it follows the sound as heard.
double web_clock_ms();
// Shows a dialog in the page with the buttons given by web_dialog_button since the last dialog,
// and waits for the user's answer (an ASYNCIFY import). The answer is also the gesture the page
// needs to start sound.
int web_ask(const char* caption, const char* text, int icon);
void web_dialog_button(const char* text, int answer, int return_default, int escape_default);

// The next thing the user did, oldest first: its kind and flags (below), 0 when there is none.
// A key's DOM code and key names are written into the two buffers.
int web_take_event(char* code, int code_size, char* key, int key_size);

// The page's window: its title bar and canvas.
void web_open_window(const char* title);
void web_show_window(int shown);
void web_close_window();
void web_leave_fullscreen();
void web_show_cursor(int shown);
void web_keep_screen_on(int on);
// Lays the window out for a picture of that size and brings the canvas' drawing buffer to its
// size on the page in device pixels, and says what it is.
void web_fit_canvas(int picture_width, int picture_height, int* width, int* height);

// Hands 16- or 8-bit PCM samples to Web Audio and starts them; 0 when the page cannot play them.
int web_play_sound(const void* samples, int frames, int channels, int rate, int bits);
void web_stop_sound();

// Ends the show on the page that says so, and leaves the program's stack for good.
[[noreturn]] void web_exit(int exit_code);
}

namespace web {

// What web_take_event reports.
enum EventKind { event_key = 1, event_close = 2, event_focus = 3, event_blur = 4 };
constexpr int event_kind_mask = 0xF;
constexpr int key_pressed = 0x10;
constexpr int key_repeat = 0x20;
constexpr int key_alt = 0x40;
constexpr int key_ctrl = 0x80;

// The one window the page shows, or null.
win32::Window* page_window();

// SwapBuffers has finished a picture. The browser shows it only once the program hands it the
// thread, so the next look at the queue waits for the next animation frame first
// (wait_after_frame): a frame that takes longer than the frame timer's period would otherwise be
// followed straight by the next, and the page would keep its thread for as long as that lasts.
void frame_finished();
void wait_after_frame();

} // namespace web
