// Little-endian fields read from the front of a fuzz input, and written by the seed generator in
// the same layout. Reading past the end gives zeros, so every input is a complete script.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class ByteReader {
  public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), left_(size) {}

    bool empty() const {
        return left_ == 0;
    }
    std::uint8_t u8() {
        if (left_ == 0) {
            return 0;
        }
        --left_;
        return *data_++;
    }
    std::uint16_t u16() {
        const unsigned low = u8();
        return static_cast<std::uint16_t>(low | static_cast<unsigned>(u8()) << 8);
    }
    std::uint32_t u32() {
        const std::uint32_t low = u16();
        return low | static_cast<std::uint32_t>(u16()) << 16;
    }
    std::uint64_t u64() {
        const std::uint64_t low = u32();
        return low | static_cast<std::uint64_t>(u32()) << 32;
    }

  private:
    const std::uint8_t* data_;
    std::size_t left_;
};

class ByteWriter {
  public:
    std::vector<std::uint8_t> bytes;

    ByteWriter& u8(unsigned v) {
        bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
        return *this;
    }
    ByteWriter& u16(unsigned v) {
        return u8(v).u8(v >> 8);
    }
    ByteWriter& u32(std::uint32_t v) {
        return u16(v & 0xFFFF).u16(v >> 16);
    }
    ByteWriter& u64(std::uint64_t v) {
        return u32(static_cast<std::uint32_t>(v)).u32(static_cast<std::uint32_t>(v >> 32));
    }
};
