#include "platform/sdl/sound.h"

#include "platform/linux/wav_image.h"
#include "platform/win32.h"

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

void stop_sound() {
    if (device != 0) {
        // Waits for the audio thread to finish its buffer and end.
        SDL_CloseAudioDevice(device);
        device = 0;
    }
    play_done.store(true);
}

bool open_device(const WavImage& wav) {
    if (!audio_up) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            std::fprintf(stderr, "sound: no audio (%s); playing nothing\n", SDL_GetError());
            return false;
        }
        audio_up = true;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(wav.sample_rate);
    wanted.format = wav.bits_per_sample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    wanted.channels = static_cast<Uint8>(wav.channels);
    wanted.samples = 1024; // about 23 ms at 44100 Hz
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

BOOL sndPlaySoundA(LPCSTR sound, UINT flags) {
    if (sound == nullptr) {
        stop_sound();
        return TRUE;
    }
    if ((flags & SND_MEMORY) == 0 || (flags & SND_LOOP) != 0) {
        std::fprintf(stderr, "sound: only in-memory images played once are supported\n");
        return FALSE;
    }
    WavImage wav;
    const WavError error =
        parse_wav_image(reinterpret_cast<const std::uint8_t*>(sound), SIZE_MAX, &wav);
    if (error != WavError::none) {
        std::fprintf(stderr, "sound: cannot play the image: %s\n", wav_error_text(error));
        return FALSE;
    }

    stop_sound();
    if (wav.sample_bytes == 0) {
        return TRUE;
    }
    if (!open_device(wav)) {
        return FALSE;
    }
    play_next = wav.samples;
    play_left = wav.sample_bytes;
    play_done.store(false);
    // The device was opened paused; unpausing starts the audio thread's calls.
    SDL_PauseAudioDevice(device, 0);

    if ((flags & SND_ASYNC) == 0) {
        while (!play_done.load()) {
            SDL_Delay(5);
        }
        stop_sound();
    }
    return TRUE;
}

bool sound_playing() {
    return device != 0 && !play_done.load();
}

void close_sound() {
    stop_sound();
    if (audio_up) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audio_up = false;
    }
}
