// The capture's backend, all but its GL: the virtual clock, whose frames each deliver every timer
// once; windows without a screen; message boxes kept for the capture's own error message; the
// sound and the end of the process handed to the sink.
#include "platform/headless/gl_gate.h"
#include "platform/headless/host_state.h"
#include "platform/win32/backend.h"
#include "platform/win32/dialog.h"
#include "platform/win32/wav_image.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace capture::host {

Sink* sink = nullptr;
win32::FrameClock clock;

} // namespace capture::host

namespace {

std::vector<std::string> shown_boxes;

// A program that polls an empty queue with no timer running would wait forever for a frame.
constexpr long idle_peek_limit = 10000000;
long idle_peeks = 0;

// The capture's display is virtual: every mode up to the largest size a window can have is there.
constexpr int display_limit = 0xFFFF;

} // namespace

namespace capture {

const std::vector<std::string>& message_boxes() {
    return shown_boxes;
}

void start(Sink* sink, int fps) {
    host::sink = sink;
    host::clock.fps = fps;
}

void end(End how, int show_exit_code) {
    static bool ending = false;
    int code = 1;
    if (!ending && host::sink != nullptr) {
        ending = true;
        // A sink that stopped wants no frame drawn after it said so.
        if (how != End::sink_stopped) {
            host::finish_frames();
        }
        code = host::sink->finish(how, show_exit_code);
    }
    std::fflush(nullptr);
    // Straight out, as ExitProcess leaves: no static destructors under a GL call of the program.
    std::_Exit(code);
}

} // namespace capture

namespace backend {

DWORD tick_count() {
    // The 32-bit tick count wraps as Windows' does.
    return static_cast<DWORD>(capture::host::clock.now_ms());
}

void pump_events() {}

void idle(long ms_until_timer) {
    if (ms_until_timer < 0) {
        if (++idle_peeks >= idle_peek_limit) {
            std::fprintf(stderr, "the program waits for messages, but no timer runs to send any\n");
            capture::end(capture::End::program_returned, 0);
        }
        return;
    }
    // Nothing else waits: the next frame falls due, and with it every timer, once.
    idle_peeks = 0;
    capture::host::clock.step();
    capture::host::set_drawing(capture::host::sink->wants_picture(capture::host::clock.frame));
}

bool display_size(int* width, int* height) {
    *width = display_limit;
    *height = display_limit;
    return true;
}

bool create_window(win32::Window&, const char*, int, int) {
    return true;
}

void destroy_window(win32::Window&) {}

void change_window(win32::Window&, win32::WindowChange) {}

void show_cursor(bool) {}

void allow_screen_saver(bool) {}

int ask(const win32::Window*, const char*, const char* text, UINT type) {
    // No one is there to press a button: the text is kept for the capture's own message.
    std::string line = text;
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    shown_boxes.push_back(line);
    return win32::default_answer(type);
}

bool play_sound(const win32::WavSamples& sound) {
    // The sink takes the image the samples came from.
    if (!capture::host::sink->take_sound(sound.image, sound.image_bytes)) {
        capture::end(capture::End::sink_stopped, 0);
    }
    return true;
}

// Nothing plays here.
void stop_sound() {}

bool sound_playing() {
    return false;
}

void exit_process(UINT exit_code) {
    capture::end(capture::End::show_exited, static_cast<int>(exit_code));
}

} // namespace backend
