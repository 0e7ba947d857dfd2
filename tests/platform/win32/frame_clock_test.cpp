// The virtual frame clock of the capture and the page's test clock.
#include "platform/win32/frame_clock.h"

#include <gtest/gtest.h>

namespace {

using win32::frame_on_screen_at;
using win32::frame_time_ms;

TEST(FrameClock, FramesFallOnWholeMillisecondsWithoutDrift) {
    // 60 fps: 16.67 ms a frame, floored, so every third frame gains the lost millisecond.
    EXPECT_EQ(frame_time_ms(0, 60), 0);
    EXPECT_EQ(frame_time_ms(1, 60), 16);
    EXPECT_EQ(frame_time_ms(2, 60), 33);
    EXPECT_EQ(frame_time_ms(3, 60), 50);
    EXPECT_EQ(frame_time_ms(60, 60), 1000);
    // After an hour of frames the clock is still exact.
    EXPECT_EQ(frame_time_ms(60 * 3600, 60), 3600000);
    EXPECT_EQ(frame_time_ms(52, 1000), 52);
}

TEST(FrameClock, TheFrameOnScreenIsTheLastOneDrawnAtOrBeforeATime) {
    EXPECT_EQ(frame_on_screen_at(0, 60), 0);
    EXPECT_EQ(frame_on_screen_at(15, 60), 0);
    EXPECT_EQ(frame_on_screen_at(16, 60), 1);
    EXPECT_EQ(frame_on_screen_at(32, 60), 1);
    EXPECT_EQ(frame_on_screen_at(33, 60), 2);
    EXPECT_EQ(frame_on_screen_at(1000, 60), 60);
    EXPECT_EQ(frame_on_screen_at(999, 1000), 999);
    for (int fps : {1, 7, 24, 30, 60, 144, 1000}) {
        for (std::int64_t t = 0; t < 3000; t += 7) {
            const std::int64_t frame = frame_on_screen_at(t, fps);
            EXPECT_LE(frame_time_ms(frame, fps), t) << fps << " fps, " << t << " ms";
            EXPECT_GT(frame_time_ms(frame + 1, fps), t) << fps << " fps, " << t << " ms";
        }
    }
}

} // namespace
