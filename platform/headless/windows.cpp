// The capture's backend, all but its GL: the virtual clock, whose frames each deliver every timer
// once; windows without a screen; message boxes kept for the capture's own error message; the
// sound and the end of the process handed to the sink.
#include "platform/headless/frame_clock.h"
#include "platform/headless/gl_gate.h"
#include "platform/headless/host_state.h"
#include "platform/win32/backend.h"
#include "platform/win32/dialog.h"
#include "platform/win32/message_queue.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

std::vector<std::string> shown_boxes;

// A program that polls an empty queue with no timer running would wait forever for a frame.
constexpr long idle_peek_limit = 10000000;
long idle_peeks = 0;

// The capture's display is virtual: every mode up to the largest size a window can have is there.
constexpr int display_limit = 0xFFFF;

std::uint32_t read_le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

} // namespace

namespace capture {

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
    return static_cast<DWORD>(capture::host::now_ms());
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
    ++capture::host::frame;
    capture::host::set_drawing(capture::host::sink->wants_picture(capture::host::frame));
    win32::thread_queue().fire_timers(tick_count());
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
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    shown_boxes.push_back(line);
    return win32::default_answer(type);
}

void exit_process(UINT exit_code) {
    capture::end(capture::End::show_exited, static_cast<int>(exit_code));
}

} // namespace backend

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
