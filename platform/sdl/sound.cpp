#include "platform/sdl/sound.h"

#include "platform/win32/backend.h"
#include "platform/win32/wav_image.h"

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

bool audio_up = false;        // SDL's audio subsystem is initialised
SDL_AudioDeviceID device = 0; // the open device, 0 when none
// The sound being played. Set while the device is paused, then read by the audio thread alone.
const std::uint8_t* play_next = nullptr; // the next byte to hand to the device
std::size_t play_left = 0;               // bytes still to hand over
std::uint8_t play_silence = 0;           // the format's silence, for the rest of the last buffer
std::atomic<bool> play_done{true};

// SDL's audio thread asks for the next len bytes.
void SDLCALL fill_buffer(void*, Uint8* stream, int len) {
    std::size_t wanted = static_cast<std::size_t>(len);
    const std::size_t n = play_left < wanted ? play_left : wanted;
    std::memcpy(stream, play_next, n);
    play_next += n;
    play_left -= n;
    if (n < wanted) {
        std::memset(stream + n, play_silence, wanted - n);
        play_done.store(true);
    }
}

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
    wanted.callback = fill_buffer;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts to whatever the hardware wants.
    device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        std::fprintf(stderr, "sound: no audio device (%s); playing nothing\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audio_up = false;
        return false;
    }
    play_silence = obtained.silence;
    return true;
}

} // namespace

namespace backend {

bool play_sound(const win32::WavSamples& sound) {
    stop_sound();
    if (!open_device(sound)) {
        return false;
    }
    play_next = sound.data;
    play_left = sound.frames * static_cast<std::size_t>(sound.channels * sound.bits / 8);
    play_done.store(false);
    // The device was opened paused; unpausing starts the audio thread's calls.
    SDL_PauseAudioDevice(device, 0);
    return true;
}

void stop_sound() {
    if (device != 0) {
        // Waits for the audio thread to finish its buffer and end.
        SDL_CloseAudioDevice(device);
        device = 0;
    }
    play_done.store(true);
}

bool sound_playing() {
    return device != 0 && !play_done.load();
}

} // namespace backend

void close_sound() {
    backend::stop_sound();
    if (audio_up) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audio_up = false;
    }
}
