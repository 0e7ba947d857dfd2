// WinMM's sndPlaySoundA in the browser: the in-memory WAV image's samples played once through Web
// Audio, starting at the moment of the call.
#include "platform/web/page.h"
#include "platform/web/wav_image.h"

#include <climits>
#include <cstdint>
#include <cstdio>

BOOL sndPlaySoundA(LPCSTR sound, UINT flags) {
    if (sound == nullptr) {
        web_stop_sound();
        return TRUE;
    }
    // The page plays in the background whatever SND_ASYNC says: it cannot wait for a sound
    // without stopping the picture.
    if ((flags & SND_MEMORY) == 0 || (flags & SND_LOOP) != 0) {
        std::fprintf(stderr, "sound: only in-memory images played once are supported\n");
        return FALSE;
    }
    web::WavSamples samples{};
    const char* problem = nullptr;
    if (!web::read_wav(reinterpret_cast<const std::uint8_t*>(sound), &samples, &problem)) {
        std::fprintf(stderr, "sound: cannot play the image: %s\n", problem);
        return FALSE;
    }
    if (samples.frames > INT_MAX) {
        std::fprintf(stderr, "sound: cannot play the image: too long\n");
        return FALSE;
    }
    // The page says so itself when it has no sound.
    return web_play_sound(samples.data, static_cast<int>(samples.frames), samples.channels,
                          samples.rate, samples.bits) != 0
               ? TRUE
               : FALSE;
}
