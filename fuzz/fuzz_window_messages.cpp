// Fuzz target: the window procedure and the frame driver behind it, reached the way the Linux
// host layer reaches them. SDL key events go through the layer's key translation into its
// message queue with the show's frame timer, SDL window events through its size rules to
// WM_SIZE; turns of the program's message loop take messages out and dispatch them as
// PeekMessageA and DispatchMessageA do; other messages of any number and parameters are posted
// to the queue or sent straight to the window procedure. Frames are drawn against the GL recorder
// and every Win32 call is answered by the scripted stand-in. After each step the show's state
// must lie in its ranges; the input ends when the loop takes WM_QUIT or the show ends the
// process (the stand-in's ExitProcess throws).
//
// A longer run by hand, from the fuzz build directory (20 minutes):
//   nice fuzz/fuzz_window_messages -max_total_time=1200 -max_len=8192
//   fuzz/corpus/window_messages fuzz/seeds/window_messages
// With SOLID_FUZZ_TRACE set in the environment each input's ending is printed (for looking at
// single inputs: fuzz/fuzz_window_messages <file>).
#include "app/window.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/window_messages_script.h"
#include "platform/sdl/keys.h"
#include "platform/win32/message_queue.h"
#include "platform/win32/window_events.h"
#include "show/scenes.h"
#include "tests/support/fake_win32.h"
#include "tests/support/gl_recorder.h"
#include "tests/support/show_state.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using namespace window_messages;

// The frame timer as the program sets it: id 0, every 10 ms, no callback.
const UINT_PTR frame_timer_id = 0;
const UINT frame_timer_ms = 10;
const HWND not_the_show = reinterpret_cast<HWND>(0x9900);
// What the stand-in's DefWindowProcA answers: never 0, so a message the window procedure
// answers itself is told apart.
const LRESULT default_answer = 0x5EED;

std::uint32_t random_state_at_start = 0;
bool trace = false;

HWND window_for(unsigned choice) {
    switch (choice % 3) {
    case show_window:
        return fake_win32::window;
    case no_window:
        return nullptr;
    default:
        return not_the_show;
    }
}

UINT read_message(ByteReader& in) {
    const unsigned selector = in.u8();
    return selector < message_table_size ? message_table[selector] : in.u32();
}

std::uint64_t read_value(ByteReader& in) {
    switch (in.u8()) {
    case 0:
        return in.u8();
    case 1:
        return in.u16();
    case 2:
        return in.u32();
    case width_u64:
        return in.u64();
    default:
        return edge_values[in.u8() % edge_value_count];
    }
}

bool in_unit_half(float c) {
    return c >= 0.0f && c <= 0.5f;
}

void check_show_state() {
    // Scene 11 is entered only by the frame that ends the process.
    FUZZ_CHECK(scene_index >= 0 && scene_index < SCENE_COUNT - 1);
    FUZZ_CHECK(scene_time_ms >= 0 && scene_time_ms <= scenes[scene_index].duration_ms);
    FUZZ_CHECK(demo_time_ms >= 0 && scene_start_ms >= 0 && scene_start_ms <= demo_time_ms);
    for (unsigned char state : key_down) {
        FUZZ_CHECK(state == 0 || state == 1);
    }
    FUZZ_CHECK(flicker_phase == 0 || flicker_phase == 1);
    FUZZ_CHECK(in_unit_half(background_color.r) && in_unit_half(background_color.g) &&
               in_unit_half(background_color.b));
    FUZZ_CHECK(std::isfinite(camera_offset.x) && std::isfinite(camera_offset.y) &&
               std::isfinite(camera_offset.z));
    // Every scene leaves the model-view stack as it found it and never pops past it.
    FUZZ_CHECK(gl_recorder::matrix_depth == 0 && gl_recorder::min_matrix_depth == 0);
}

