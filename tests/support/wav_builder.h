// Builds small RIFF/WAVE images for the tests, each in a vector of exactly its own size, so that
// a read past the end is caught by AddressSanitizer or valgrind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct WavBuilder {
    std::vector<std::uint8_t> bytes;

    WavBuilder& tag(const char* t) {
        bytes.insert(bytes.end(), t, t + 4);
        return *this;
    }
    WavBuilder& u16(unsigned v) {
        bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        return *this;
    }
    WavBuilder& u32(std::uint32_t v) {
        u16(v & 0xFFFF);
        return u16(v >> 16);
    }
    WavBuilder& raw(const std::vector<std::uint8_t>& b) {
        bytes.insert(bytes.end(), b.begin(), b.end());
        return *this;
    }
    // "RIFF", a size to be filled in by riff_size_fits(), "WAVE".
    WavBuilder& riff() {
        return tag("RIFF").u32(0).tag("WAVE");
    }
    WavBuilder& fmt(unsigned format_tag, unsigned channels, std::uint32_t rate, unsigned bits) {
        const unsigned block = channels * (bits / 8);
        return tag("fmt ")
            .u32(16)
            .u16(format_tag)
            .u16(channels)
            .u32(rate)
            .u32(rate * block)
            .u16(block)
            .u16(bits);
    }
    WavBuilder& data(const std::vector<std::uint8_t>& samples) {
        return tag("data").u32(static_cast<std::uint32_t>(samples.size())).raw(samples);
    }
    // Sets the RIFF size to what follows the first 8 bytes.
    WavBuilder& riff_size_fits() {
        return set_u32(4, static_cast<std::uint32_t>(bytes.size() - 8));
    }
    WavBuilder& set_u32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes.at(at + i) = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
        }
        return *this;
    }
    // The image in a block of exactly its size.
    std::vector<std::uint8_t> build() const {
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    }
};
