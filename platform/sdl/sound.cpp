#include "platform/sdl/sound.h"

#include "platform/sdl/heard_clock.h"
#include "platform/win32/backend.h"
#include "platform/win32/wav_image.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

bool audio_up = false;        // SDL's audio subsystem is initialised
SDL_AudioDeviceID device = 0; // the open device, 0 when none

// The sound playing: its frames, their size, SDL's buffer in frames and its rate; how many frames
// SDL's audio thread had taken off the queue at the last look, and when that count last moved.
struct Playing {
    std::uint64_t frames = 0;
    unsigned frame_bytes = 1;
    unsigned buffer_frames = 0;
    int rate = 1;
    std::uint64_t taken = 0;
    double taken_at_ms = 0;
    // SDL's dummy and disk drivers play into nothing or into a file, at a pace of their own that
    // nobody hears: the clock does not follow them.
    bool heard = false;
};
Playing playing;
sdl::HeardClock heard_clock;

double monotonic_ms() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// How far into the sound the sample heard at `now_ms` is, in milliseconds (negative while the
// first is on its way); false when no sound plays. SDL's audio thread takes a buffer off the queue
// whenever the device has room for one, and the device then holds it behind the one it plays: the
// sound heard is two buffers short of what SDL has taken at the moment it takes one, and moves on
// with the real clock from there until the next.
bool sound_heard_ms(double now_ms, double* heard_ms) {
    if (device == 0 || !playing.heard) {
        return false;
    }
    const std::uint64_t left = SDL_GetQueuedAudioSize(device) / playing.frame_bytes;
    const std::uint64_t taken = playing.frames - std::min(left, playing.frames);
    if (taken != playing.taken) {
        playing.taken = taken;
        playing.taken_at_ms = now_ms;
    }
    const double buffer_ms = 1000.0 * playing.buffer_frames / playing.rate;
    *heard_ms = 1000.0 * static_cast<double>(taken) / playing.rate - 2 * buffer_ms +
                std::min(now_ms - playing.taken_at_ms, buffer_ms);
    return true;
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
    // No callback: the samples are queued. No changes allowed: SDL converts to whatever the
    // hardware wants.
    SDL_AudioSpec obtained{};
    device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        std::fprintf(stderr, "sound: no audio device (%s); playing nothing\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audio_up = false;
        return false;
    }
    playing = Playing{};
    playing.frames = sound.frames;
    playing.frame_bytes = static_cast<unsigned>(sound.channels * (sound.bits / 8));
    playing.buffer_frames = obtained.samples;
    playing.rate = obtained.freq;
    const char* const driver = SDL_GetCurrentAudioDriver();
    playing.heard = driver == nullptr ||
                    (std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "disk") != 0);
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
    // The device was opened paused; unpausing starts playing. The show's clock waits for the
    // first sample to be heard.
    playing.taken_at_ms = monotonic_ms();
    if (playing.heard) {
        heard_clock.hold(playing.taken_at_ms);
    }
    SDL_PauseAudioDevice(device, 0);
    return true;
}

void stop_sound() {
    if (device != 0) {
        // Waits for the audio thread to finish its buffer and end.
        SDL_CloseAudioDevice(device);
        device = 0;
    }
    heard_clock.release(monotonic_ms());
}

bool sound_playing() {
    return device != 0 && SDL_GetQueuedAudioSize(device) > 0;
}

} // namespace backend

double clock_ms() {
    const double now = monotonic_ms();
    double heard = 0;
    const bool was_holding = heard_clock.holding();
    const bool playing_now = sound_heard_ms(now, &heard);
    const double value = heard_clock.now(now, playing_now, heard);
    if (was_holding && heard_clock.gave_up()) {
        std::fprintf(stderr, "sound: not heard after %.0f s; the show goes on without waiting\n",
                     sdl::HeardClock::give_up_ms / 1000);
    }
    return value;
}

void close_sound() {
    backend::stop_sound();
    if (audio_up) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audio_up = false;
    }
}