// A key message as Windows makes it: a code of 1 to 255, repeat count 1, the key's scan code and
// extended flag, and the transition bits that match the message.
void check_key_message(const win32::KeyMessage& key, SDL_Scancode scancode, bool pressed,
                       bool repeat) {
    FUZZ_CHECK(key.wparam >= 1 && key.wparam <= 255);
    if (pressed) {
        FUZZ_CHECK(key.message == WM_KEYDOWN || key.message == WM_SYSKEYDOWN);
    } else {
        FUZZ_CHECK(key.message == WM_KEYUP || key.message == WM_SYSKEYUP);
    }
    const auto bits = static_cast<std::uint32_t>(key.lparam);
    FUZZ_CHECK((bits & 0xFFFFu) == 1);
    const unsigned scan = win32::scan_code(scancode);
    FUZZ_CHECK((bits >> 16 & 0xFFu) == (scan & 0xFFu));
    FUZZ_CHECK(((bits >> 24) & 1u) == ((scan >> 8) == 0xE0u ? 1u : 0u));
    FUZZ_CHECK(((bits >> 31) & 1u) == (pressed ? 0u : 1u));
    FUZZ_CHECK(((bits >> 30) & 1u) == (repeat || !pressed ? 1u : 0u));
}

// The window procedure's table: 0 for the messages it answers itself (the two system commands
// compared with the whole wParam), the default procedure's answer for everything else.
LRESULT expected_result(UINT message, WPARAM wparam) {
    switch (message) {
    case WM_SIZE:
    case WM_ACTIVATE:
    case WM_CLOSE:
    case WM_KEYDOWN:
    case WM_KEYUP:
        return 0;
    case WM_SYSCOMMAND:
        return wparam == SC_SCREENSAVE || wparam == SC_MONITORPOWER ? 0 : default_answer;
    default:
        return default_answer;
    }
}

std::size_t swaps_recorded() {
    std::size_t swaps = 0;
    for (const fake_win32::Call& call : fake_win32::calls) {
        swaps += call.name == "SwapBuffers" ? 1 : 0;
    }
    return swaps;
}

