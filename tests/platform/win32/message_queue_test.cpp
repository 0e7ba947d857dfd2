#include "platform/win32/message_queue.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

const HWND window_a = reinterpret_cast<HWND>(std::uintptr_t{0x1000});
const HWND window_b = reinterpret_cast<HWND>(std::uintptr_t{0x2000});

MSG posted(HWND window, UINT message, WPARAM wparam = 0) {
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wparam;
    return msg;
}

// Takes every message available at `now`, removing each.
std::vector<MSG> drain(win32::MessageQueue& queue, DWORD now) {
    std::vector<MSG> taken;
    MSG msg{};
    while (queue.take(&msg, nullptr, 0, 0, true, now)) {
        taken.push_back(msg);
    }
    return taken;
}

TEST(MessageQueue, PostedMessagesComeFirstInOrderThenQuitThenTimer) {
    win32::MessageQueue queue;
    queue.set_timer(window_a, 0, 10, nullptr, 0);
    queue.post_quit(3);
    queue.post(posted(window_a, WM_KEYDOWN, VK_LEFT));
    queue.post(posted(window_a, WM_KEYUP, VK_LEFT));

    const std::vector<MSG> taken = drain(queue, 50);
    ASSERT_EQ(taken.size(), 4u);
    EXPECT_EQ(taken[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(taken[1].message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(taken[2].message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(taken[2].wParam, 3u);
    EXPECT_EQ(taken[2].hwnd, nullptr);
    EXPECT_EQ(taken[3].message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(taken[3].hwnd, window_a);
    // WM_QUIT is handed out once.
    EXPECT_TRUE(drain(queue, 50).empty());
}

// The show's frame timer: a tick every 10 ms, and however long the program was busy (the song
// render), one WM_TIMER waits for it, not a burst of the ticks it missed.
TEST(MessageQueue, TimerTicksEveryPeriodWithAtMostOnePending) {
    win32::MessageQueue queue;
    queue.set_timer(window_a, 0, 10, nullptr, 1000);
    EXPECT_TRUE(drain(queue, 1009).empty());
    EXPECT_EQ(queue.ms_until_next_timer(1009), 1);

    const std::vector<MSG> first = drain(queue, 1010);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(first[0].wParam, 0u);
    EXPECT_EQ(first[0].lParam, 0);

    // 3 s late: one tick, and the next keeps the 10 ms phase.
    EXPECT_EQ(drain(queue, 4015).size(), 1u);
    EXPECT_TRUE(drain(queue, 4019).empty());
    EXPECT_EQ(queue.ms_until_next_timer(4015), 5);
    EXPECT_EQ(drain(queue, 4020).size(), 1u);
}

TEST(MessageQueue, PeekingWithoutRemovingLeavesTheMessage) {
    win32::MessageQueue queue;
    queue.set_timer(window_a, 7, 10, nullptr, 0);
    queue.post(posted(window_a, WM_SYSCOMMAND, SC_CLOSE));
    MSG msg{};
    ASSERT_TRUE(queue.take(&msg, nullptr, 0, 0, false, 20));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_SYSCOMMAND));
    ASSERT_TRUE(queue.take(&msg, nullptr, 0, 0, true, 20));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_SYSCOMMAND));
    ASSERT_TRUE(queue.take(&msg, nullptr, 0, 0, false, 20));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(drain(queue, 20).size(), 1u);
}

TEST(MessageQueue, PeriodsAreClampedToTheWindowsMinimum) {
    win32::MessageQueue queue;
    queue.set_timer(window_a, 0, 1, nullptr, 0);
    EXPECT_TRUE(drain(queue, 9).empty());
    EXPECT_EQ(drain(queue, 10).size(), 1u);
    queue.set_timer(window_b, 0, 0, nullptr, 0);
    EXPECT_EQ(queue.ms_until_next_timer(0), 10);
}

// GetTickCount wraps after 49.7 days; a timer started just before must still tick.
TEST(MessageQueue, TimersTickAcrossTheTickCountWrap) {
    win32::MessageQueue queue;
    const DWORD start = 0xFFFFFFFAu;
    queue.set_timer(window_a, 0, 10, nullptr, start);
    EXPECT_TRUE(drain(queue, 0xFFFFFFFFu).empty());
    EXPECT_TRUE(drain(queue, 3).empty());
    EXPECT_EQ(queue.ms_until_next_timer(3), 1);
    EXPECT_EQ(drain(queue, 4).size(), 1u);
    EXPECT_TRUE(drain(queue, 13).empty());
    EXPECT_EQ(drain(queue, 14).size(), 1u);
}

TEST(MessageQueue, SettingATimerAgainReplacesIt) {
    win32::MessageQueue queue;
    queue.set_timer(window_a, 0, 10, nullptr, 0);
    queue.set_timer(window_a, 0, 50, nullptr, 0);
    EXPECT_TRUE(drain(queue, 49).empty());
    EXPECT_EQ(drain(queue, 50).size(), 1u);
    // Another identifier, or another window, is another timer.
    queue.set_timer(window_a, 1, 10, nullptr, 50);
    queue.set_timer(window_b, 0, 10, nullptr, 50);
    EXPECT_EQ(drain(queue, 100).size(), 3u);
}

TEST(MessageQueue, ADestroyedWindowTakesItsTimersAndMessagesAlong) {
    win32::MessageQueue queue;
    queue.set_timer(window_a, 0, 10, nullptr, 0);
    queue.set_timer(window_b, 0, 10, nullptr, 0);
    queue.post(posted(window_a, WM_KEYDOWN, 'A'));
    queue.post(posted(window_b, WM_KEYDOWN, 'B'));
    queue.post_quit(0);
    queue.forget_window(window_a);

    const std::vector<MSG> taken = drain(queue, 10);
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken[0].wParam, static_cast<WPARAM>('B'));
    EXPECT_EQ(taken[1].message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(taken[2].hwnd, window_b);
    EXPECT_EQ(queue.ms_until_next_timer(10), 10);
    queue.forget_window(window_b);
    EXPECT_EQ(queue.ms_until_next_timer(10), -1);
}

TEST(MessageQueue, FiltersByWindowAndMessageRange) {
    win32::MessageQueue queue;
    queue.post(posted(window_a, WM_KEYDOWN, 'A'));
    queue.post(posted(window_b, WM_SIZE));
    queue.post(posted(window_b, WM_KEYUP, 'B'));
    queue.post_quit(0);
    MSG msg{};

    ASSERT_TRUE(queue.take(&msg, window_b, 0, 0, true, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_SIZE));
    ASSERT_TRUE(queue.take(&msg, nullptr, WM_KEYUP, WM_KEYUP, true, 0));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('B'));
    // WM_QUIT is no window's, and outside a range that leaves it out.
    EXPECT_FALSE(queue.take(&msg, window_b, 0, 0, true, 0));
    EXPECT_FALSE(queue.take(&msg, nullptr, WM_TIMER, WM_TIMER, true, 0));
    ASSERT_TRUE(queue.take(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, true, 0));
    ASSERT_TRUE(queue.take(&msg, nullptr, 0, 0, true, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
}

TEST(MessageQueue, PostingFailsWhenTheQueueIsFull) {
    win32::MessageQueue queue;
    for (std::size_t i = 0; i < win32::posted_limit; ++i) {
        ASSERT_TRUE(queue.post(posted(window_a, WM_KEYDOWN)));
    }
    EXPECT_FALSE(queue.post(posted(window_a, WM_KEYDOWN)));
    MSG msg{};
    ASSERT_TRUE(queue.take(&msg, nullptr, 0, 0, true, 0));
    EXPECT_TRUE(queue.post(posted(window_a, WM_KEYUP)));
}

TEST(MessageQueue, ATimerCallbackTravelsInLParam) {
    win32::MessageQueue queue;
    const TIMERPROC callback = [](HWND, UINT, UINT_PTR, DWORD) {};
    queue.set_timer(nullptr, 4, 10, callback, 0);
    MSG msg{};
    ASSERT_TRUE(queue.take(&msg, nullptr, 0, 0, true, 10));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.wParam, 4u);
    EXPECT_EQ(msg.lParam, reinterpret_cast<LPARAM>(callback));
}

} // namespace
