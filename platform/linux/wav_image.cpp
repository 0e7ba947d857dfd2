#include "platform/linux/wav_image.h"

namespace {

std::uint16_t read_le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t read_le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Compares a four-character tag byte by byte, so a short buffer that differs early is read
// no further than the first byte that differs.
bool tag_is(const std::uint8_t* p, const char* tag) {
    for (int i = 0; i < 4; ++i) {
        if (p[i] != static_cast<std::uint8_t>(tag[i])) {
            return false;
        }
    }
    return true;
}

constexpr std::size_t riff_header_bytes = 12; // "RIFF", size, "WAVE"
constexpr std::size_t chunk_header_bytes = 8; // tag, size
constexpr std::uint32_t format_bytes = 16;    // the PCM part of "fmt "
constexpr std::uint16_t format_pcm = 1;
constexpr std::uint32_t highest_rate = 384000;

} // namespace

WavError parse_wav_image(const std::uint8_t* image, std::size_t available, WavImage* out) {
    if (available < riff_header_bytes || !tag_is(image, "RIFF")) {
        return WavError::not_riff_wave;
    }
    const std::uint32_t riff_size = read_le32(image + 4);
    if (riff_size < 4) {
        return WavError::not_riff_wave;
    }
    // 64-bit so that a RIFF size near 4 GiB cannot wrap around.
    const std::uint64_t declared_end = static_cast<std::uint64_t>(riff_size) + 8;
    if (declared_end > available) {
        return WavError::shorter_than_declared;
    }
    if (!tag_is(image + 8, "WAVE")) {
        return WavError::not_riff_wave;
    }
    const std::size_t end = static_cast<std::size_t>(declared_end);

    const std::uint8_t* format = nullptr;
    std::uint32_t format_size = 0;
    const std::uint8_t* data = nullptr;
    std::uint32_t data_size = 0;
    std::size_t pos = riff_header_bytes;
    while (end - pos >= chunk_header_bytes) {
        const std::uint8_t* chunk = image + pos;
        const std::uint32_t size = read_le32(chunk + 4);
        const std::size_t body = pos + chunk_header_bytes;
        if (size > end - body) {
            return WavError::chunk_past_end;
        }
        if (format == nullptr && tag_is(chunk, "fmt ")) {
            format = image + body;
            format_size = size;
        } else if (data == nullptr && tag_is(chunk, "data")) {
            data = image + body;
            data_size = size;
        }
        // Chunks start on even offsets: an odd-sized chunk is followed by a pad byte, which
        // the last chunk may leave out.
        const std::size_t next = static_cast<std::size_t>(body + size + (size & 1u));
        if (next >= end) {
            break;
        }
        pos = next;
    }

    if (format == nullptr || format_size < format_bytes) {
        return WavError::no_format;
    }
    if (read_le16(format) != format_pcm) {
        return WavError::not_pcm;
    }
    const std::uint16_t channels = read_le16(format + 2);
    const std::uint32_t rate = read_le32(format + 4);
    const std::uint16_t block_align = read_le16(format + 12);
    const std::uint16_t bits = read_le16(format + 14);
    if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate == 0 ||
        rate > highest_rate || block_align != channels * (bits / 8)) {
        return WavError::unsupported_format;
    }
    if (data == nullptr) {
        return WavError::no_data;
    }

    out->sample_rate = rate;
    out->channels = channels;
    out->bits_per_sample = bits;
    out->samples = data;
    out->sample_bytes = data_size - data_size % block_align;
    return WavError::none;
}

const char* wav_error_text(WavError error) {
    switch (error) {
    case WavError::none:
        return "a playable PCM image";
    case WavError::not_riff_wave:
        return "not a RIFF/WAVE image";
    case WavError::shorter_than_declared:
        return "shorter than its RIFF size";
    case WavError::chunk_past_end:
        return "a chunk runs past the RIFF size";
    case WavError::no_format:
        return "no format chunk";
    case WavError::not_pcm:
        return "not PCM";
    case WavError::unsupported_format:
        return "a PCM layout other than 8 or 16 bits, mono or stereo";
    case WavError::no_data:
        return "no data chunk";
    }
    return "not a playable image";
}
