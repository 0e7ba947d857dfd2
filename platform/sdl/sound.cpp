#include "platform/sdl/sound.h"

#include "platform/win32/backend.h"
#include "platform/win32/wav_image.h"

#include <SDL.h>

#include <cstdint>
#include <cstdio>

namespace {

bool audio_up = false;        // SDL's audio subsystem is initialised
SDL_AudioDeviceID device = 0; // the open device, 0 when none

bool open_device(const win32::WavSamples& sound) {
    if (!audio_up) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            std::fprintf(stderr, "sound: no audio (%s); playing nothing\n", SDL_GetError());
            return false;
        }
        audio_up = true;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = sound.rate;
    wanted.format = sound.bits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    wanted.channels = static_cast<Uint8>(sound.channels);
    // About 23 ms a buffer whatever the rate (1024 frames at 44100 Hz): stopping waits for the
    // buffer being played, which at a rate of a few hertz would take many seconds.
    wanted.samples = 1;
    while (wanted.samples < 4096 && wanted.samples * 1000 < std::int64_t{sound.rate} * 23) {
        wanted.samples = static_cast<Uint16>(wanted.samples * 2);
    }
    // No callback: the samples are queued. No changes allowed: SDL converts to whatever the
    // hardware wants.
    device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (device == 0) {
        std::fprintf(stderr, "sound: no audio device (%s); playing nothing\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audio_up = false;
        return false;
    }
    return true;
}

} // namespace

namespace backend {

bool play_sound(const win32::WavSamples& sound) {
    if (!open_device(sound)) {
        return false;
    }
    // SDL's queue keeps its own copy of the samples.
    const std::size_t bytes = sound.frames * static_cast<std::size_t>(sound.channels) *
                              static_cast<std::size_t>(sound.bits / 8);
    if (SDL_QueueAudio(device, sound.data, static_cast<Uint32>(bytes)) != 0) {
        std::fprintf(stderr, "sound: cannot queue the samples (%s); playing nothing\n",
                     SDL_GetError());
        stop_sound();
        return false;
    }
    // The device was opened paused; unpausing starts playing.
    SDL_PauseAudioDevice(device, 0);
    return true;
}

void stop_sound() {
    if (device != 0) {
        // Waits for the audio thread to finish its buffer and end.
        SDL_CloseAudioDevice(device);
        device = 0;
    }
}

bool sound_playing() {
    return device != 0 && SDL_GetQueuedAudioSize(device) > 0;
}

} // namespace backend

void close_sound() {
    backend::stop_sound();
    if (audio_up) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audio_up = false;
    }
}
