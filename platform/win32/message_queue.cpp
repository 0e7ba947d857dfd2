#include "platform/win32/message_queue.h"

#include <algorithm>
#include <cstdint>

namespace win32 {

namespace {

bool matches(HWND msg_window, UINT message, HWND window, UINT filter_min, UINT filter_max) {
    if (window != nullptr && msg_window != window) {
        return false;
    }
    if (filter_min == 0 && filter_max == 0) {
        return true;
    }
    return message >= filter_min && message <= filter_max;
}

// Signed distance from one tick count to a later one, across the 2^32 wrap.
std::int32_t ms_after(DWORD now, DWORD then) {
    return static_cast<std::int32_t>(now - then);
}

} // namespace

bool MessageQueue::post(const MSG& msg) {
    if (posted_.size() >= posted_limit) {
        return false;
    }
    posted_.push_back(msg);
    return true;
}

void MessageQueue::post_quit(int exit_code) {
    quit_pending_ = true;
    quit_code_ = exit_code;
}

void MessageQueue::set_timer(HWND window, UINT_PTR id, UINT period_ms, TIMERPROC callback,
                             DWORD now) {
    const UINT period = std::clamp(period_ms, timer_minimum_ms, timer_maximum_ms);
    const Timer timer{window, id, period, callback, now + period};
    for (Timer& existing : timers_) {
        if (existing.window == window && existing.id == id) {
            existing = timer;
            return;
        }
    }
    timers_.push_back(timer);
}

void MessageQueue::fire_timers(DWORD now) {
    for (Timer& timer : timers_) {
        timer.due_ms = now;
    }
}

void MessageQueue::forget_window(HWND window) {
    timers_.erase(std::remove_if(timers_.begin(), timers_.end(),
                                 [&](const Timer& timer) { return timer.window == window; }),
                  timers_.end());
    posted_.erase(std::remove_if(posted_.begin(), posted_.end(),
                                 [&](const MSG& msg) { return msg.hwnd == window; }),
                  posted_.end());
}

bool MessageQueue::take(MSG* out, HWND window, UINT filter_min, UINT filter_max, bool remove,
                        DWORD now) {
    for (auto it = posted_.begin(); it != posted_.end(); ++it) {
        if (matches(it->hwnd, it->message, window, filter_min, filter_max)) {
            *out = *it;
            if (remove) {
                posted_.erase(it);
            }
            return true;
        }
    }

    // WM_QUIT belongs to the thread, not to a window.
    if (quit_pending_ && matches(nullptr, WM_QUIT, window, filter_min, filter_max)) {
        *out = MSG{};
        out->message = WM_QUIT;
        out->wParam = static_cast<WPARAM>(quit_code_);
        out->time = now;
        if (remove) {
            quit_pending_ = false;
        }
        return true;
    }

    for (Timer& timer : timers_) {
        if (ms_after(now, timer.due_ms) < 0 ||
            !matches(timer.window, WM_TIMER, window, filter_min, filter_max)) {
            continue;
        }
        *out = MSG{};
        out->hwnd = timer.window;
        out->message = WM_TIMER;
        out->wParam = timer.id;
        out->lParam = reinterpret_cast<LPARAM>(timer.callback);
        out->time = now;
        if (remove) {
            // Ticks that passed while nobody asked are dropped; the next one keeps the timer's
            // phase.
            const DWORD periods_late = (now - timer.due_ms) / timer.period_ms;
            timer.due_ms += (periods_late + 1) * timer.period_ms;
        }
        return true;
    }
    return false;
}

long MessageQueue::ms_until_next_timer(DWORD now) const {
    long soonest = -1;
    for (const Timer& timer : timers_) {
        const long wait = std::max<long>(0, -static_cast<long>(ms_after(now, timer.due_ms)));
        if (soonest < 0 || wait < soonest) {
            soonest = wait;
        }
    }
    return soonest;
}

MessageQueue& thread_queue() {
    static MessageQueue queue;
    return queue;
}

} // namespace win32
