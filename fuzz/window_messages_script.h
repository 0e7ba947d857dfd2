// The script a window_messages fuzz input spells: a start tick and a byte that says whether the
// window covers the screen (1) or is a plain window (0), then operations on the host layer's
// queue, SDL key and window events and the window procedure, each an opcode byte and its fields.
// Shared by the fuzz target, which reads it, and the seed generator, which writes it.
#pragma once

#include "fuzz/byte_script.h"
#include "platform/win32.h"

#include <SDL_keyboard.h>
#include <SDL_video.h>

#include <cstdint>

namespace window_messages {

enum Op : std::uint8_t {
    op_advance_clock, // u16 milliseconds
    op_run_loop,      // u8 n: up to n + 1 turns of the program's message loop
    op_sdl_key,       // u8 flags (1 pressed, 2 repeat), u32 sym, u16 scancode, u16 modifiers
    op_post_message,  // u8 window, message, wparam, lparam: posted to the queue
    op_send_message,  // message, wparam, lparam: straight to the window procedure
    op_set_timer,     // u8 window, u32 id, u32 period
    op_peek_filtered, // u8 window, u32 lowest, u32 highest, u8 remove
    op_window_event,  // u8 event (see window_events), u16 width, u16 height, u8 maximised
    op_forget_window, // u8 window: the window is destroyed, with its timers and posted messages
    op_count,         // opcodes are taken modulo op_count
};

// A message field is a selector byte: below message_table_size it picks from this table,
// otherwise a u32 message number follows.
constexpr UINT message_table[] = {
    WM_NULL,     WM_CREATE,    WM_DESTROY,    WM_MOVE,  WM_SIZE,       WM_ACTIVATE,
    WM_SETFOCUS, WM_KILLFOCUS, WM_CLOSE,      WM_QUIT,  WM_SHOWWINDOW, WM_ACTIVATEAPP,
    WM_NCCREATE, WM_NCDESTROY, WM_KEYDOWN,    WM_KEYUP, WM_CHAR,       WM_SYSKEYDOWN,
    WM_SYSKEYUP, WM_SYSCHAR,   WM_SYSCOMMAND, WM_TIMER,
};
constexpr unsigned message_table_size = sizeof message_table / sizeof message_table[0];
constexpr unsigned raw_message = 0xFF;

// A wParam or lParam field is a width byte (0: u8, 1: u16, 2: u32, 3: u64) and the value in
// that width; any other width byte is followed by a u8 that picks one of these edges, modulo
// their count.
constexpr unsigned width_u64 = 3;
constexpr std::uint64_t edge_values[] = {
    0,
    1,
    0xFF,
    0x100,
    0x101,
    0x7FFF,
    0x8000,
    0xFFFF,
    0x10000,
    0x7FFFFFFF,
    0x80000000u,
    0xFFFFFFFFu,
    0x100000000u,
    0x7FFFFFFFFFFFFFFFu,
    0x8000000000000000u,
    ~std::uint64_t{0},
};
constexpr unsigned edge_value_count = sizeof edge_values / sizeof edge_values[0];

// Window fields: the show's window, no window (a thread message), or a window that is not the
// show's.
constexpr unsigned show_window = 0;
constexpr unsigned no_window = 1;
constexpr unsigned other_window = 2;

// Window event fields pick from these, modulo their count.
constexpr std::uint8_t window_events[] = {
    SDL_WINDOWEVENT_SIZE_CHANGED, SDL_WINDOWEVENT_MINIMIZED,    SDL_WINDOWEVENT_RESTORED,
    SDL_WINDOWEVENT_MAXIMIZED,    SDL_WINDOWEVENT_FOCUS_GAINED, SDL_WINDOWEVENT_RESIZED,
};
constexpr unsigned window_event_count = sizeof window_events / sizeof window_events[0];

struct ScriptWriter : ByteWriter {
    ScriptWriter(std::uint32_t start_tick, bool covers_screen) {
        u32(start_tick).u8(covers_screen ? 1 : 0);
    }
    ScriptWriter& advance(unsigned ms) {
        u8(op_advance_clock).u16(ms);
        return *this;
    }
    ScriptWriter& loop(unsigned turns) {
        u8(op_run_loop).u8(turns - 1);
        return *this;
    }
    // Frames every `step_ms` for `total_ms`, each followed by a turn of the loop.
    ScriptWriter& frames(unsigned total_ms, unsigned step_ms) {
        for (unsigned t = 0; t < total_ms; t += step_ms) {
            advance(step_ms).loop(2);
        }
        return *this;
    }
    ScriptWriter& key(bool pressed, bool repeat, SDL_Keycode sym, SDL_Scancode scancode,
                      unsigned modifiers = KMOD_NONE) {
        u8(op_sdl_key).u8((pressed ? 1u : 0u) | (repeat ? 2u : 0u));
        u32(static_cast<std::uint32_t>(sym)).u16(scancode).u16(modifiers);
        return *this;
    }
    ScriptWriter& message(UINT number, std::uint64_t wparam, std::uint64_t lparam) {
        u8(raw_message).u32(number);
        u8(width_u64).u64(wparam);
        u8(width_u64).u64(lparam);
        return *this;
    }
    ScriptWriter& post(unsigned window, UINT number, std::uint64_t wparam, std::uint64_t lparam) {
        u8(op_post_message).u8(window);
        return message(number, wparam, lparam);
    }
    ScriptWriter& send(UINT number, std::uint64_t wparam, std::uint64_t lparam) {
        u8(op_send_message);
        return message(number, wparam, lparam);
    }
    ScriptWriter& set_timer(unsigned window, std::uint32_t id, std::uint32_t period) {
        u8(op_set_timer).u8(window).u32(id).u32(period);
        return *this;
    }
    ScriptWriter& window_event(unsigned event, unsigned width, unsigned height, bool maximized) {
        u8(op_window_event).u8(event).u16(width).u16(height).u8(maximized ? 1 : 0);
        return *this;
    }
    ScriptWriter& forget(unsigned window) {
        u8(op_forget_window).u8(window);
        return *this;
    }
    ScriptWriter& peek(unsigned window, UINT lowest, UINT highest, bool remove) {
        u8(op_peek_filtered).u8(window).u32(lowest).u32(highest).u8(remove ? 1 : 0);
        return *this;
    }
};

} // namespace window_messages
