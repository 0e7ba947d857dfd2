// The desktop's clock while a sound plays. Time 0 of the show is the moment its first sample is
// heard, not the moment the sound is started: between them lie the samples SDL and the device hold
// (two buffers of SDL's, about 46 ms) and, on a sound server that has to start its output first,
// as much as a second. So from the start of a sound the clock stands until the first sample is
// heard, and then follows the sound as heard. Readings of the sound are a few milliseconds off
// either way: the clock moves an eighth of the way to each, jumps only when far off, and never
// goes back. A sound not heard within `give_up_ms` is given up: the clock goes on from where it
// stands, as it does when the sound stops.
#pragma once

namespace sdl {

class HeardClock {
  public:
    static constexpr double give_up_ms = 4000;
    static constexpr double snap_ms = 30;

    // A sound starts at real time `real_ms`: the clock stands at its value until it is heard.
    void hold(double real_ms);
    // The sound stopped (or will never be heard): the clock runs on from its value.
    void release(double real_ms);
    // The clock's value at real time `real_ms` (a monotonic clock in milliseconds). While a sound
    // plays, `heard_ms` is how far into it the sound heard now is (negative while its first
    // sample is on its way); `playing` is false without a sound.
    double now(double real_ms, bool playing, double heard_ms);
    // Whether the clock waits for the sound to be heard; whether the last sound was given up.
    bool holding() const {
        return holding_;
    }
    bool gave_up() const {
        return gave_up_;
    }

  private:
    double offset_ = 0; // the clock less the real clock while it runs
    double last_ = 0;   // the last value read: the clock never goes back
    bool read_ = false;
    bool holding_ = false;
    bool gave_up_ = false;
    bool following_ = false; // a sound is heard and the clock follows it
    double held_at_ = 0;     // the value the clock stands at while it holds
    double held_since_ = 0;  // the real time the hold began
    double sound_start_ = 0; // the clock's value at the sound's first sample
};

} // namespace sdl
