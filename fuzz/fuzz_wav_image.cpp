// Fuzz target: the host layer's reader of the WAV image handed to sndPlaySoundA. Every input is
// read from a heap block of exactly its size, so AddressSanitizer stops any read past the real
// buffer; an accepted image's samples must lie inside both the buffer and the 8 + RIFF size bytes
// the image declares. When the declared size fits the buffer, the image is read again as
// sndPlaySoundA reads it (size unknown), from a block cut to the declared size: the reader must
// not look past the declared end, and must come to the same answer.
//
// A longer run by hand, from the fuzz build directory:
//   nice fuzz/fuzz_wav_image -max_total_time=1200 fuzz/corpus/wav_image fuzz/seeds/wav_image
#include "fuzz/fuzz_check.h"
#include "platform/linux/wav_image.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace {

std::unique_ptr<std::uint8_t[]> exact_copy(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[size]);
    if (size != 0) {
        std::memcpy(copy.get(), data, size);
    }
    return copy;
}

std::uint32_t read_le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Checks an accepted image against the block [image, image + limit) and touches every sample
// byte, so that one outside the block is caught.
unsigned check_accepted(const WavImage& wav, const std::uint8_t* image, std::size_t limit) {
    FUZZ_CHECK(wav.channels == 1 || wav.channels == 2);
    FUZZ_CHECK(wav.bits_per_sample == 8 || wav.bits_per_sample == 16);
    FUZZ_CHECK(wav.sample_rate >= 1 && wav.sample_rate <= 384000);
    const std::size_t frame_bytes = wav.channels * (wav.bits_per_sample / 8u);
    FUZZ_CHECK(wav.sample_bytes % frame_bytes == 0);
    FUZZ_CHECK(wav.samples != nullptr);
    // Past the RIFF header and the data chunk's own header, and ending inside the block.
    FUZZ_CHECK(wav.samples >= image + 20 && wav.samples <= image + limit);
    FUZZ_CHECK(wav.sample_bytes <= static_cast<std::size_t>(image + limit - wav.samples));
    unsigned sum = 0;
    for (std::size_t i = 0; i < wav.sample_bytes; ++i) {
        sum += wav.samples[i];
    }
    return sum;
}

volatile unsigned sample_sum_sink = 0;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::unique_ptr<std::uint8_t[]> image = exact_copy(data, size);
    WavImage wav{};
    const WavError error = parse_wav_image(image.get(), size, &wav);
    FUZZ_CHECK(wav_error_text(error) != nullptr);
    if (error == WavError::none) {
        FUZZ_CHECK(size >= 12);
        const std::uint64_t declared = std::uint64_t{read_le32(image.get() + 4)} + 8;
        FUZZ_CHECK(declared <= size);
        sample_sum_sink = check_accepted(wav, image.get(), static_cast<std::size_t>(declared));
    } else {
        // A refused image leaves the result untouched.
        FUZZ_CHECK(wav.samples == nullptr && wav.sample_bytes == 0 && wav.channels == 0);
    }

    // As sndPlaySoundA hands it over: no size, only the declaration to go by.
    if (size >= 8 && std::memcmp(data, "RIFF", 4) == 0) {
        const std::uint64_t declared = std::uint64_t{read_le32(data + 4)} + 8;
        if (declared <= size) {
            const auto cut = static_cast<std::size_t>(declared);
            const std::unique_ptr<std::uint8_t[]> block = exact_copy(data, cut);
            WavImage unsized{};
            const WavError unsized_error = parse_wav_image(block.get(), SIZE_MAX, &unsized);
            FUZZ_CHECK(unsized_error == error);
            if (error == WavError::none) {
                sample_sum_sink = check_accepted(unsized, block.get(), cut);
                FUZZ_CHECK(unsized.samples - block.get() == wav.samples - image.get());
                FUZZ_CHECK(unsized.sample_bytes == wav.sample_bytes);
                FUZZ_CHECK(unsized.sample_rate == wav.sample_rate);
                FUZZ_CHECK(unsized.channels == wav.channels);
                FUZZ_CHECK(unsized.bits_per_sample == wav.bits_per_sample);
            }
        }
    }
    return 0;
}
