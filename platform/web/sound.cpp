// The page's sound: the samples sndPlaySoundA hands over (its rules are the layer's,
// platform/win32/sound.cpp) played once through Web Audio, starting at the moment of the call.
#include "platform/web/page.h"
#include "platform/win32/wav_image.h"

#include <climits>
#include <cstdio>

namespace backend {

bool play_sound(const win32::WavSamples& sound) {
    if (sound.frames > INT_MAX) {
        std::fprintf(stderr, "sound: cannot play the image: too long\n");
        return false;
    }
    // The page says so itself when it has no sound.
    return web_play_sound(sound.data, static_cast<int>(sound.frames), sound.channels, sound.rate,
                          sound.bits) != 0;
}

void stop_sound() {
    web_stop_sound();
}

// The page plays in the background and cannot wait for a sound without stopping the picture.
bool sound_playing() {
    return false;
}

} // namespace backend
