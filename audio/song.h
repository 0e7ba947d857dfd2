// The soundtrack: one bass voice stepped by a 16-row sequence, rendered once into an in-memory
// WAV image that the system's sound player plays in the background.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t WAV_HEADER_BYTES = 44;
// 5,362,560 samples of 16-bit mono PCM: 121.6 s at 44100 Hz.
constexpr std::size_t SONG_BYTES = 10725120;
constexpr std::size_t SONG_IMAGE_BYTES = WAV_HEADER_BYTES + SONG_BYTES;

// The RIFF/WAVE header of the image: PCM, 1 channel, 44100 Hz, 16 bits.
extern const std::uint8_t wav_header_template[WAV_HEADER_BYTES];

// The WAV image (header and samples), allocated once at start-up and never freed: the sound
// player reads it while it plays.
extern std::uint8_t* song_buffer;
// The first sample of the image, song_buffer + 44; render_song writes through it.
extern std::uint8_t* sample_data;

// Renders the whole song into the SONG_BYTES bytes at sample_data.
void render_song();
