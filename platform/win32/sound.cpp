// WinMM's sndPlaySoundA, by its rules on every host; the backend only plays the samples.
//
// - SND_MEMORY images only: the pointer is a whole RIFF/WAVE image in memory, of PCM of 8 or 16
//   bits in one or two channels (wav_image.h). File names and aliases are not played.
// - SND_ASYNC starts the sound in the background and returns at once; without it the call
//   returns when the sound has played, on a host that can wait for it (the page cannot: there
//   the sound plays in the background all the same). SND_NODEFAULT is what happens anyway: there
//   is no default sound. SND_LOOP is not supported. A null pointer stops the sound that is playing.
// - The sound plays once. A new sound replaces the one playing. A backend that plays after the call
//   has returned keeps its own copy of the samples: the image may then change or go (the capture's
//   sink reads the program's image, which the show keeps to the end).
// - FALSE, with one line on standard error, when the image cannot be played or the host cannot
//   play it; the caller then simply goes on in silence. Nothing past the 8 + RIFF size bytes the
//   image declares is read, and a malformed image is refused before the host is asked to play.
//   An image without samples stops the sound playing and plays nothing.
#include "platform/win32/backend.h"
#include "platform/win32/wav_image.h"

#include <chrono>
#include <cstdio>
#include <thread>

BOOL sndPlaySoundA(LPCSTR sound, UINT flags) {
    if (sound == nullptr) {
        backend::stop_sound();
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
    backend::stop_sound();
    if (samples.frames == 0) {
        return TRUE;
    }
    if (!backend::play_sound(samples)) {
        backend::stop_sound();
        return FALSE;
    }
    if ((flags & SND_ASYNC) == 0 && backend::sound_playing()) {
        while (backend::sound_playing()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        backend::stop_sound();
    }
    return TRUE;
}
