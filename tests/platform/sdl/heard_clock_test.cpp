// The desktop's clock while a sound plays: it stands until the sound is heard, follows it, never
// goes back, and gives up on a sound that is never heard.
#include "platform/sdl/heard_clock.h"

#include <gtest/gtest.h>

namespace {

using sdl::HeardClock;

TEST(HeardClock, StandsUntilTheSoundIsHeardThenFollowsIt) {
    HeardClock clock;
    EXPECT_DOUBLE_EQ(clock.now(1000, false, 0), 1000); // runs free without a sound
    clock.hold(1000);
    EXPECT_TRUE(clock.holding());
    // The output takes a second to start: the clock stands meanwhile.
    EXPECT_DOUBLE_EQ(clock.now(1500, true, -46), 1000);
    EXPECT_DOUBLE_EQ(clock.now(2000, true, -1), 1000);
    // Heard: the clock is the sound's start plus what has been heard.
    EXPECT_DOUBLE_EQ(clock.now(2010, true, 5), 1005);
    EXPECT_FALSE(clock.holding());
    // On time, it runs with the real clock; a reading a little off moves it an eighth of the way.
    EXPECT_DOUBLE_EQ(clock.now(2110, true, 105), 1105);
    EXPECT_DOUBLE_EQ(clock.now(2210, true, 213), 1206);
    // Far ahead, it jumps.
    EXPECT_DOUBLE_EQ(clock.now(2310, true, 400), 1400);
    // The sound stalls (an underrun): the clock runs on a little, never goes back, and once more
    // than a few milliseconds ahead waits for the sound; then follows it again.
    double last = 1400;
    for (int real = 2320; real <= 2800; real += 10) {
        const double value = clock.now(real, true, 400);
        EXPECT_GE(value, last);
        last = value;
    }
    EXPECT_LE(last, 1400 + HeardClock::snap_ms);
    EXPECT_NEAR(clock.now(2900, true, 500), 1500, HeardClock::snap_ms);
}

TEST(HeardClock, GivesUpOnASoundNeverHeardAndRunsOnWhenItStops) {
    HeardClock clock;
    clock.hold(0);
    EXPECT_DOUBLE_EQ(clock.now(HeardClock::give_up_ms - 1, true, -10), 0);
    EXPECT_DOUBLE_EQ(clock.now(HeardClock::give_up_ms + 1, true, -10), 0);
    EXPECT_TRUE(clock.gave_up());
    // From where it stood, with the real clock, whatever the sound says later.
    EXPECT_DOUBLE_EQ(clock.now(HeardClock::give_up_ms + 101, true, 5000), 100);

    // A sound stopped before it is heard: no wait, no jump.
    HeardClock stopped;
    stopped.hold(100);
    EXPECT_DOUBLE_EQ(stopped.now(150, true, -20), 100);
    stopped.release(200);
    EXPECT_FALSE(stopped.gave_up());
    EXPECT_DOUBLE_EQ(stopped.now(300, false, 0), 200);
    // A device that went away while held: on from where it stood when that was seen.
    stopped.hold(300);
    EXPECT_DOUBLE_EQ(stopped.now(350, false, 0), 200);
    EXPECT_DOUBLE_EQ(stopped.now(450, false, 0), 300);
}

} // namespace
