// The thread's message queue, by Windows' rules: posted messages first, in the order posted;
// then WM_QUIT once PostQuitMessage has asked for it and nothing else is posted; then WM_TIMER
// for a timer that has fallen due, generated only when the queue is otherwise empty and never
// more than one per timer, however many periods have passed.
//
// Time is the 32-bit millisecond tick count, compared with wrap-around, so the queue keeps
// working when the count passes 2^32.
#pragma once

#include "platform/win32.h"

#include <cstddef>
#include <deque>
#include <vector>

namespace win32 {

// Windows' USER_TIMER_MINIMUM and USER_TIMER_MAXIMUM: periods are clamped into this range.
constexpr UINT timer_minimum_ms = 10;
constexpr UINT timer_maximum_ms = 0x7FFFFFFF;
// A thread's queue holds at most this many posted messages, as on Windows.
constexpr std::size_t posted_limit = 10000;

class MessageQueue {
  public:
    // False when the queue is full.
    bool post(const MSG& msg);
    void post_quit(int exit_code);

    // Starts a timer, or restarts the window's timer of the same id with a new period. The first
    // tick falls due one period from now.
    void set_timer(HWND window, UINT_PTR id, UINT period_ms, TIMERPROC callback, DWORD now);
    // Every timer falls due at `now`: for a backend whose clock moves a frame at a time, each
    // frame is one period of every timer.
    void fire_timers(DWORD now);
    // A destroyed window takes its timers and its posted messages with it.
    void forget_window(HWND window);

    // The next message that matches the filter (a null window takes every window's messages; a
    // range of 0 to 0 takes every message number), removed if asked. False when there is none.
    bool take(MSG* out, HWND window, UINT filter_min, UINT filter_max, bool remove, DWORD now);

    // Milliseconds until the next timer falls due (0 if one is due), or -1 without timers.
    long ms_until_next_timer(DWORD now) const;

  private:
    struct Timer {
        HWND window;
        UINT_PTR id;
        UINT period_ms;
        TIMERPROC callback;
        DWORD due_ms;
    };

    std::deque<MSG> posted_;
    bool quit_pending_ = false;
    int quit_code_ = 0;
    std::vector<Timer> timers_;
};

// The one thread's queue.
MessageQueue& thread_queue();

} // namespace win32
