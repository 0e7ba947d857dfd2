// The samples of an in-memory RIFF/WAVE image, as sndPlaySoundA reads it on every host: the host
// plays raw samples, at a rate.
#pragma once

#include <cstddef>
#include <cstdint>

namespace win32 {

struct WavSamples {
    const std::uint8_t* image; // the whole image
    std::size_t image_bytes;   // as it declares itself: its RIFF size plus 8
    const std::uint8_t* data;  // interleaved little-endian PCM, inside the image
    std::size_t frames;        // samples per channel
    int channels;              // 1 or 2
    int rate;                  // frames per second
    int bits;                  // 8 (unsigned) or 16 (signed)
};

// Finds the format and the samples of the image at `image`. Only the 8 + RIFF size bytes the
// image declares are read, and a shorter block that is no image is read no further than its first
// byte that differs from "RIFF". False, with the reason in *problem, for anything but PCM of 8 or
// 16 bits in one or two channels, or for a chunk that runs past the declared end.
bool read_wav(const std::uint8_t* image, WavSamples* out, const char** problem);

} // namespace win32
