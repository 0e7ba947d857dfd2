// Reading a RIFF/WAVE image that sits in memory: where its PCM samples are and how to play them.
// Plain C++ with no SDL, so that it can be tested and fuzzed on its own.
#pragma once

#include <cstddef>
#include <cstdint>

// The playable part of a WAV image.
struct WavImage {
    std::uint32_t sample_rate = 0;         // frames per second
    std::uint16_t channels = 0;            // 1 or 2, interleaved
    std::uint16_t bits_per_sample = 0;     // 8 (unsigned) or 16 (signed, little-endian)
    const std::uint8_t* samples = nullptr; // the data chunk's first byte, inside the image
    std::size_t sample_bytes = 0;          // the data chunk's size in whole frames
};

enum class WavError {
    none,
    not_riff_wave,         // no "RIFF" ... "WAVE" at the start
    shorter_than_declared, // fewer bytes at hand than the RIFF size declares
    chunk_past_end,        // a chunk's size runs past the end the RIFF size declares
    no_format,             // no "fmt " chunk, or one shorter than 16 bytes
    not_pcm,               // a format tag other than 1 (PCM)
    unsupported_format,    // PCM, but a channel count, sample size or rate this player lacks
    no_data,               // no "data" chunk
};

// Reads the image at `image`. It reads at most `available` bytes (give SIZE_MAX when the size is
// not known, as with a pointer handed to sndPlaySoundA) and never anything past the 8 + RIFF
// size bytes the image declares; a mismatch in the "RIFF" tag stops it at that byte. On success
// fills `out` and returns WavError::none.
WavError parse_wav_image(const std::uint8_t* image, std::size_t available, WavImage* out);

// A few words for WavError, for a diagnostic line.
const char* wav_error_text(WavError error);
