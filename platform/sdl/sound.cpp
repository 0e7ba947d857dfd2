#include "platform/sdl/sound.h"

#include "platform/win32.h"

#include <SDL.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

bool audio_up = false;        // SDL's audio subsystem is initialised
SDL_AudioDeviceID device = 0; // the open device, 0 when none
Uint8* samples = nullptr;     // the samples SDL read from the image, until the sound stops
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
    SDL_FreeWAV(samples);
    samples = nullptr;
    play_done.store(true);
}

// How many bytes the image at `image` declares: its RIFF size and the 8 bytes before it, or 0 when
// it is no RIFF image or too small to hold even its form type. The tag is compared byte by byte,
// so a shorter block that is no image is read no further than its first byte that differs.
std::size_t declared_bytes(const std::uint8_t* image) {
    for (int i = 0; i < 4; ++i) {
        if (image[i] != static_cast<std::uint8_t>("RIFF"[i])) {
            return 0;
        }
    }
    const std::uint32_t riff_size =
        static_cast<std::uint32_t>(image[4]) | static_cast<std::uint32_t>(image[5]) << 8 |
        static_cast<std::uint32_t>(image[6]) << 16 | static_cast<std::uint32_t>(image[7]) << 24;
    return riff_size < 4 ? 0 : static_cast<std::size_t>(riff_size) + 8;
}

// Reads the image with SDL's WAV reader, which sees only the bytes the image declares. An image
// cut short or with a chunk past its declared end is refused, not played in part.
bool load_image(const std::uint8_t* image, SDL_AudioSpec* spec, Uint8** data, Uint32* bytes) {
    const std::size_t size = declared_bytes(image);
    if (size == 0 || size > INT_MAX) {
        std::fprintf(stderr, "sound: cannot play the image: not a RIFF/WAVE image\n");
        return false;
    }
    SDL_SetHintWithPriority(SDL_HINT_WAVE_TRUNCATION, "verystrict", SDL_HINT_OVERRIDE);
    SDL_SetHintWithPriority(SDL_HINT_WAVE_RIFF_CHUNK_SIZE, "force", SDL_HINT_OVERRIDE);
    SDL_RWops* memory = SDL_RWFromConstMem(image, static_cast<int>(size));
    if (memory == nullptr || SDL_LoadWAV_RW(memory, 1, spec, data, bytes) == nullptr) {
        std::fprintf(stderr, "sound: cannot play the image: %s\n", SDL_GetError());
        return false;
    }
    return true;
}

bool open_device(const SDL_AudioSpec& format) {
    if (!audio_up) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            std::fprintf(stderr, "sound: no audio (%s); playing nothing\n", SDL_GetError());
            return false;
        }
        audio_up = true;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = format.freq;
    wanted.format = format.format;
    wanted.channels = format.channels;
    // About 23 ms a buffer whatever the rate (1024 frames at 44100 Hz): stopping waits for the
    // buffer being played, which at a rate of a few hertz would take many seconds.
    wanted.samples = 1;
    while (wanted.samples < 4096 && wanted.samples * 1000 < std::int64_t{format.freq} * 23) {
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

BOOL sndPlaySoundA(LPCSTR sound, UINT flags) {
    if (sound == nullptr) {
        stop_sound();
        return TRUE;
    }
    if ((flags & SND_MEMORY) == 0 || (flags & SND_LOOP) != 0) {
        std::fprintf(stderr, "sound: only in-memory images played once are supported\n");
        return FALSE;
    }
    SDL_AudioSpec format{};
    Uint8* data = nullptr;
    Uint32 bytes = 0;
    if (!load_image(reinterpret_cast<const std::uint8_t*>(sound), &format, &data, &bytes)) {
        return FALSE;
    }

    stop_sound();
    samples = data;
    if (bytes == 0) {
        return TRUE;
    }
    if (!open_device(format)) {
        stop_sound();
        return FALSE;
    }
    play_next = samples;
    play_left = bytes;
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
