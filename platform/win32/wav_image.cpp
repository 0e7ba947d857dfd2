#include "platform/win32/wav_image.h"

#include <cstring>

namespace win32 {

namespace {

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

unsigned le16(const std::uint8_t* p) {
    return static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8;
}

bool fail(const char** problem, const char* why) {
    *problem = why;
    return false;
}

} // namespace

bool read_wav(const std::uint8_t* image, WavSamples* out, const char** problem) {
    for (int i = 0; i < 4; ++i) {
        if (image[i] != static_cast<std::uint8_t>("RIFF"[i])) {
            return fail(problem, "not a RIFF image");
        }
    }
    const std::uint64_t end = static_cast<std::uint64_t>(le32(image + 4)) + 8;
    if (end < 12 || std::memcmp(image + 8, "WAVE", 4) != 0) {
        return fail(problem, "not a WAVE image");
    }
    const std::uint8_t* format = nullptr;
    const std::uint8_t* data = nullptr;
    std::uint32_t data_bytes = 0;
    // Chunks follow the form type, each an identifier, a size and that many bytes, padded to an
    // even length.
    std::uint64_t at = 12;
    while (at + 8 <= end) {
        const std::uint32_t size = le32(image + at + 4);
        if (at + 8 + size > end) {
            return fail(problem, "a chunk runs past the end of the image");
        }
        if (std::memcmp(image + at, "fmt ", 4) == 0 && size >= 16) {
            format = image + at + 8;
        } else if (std::memcmp(image + at, "data", 4) == 0) {
            data = image + at + 8;
            data_bytes = size;
        }
        at += 8 + static_cast<std::uint64_t>(size) + (size & 1);
    }
    if (format == nullptr || data == nullptr) {
        return fail(problem, "no format or no data chunk");
    }
    const unsigned tag = le16(format);
    const unsigned channels = le16(format + 2);
    const std::uint32_t rate = le32(format + 4);
    const unsigned bits = le16(format + 14);
    if (tag != 1 || (channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate == 0 ||
        rate > 384000) {
        return fail(problem, "not PCM of 8 or 16 bits in one or two channels");
    }
    out->image = image;
    out->image_bytes = static_cast<std::size_t>(end);
    out->data = data;
    out->frames = data_bytes / (channels * bits / 8);
    out->channels = static_cast<int>(channels);
    out->rate = static_cast<int>(rate);
    out->bits = static_cast<int>(bits);
    return true;
}

} // namespace win32