// Windows' DefWindowProcA for the two ways the show is closed from the keyboard and the caption,
// as the host layer has them: Alt+F4 becomes SC_CLOSE, SC_CLOSE becomes WM_CLOSE.
void default_window_proc(const fake_win32::Call& call) {
    if (call.name != "DefWindowProcA") {
        return;
    }
    const HWND window = reinterpret_cast<HWND>(call.args[0]);
    const auto message = static_cast<UINT>(call.args[1]);
    const auto wparam = static_cast<WPARAM>(call.args[2]);
    const auto lparam = static_cast<std::uintptr_t>(call.args[3]);
    if (message == WM_SYSKEYDOWN && wparam == VK_F4 && (lparam & (1u << 29)) != 0) {
        window_proc(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (message == WM_SYSCOMMAND && (wparam & 0xFFF0) == SC_CLOSE) {
        window_proc(window, WM_CLOSE, 0, 0);
    }
}

// The size events the desktop backend reports for SDL's window events; the others report none.
bool size_event_of(const SDL_WindowEvent& event, win32::SizeEvent* kind) {
    switch (event.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        *kind = win32::SizeEvent::resized;
        return true;
    case SDL_WINDOWEVENT_MINIMIZED:
        *kind = win32::SizeEvent::minimized;
        return true;
    case SDL_WINDOWEVENT_RESTORED:
        *kind = win32::SizeEvent::restored;
        return true;
    case SDL_WINDOWEVENT_MAXIMIZED:
        *kind = win32::SizeEvent::maximized;
        return true;
    default:
        return false;
    }
}

class Session {
  public:
    Session(std::uint32_t start_tick, bool covers_screen) {
        // The window as open_window makes it: 640 x 480 client area.
        window_.client_width = 640;
        window_.client_height = 480;
        window_.covers_screen = covers_screen;
        fake_win32::tick_count = start_tick;
        demo_start_ms = start_tick;
        queue_.set_timer(fake_win32::window, frame_timer_id, frame_timer_ms, nullptr, start_tick);
    }

    // Runs the script until it ends or the program's loop takes WM_QUIT; true for WM_QUIT.
    bool run(ByteReader& in) {
        while (!in.empty()) {
            if (!step(in)) {
                return true;
            }
        }
        return false;
    }

  private:
    win32::MessageQueue queue_;
    win32::Window window_;
    std::uint32_t elapsed_ms_ = 0;

    DWORD now() const {
        return fake_win32::tick_count;
    }

    bool step(ByteReader& in) {
        switch (in.u8() % op_count) {
        case op_advance_clock: {
            // The show's clock is a signed count of milliseconds: at most 24 days of advances.
            const std::uint32_t ms = in.u16();
            if (elapsed_ms_ + ms <= 0x7FFFFFFFu) {
                elapsed_ms_ += ms;
                fake_win32::tick_count += ms;
            }
            return true;
        }
        case op_run_loop: {
            const unsigned turns = in.u8() + 1u;
            for (unsigned i = 0; i < turns; ++i) {
                MSG msg{};
                // The program's loop: everything, removed, and WM_QUIT ends it.
                if (!take(&msg, nullptr, 0, 0, true)) {
                    // PeekMessageA rests when it finds nothing unless a timer is due, so nothing
                    // may be due when nothing is taken.
                    FUZZ_CHECK(queue_.ms_until_next_timer(now()) != 0);
                    break;
                }
                if (msg.message == WM_QUIT) {
                    return false;
                }
                dispatch(msg);
            }
            return true;
        }
        case op_sdl_key:
            sdl_key(in);
            return true;
        case op_post_message: {
            MSG msg{};
            msg.hwnd = window_for(in.u8());
            msg.message = read_message(in);
            msg.wParam = static_cast<WPARAM>(read_value(in));
            msg.lParam = static_cast<LPARAM>(read_value(in));
            msg.time = now();
            queue_.post(msg);
            return true;
        }
        case op_send_message: {
            const UINT message = read_message(in);
            const auto wparam = static_cast<WPARAM>(read_value(in));
            const auto lparam = static_cast<LPARAM>(read_value(in));
            deliver(message, wparam, lparam);
            return true;
        }
        case op_set_timer: {
            const HWND window = window_for(in.u8());
            const UINT_PTR id = in.u32();
            queue_.set_timer(window, id, in.u32(), nullptr, now());
            return true;
        }
        case op_peek_filtered: {
            const HWND window = window_for(in.u8());
            const UINT lowest = in.u32();
            const UINT highest = in.u32();
            const bool remove = (in.u8() & 1u) != 0;
            MSG msg{};
            if (take(&msg, window, lowest, highest, remove) && remove) {
                if (msg.message == WM_QUIT) {
                    return false;
                }
                dispatch(msg);
            }
            return true;
        }
        case op_window_event:
            window_event(in);
            return true;
        case op_forget_window:
            queue_.forget_window(window_for(in.u8()));
            return true;
        default:
            return true;
        }
    }

    void window_event(ByteReader& in) {
        SDL_WindowEvent event{};
        event.type = SDL_WINDOWEVENT;
        event.event = window_events[in.u8() % window_event_count];
        event.data1 = in.u16();
        event.data2 = in.u16();
        const bool maximized = (in.u8() & 1u) != 0;
        const win32::Window before = window_;
        win32::SizeReport report{};
        win32::SizeEvent kind{};
        if (!size_event_of(event, &kind) ||
            !win32::size_report(kind, event.data1, event.data2, maximized, &window_, &report)) {
            FUZZ_CHECK(window_.client_width == before.client_width &&
                       window_.client_height == before.client_height &&
                       window_.minimized == before.minimized);
            return;
        }
        // A minimised window reports 0 x 0; otherwise the client size the layer now keeps, which
        // for a window covering the screen is still the mode's.
        if (report.kind == SIZE_MINIMIZED) {
            FUZZ_CHECK(window_.minimized && report.width == 0 && report.height == 0);
        } else {
            FUZZ_CHECK(report.kind == SIZE_RESTORED || report.kind == SIZE_MAXIMIZED);
            FUZZ_CHECK(!window_.minimized && report.width == window_.client_width &&
                       report.height == window_.client_height);
        }
        if (window_.covers_screen) {
            FUZZ_CHECK(window_.client_width == 640 && window_.client_height == 480);
        }
        // Sent, not posted, as the layer's send_size does.
        deliver(WM_SIZE, report.kind, MAKELPARAM(report.width, report.height));
    }

    bool take(MSG* msg, HWND window, UINT lowest, UINT highest, bool remove) {
        if (!queue_.take(msg, window, lowest, highest, remove, now())) {
            return false;
        }
        // The filter holds for whatever comes out.
        FUZZ_CHECK(window == nullptr || msg->hwnd == window);
        FUZZ_CHECK((lowest == 0 && highest == 0) ||
                   (msg->message >= lowest && msg->message <= highest));
        return true;
    }

    void sdl_key(ByteReader& in) {
        const unsigned flags = in.u8();
        const bool pressed = (flags & 1u) != 0;
        const bool repeat = (flags & 2u) != 0;
        SDL_KeyboardEvent key{};
        key.type = pressed ? SDL_KEYDOWN : SDL_KEYUP;
        key.state = pressed ? SDL_PRESSED : SDL_RELEASED;
        key.repeat = repeat ? 1 : 0;
        key.keysym.sym = static_cast<SDL_Keycode>(in.u32());
        key.keysym.scancode = static_cast<SDL_Scancode>(in.u16() % SDL_NUM_SCANCODES);
        key.keysym.mod = in.u16();
        win32::KeyMessage translated{};
        if (!sdl::translate_key(key, &translated)) {
            return;
        }
        check_key_message(translated, key.keysym.scancode, pressed, repeat);
        MSG msg{};
        msg.hwnd = fake_win32::window;
        msg.message = translated.message;
        msg.wParam = translated.wparam;
        msg.lParam = translated.lparam;
        msg.time = now();
        queue_.post(msg);
    }

    // DispatchMessageA: a window the layer does not know gets nothing, nor does a timer with a
    // callback (the program sets none; a posted one would name an arbitrary address).
    void dispatch(const MSG& msg) {
        if (msg.hwnd != fake_win32::window || (msg.message == WM_TIMER && msg.lParam != 0)) {
            return;
        }
        deliver(msg.message, msg.wParam, msg.lParam);
    }

    void deliver(UINT message, WPARAM wparam, LPARAM lparam) {
        fake_win32::calls.clear();
        gl_recorder::reset();
        gl_recorder::recording = false;
        unsigned char keys_before[sizeof key_down];
        std::memcpy(keys_before, key_down, sizeof key_down);
        const LRESULT result = window_proc(fake_win32::window, message, wparam, lparam);
        FUZZ_CHECK(result == expected_result(message, wparam));
        // One tick, one frame; nothing else presents one.
        FUZZ_CHECK(swaps_recorded() == (message == WM_TIMER ? 1u : 0u));
        // Only a key message changes a key state, and only its own.
        for (std::size_t code = 0; code < sizeof key_down; ++code) {
            const bool own_key = code == wparam && (message == WM_KEYDOWN || message == WM_KEYUP);
            FUZZ_CHECK(key_down[code] ==
                       (own_key ? (message == WM_KEYDOWN ? 1 : 0) : keys_before[code]));
        }
        // PostQuitMessage reached the stand-in's queue; the layer keeps the request in its own.
        for (const MSG& posted : fake_win32::queue) {
            if (posted.message == WM_QUIT) {
                queue_.post_quit(static_cast<int>(posted.wParam));
            }
        }
        fake_win32::queue.clear();
        check_show_state();
    }
};

void reset_process_state() {
    fake_win32::reset();
    fake_win32::quit_when_empty = false;
    fake_win32::on_call = default_window_proc;
    fake_win32::script.default_result = default_answer;
    gl_recorder::reset();
    gl_recorder::recording = false;
    window_handle = fake_win32::window;
    device_context = fake_win32::dc;
    reset_show_state();
    flicker_phase = 0;
    random_state = random_state_at_start;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // What the program does once before its first frame.
    random_state_at_start = random_state;
    trace = std::getenv("SOLID_FUZZ_TRACE") != nullptr;
    start_show();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reset_process_state();
    ByteReader in(data, size);
    const std::uint32_t start_tick = in.u32();
    Session session(start_tick, (in.u8() & 1u) != 0);
    const char* ending = "the script ran out";
    try {
        if (session.run(in)) {
            ending = "the loop took WM_QUIT";
        }
    } catch (const fake_win32::ProcessExit& exit) {
        // The frame that enters the last slot ends the show, with code 0.
        FUZZ_CHECK(exit.code == 0);
        FUZZ_CHECK(scene_index == SCENE_COUNT - 1);
        ending = "the show ended the process";
    }
    if (trace) {
        std::fprintf(stderr, "%s in scene %d at %d ms (camera %g %g %g)\n", ending,
                     static_cast<int>(scene_index), static_cast<int>(demo_time_ms),
                     static_cast<double>(camera_offset.x), static_cast<double>(camera_offset.y),
                     static_cast<double>(camera_offset.z));
    }
    return 0;
}
