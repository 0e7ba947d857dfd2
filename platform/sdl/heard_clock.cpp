#include "platform/sdl/heard_clock.h"

#include <algorithm>
#include <cmath>

namespace sdl {

void HeardClock::hold(double real_ms) {
    held_at_ = now(real_ms, false, 0);
    sound_start_ = held_at_;
    held_since_ = real_ms;
    holding_ = true;
    following_ = false;
    gave_up_ = false;
}

void HeardClock::release(double real_ms) {
    if (holding_) {
        offset_ = held_at_ - real_ms;
        holding_ = false;
    }
    following_ = false;
}

double HeardClock::now(double real_ms, bool playing, double heard_ms) {
    if (holding_) {
        if (playing && heard_ms >= 0) {
            // The first sample is heard: from now on the clock follows the sound.
            holding_ = false;
            following_ = true;
            offset_ = sound_start_ + heard_ms - real_ms;
        } else if (!playing || real_ms - held_since_ > give_up_ms) {
            gave_up_ = playing;
            release(real_ms);
        }
    } else if (following_ && playing) {
        const double error = sound_start_ + heard_ms - (real_ms + offset_);
        offset_ += std::abs(error) > snap_ms ? error : error / 8;
    } else {
        following_ = false;
    }
    const double value = holding_ ? held_at_ : real_ms + offset_;
    last_ = read_ ? std::max(last_, value) : value;
    read_ = true;
    return last_;
}

} // namespace sdl
