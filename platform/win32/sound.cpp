// WinMM's sndPlaySoundA, by its rules on every host; the backend only plays the samples.
//
// - SND_MEMORY images only: the pointer is a whole RIFF/WAVE image in memory, of PCM of 8 or 16
//   bits in one or two channels (wav_image.h). File names and aliases are not played.
// - SND_ASYNC starts the sound in the background and returns at once; without it the call
//   returns when the sound has played, on a host that can wait for it (the page cannot: there
//   the sound plays in the background all the same). SND_NODEFAULT is what happens anyway: there
//   is no default sound. SND_LOOP is not supported. A null pointer stops the sound that is playing.
// - The sound plays once, from the layer's copy of the image: the image may change or go once the
//   call has returned. A new sound replaces the one playing.
// - FALSE, with one line on standard error, when the image cannot be played or the host cannot
//   play it; the caller then simply goes on in silence. Nothing past the 8 + RIFF size bytes the
//   image declares is read, and a malformed image is refused before the host is asked to play.
//   An image without samples stops the sound playing and plays nothing.
#include "platform/win32/backend.h"
#include "platform/win32/wav_image.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

// The image playing now, the layer's own copy.
std::vector<std::uint8_t> playing;

void stop() {
    backend::stop_sound();
    playing = std::vector<std::uint8_t>();
}

} // namespace

BOOL sndPlaySoundA(LPCSTR sound, UINT flags) {
    if (sound == nullptr) {
        stop();
        return TRUE;
    }
    if ((flags & SND_MEMORY) == 0 || (flags & SND_LOOP) != 0) {
        std::fprintf(stderr, "sound: only in-memory images played once are supported\n");
        return FALSE;
    }
    win32::WavSamples samples{};
    const char* problem = nullptr;
    if (!win32::read_wav(reinterpret_cast<const std::uint8_t*>(sound), &samples, &problem)) {
        std::fprintf(stderr, "sound: cannot play the image: %s\n", problem);
        return FALSE;
    }
    stop();
    if (samples.frames == 0) {
        return TRUE;
    }
    playing.assign(samples.image, samples.image + samples.image_bytes);
    samples.data = playing.data() + (samples.data - samples.image);
    samples.image = playing.data();
    if (!backend::play_sound(samples)) {
        stop();
        return FALSE;
    }
    if ((flags & SND_ASYNC) == 0 && backend::sound_playing()) {
        while (backend::sound_playing()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        stop();
    }
    return TRUE;
}
