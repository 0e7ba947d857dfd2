#include "tools/capture/png.h"

#include <array>
#include <cstdlib>

namespace capture_tool {

namespace {

void put_be32(std::vector<std::uint8_t>* out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out->push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

// CRC-32 as PNG and zip use it: reflected polynomial 0xEDB88320, all ones in and out.
std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            entries[n] = c;
        }
        return entries;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

// A chunk: its length, its type, its data, and the CRC-32 of type and data.
void put_chunk(std::vector<std::uint8_t>* out, const char* type, const std::uint8_t* data,
               std::size_t size) {
    put_be32(out, static_cast<std::uint32_t>(size));
    const std::size_t start = out->size();
    out->insert(out->end(), type, type + 4);
    if (size > 0) {
        out->insert(out->end(), data, data + size);
    }
    put_be32(out, crc32(out->data() + start, size + 4));
}

// Deflate's bit stream: bits go into each byte from the lowest up.
class BitWriter {
  public:
    explicit BitWriter(std::vector<std::uint8_t>* out) : out_(out) {}
    void bits(std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i) {
            if (used_ == 0) {
                out_->push_back(0);
            }
            out_->back() = static_cast<std::uint8_t>(out_->back() | ((value >> i) & 1u) << used_);
            used_ = (used_ + 1) & 7;
        }
    }
    // A Huffman code goes in from its highest bit down.
    void code(std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            bits(value >> i, 1);
        }
    }

  private:
    std::vector<std::uint8_t>* out_;
    int used_ = 0;
};

// A literal byte or a length symbol (256 to 287) in deflate's fixed Huffman code.
void put_symbol(BitWriter* writer, int symbol) {
    if (symbol < 144) {
        writer->code(static_cast<std::uint32_t>(0x30 + symbol), 8);
    } else if (symbol < 256) {
        writer->code(static_cast<std::uint32_t>(0x190 + symbol - 144), 9);
    } else if (symbol < 280) {
        writer->code(static_cast<std::uint32_t>(symbol - 256), 7);
    } else {
        writer->code(static_cast<std::uint32_t>(0xC0 + symbol - 280), 8);
    }
}

// A copy of the byte before, `length` (3 to 258) times: distance 1, distance code 0.
void put_run(BitWriter* writer, int length) {
    static const int base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const int extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    int index = 28;
    while (base[index] > length) {
        --index;
    }
    put_symbol(writer, 257 + index);
    writer->bits(static_cast<std::uint32_t>(length - base[index]), extra[index]);
    writer->code(0, 5);
}

// A zlib stream of one fixed-Huffman deflate block whose only matches repeat the byte before.
// After the row filters the show's flat colours are long runs of one byte, so this small coder
// packs a frame to a few kilobytes.
std::vector<std::uint8_t> deflate_runs(const std::vector<std::uint8_t>& data) {
    // Deflate with a 32 KB window, no preset dictionary; the check bits make 0x7801 a multiple
    // of 31.
    std::vector<std::uint8_t> out = {0x78, 0x01};
    BitWriter writer(&out);
    writer.bits(1, 1); // the last block
    writer.bits(1, 2); // fixed Huffman codes
    const std::size_t size = data.size();
    std::size_t i = 0;
    while (i < size) {
        std::size_t run = 0;
        if (i > 0) {
            while (run < 258 && i + run < size && data[i + run] == data[i - 1]) {
                ++run;
            }
        }
        if (run >= 3) {
            put_run(&writer, static_cast<int>(run));
            i += run;
        } else {
            put_symbol(&writer, data[i]);
            ++i;
        }
    }
    put_symbol(&writer, 256); // end of block
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put_be32(&out, b << 16 | a);
    return out;
}

int paeth(int left, int up, int up_left) {
    const int estimate = left + up - up_left;
    const int to_left = std::abs(estimate - left);
    const int to_up = std::abs(estimate - up);
    const int to_up_left = std::abs(estimate - up_left);
    if (to_left <= to_up && to_left <= to_up_left) {
        return left;
    }
    return to_up <= to_up_left ? up : up_left;
}

// Each row is filtered with whichever of None, Sub, Up and Paeth leaves the smallest sum of
// absolute differences, the usual guess at what deflates best.
std::vector<std::uint8_t> filter_rows(const std::uint8_t* rgb, int width, int height) {
    const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
    std::vector<std::uint8_t> filtered;
    filtered.reserve((row_bytes + 1) * static_cast<std::size_t>(height));
    std::vector<std::uint8_t> candidate[4];
    for (auto& bytes : candidate) {
        bytes.resize(row_bytes);
    }
    const std::vector<std::uint8_t> zero_row(row_bytes, 0);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = rgb + static_cast<std::size_t>(y) * row_bytes;
        const std::uint8_t* above = y > 0 ? row - row_bytes : zero_row.data();
        long best_cost = -1;
        int best = 0;
        for (int type = 0; type < 4; ++type) {
            long cost = 0;
            for (std::size_t i = 0; i < row_bytes; ++i) {
                const int left = i >= 3 ? row[i - 3] : 0;
                const int up = above[i];
                const int up_left = i >= 3 ? above[i - 3] : 0;
                const int predicted = type == 0   ? 0
                                      : type == 1 ? left
                                      : type == 2 ? up
                                                  : paeth(left, up, up_left);
                const auto value = static_cast<std::uint8_t>(row[i] - predicted);
                candidate[type][i] = value;
                cost += value < 128 ? value : 256 - value;
            }
            if (best_cost < 0 || cost < best_cost) {
                best_cost = cost;
                best = type;
            }
        }
        // Filter type bytes: 0 None, 1 Sub, 2 Up, 4 Paeth.
        filtered.push_back(static_cast<std::uint8_t>(best == 3 ? 4 : best));
        filtered.insert(filtered.end(), candidate[best].begin(), candidate[best].end());
    }
    return filtered;
}

} // namespace

std::vector<std::uint8_t> encode_png(const std::uint8_t* rgb, int width, int height) {
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> png(signature, signature + 8);

    std::vector<std::uint8_t> header;
    put_be32(&header, static_cast<std::uint32_t>(width));
    put_be32(&header, static_cast<std::uint32_t>(height));
    // 8 bits a channel, colour type 2 (RGB), deflate, adaptive filtering, no interlace.
    const std::uint8_t layout[5] = {8, 2, 0, 0, 0};
    header.insert(header.end(), layout, layout + 5);
    put_chunk(&png, "IHDR", header.data(), header.size());

    const std::vector<std::uint8_t> packed = deflate_runs(filter_rows(rgb, width, height));
    put_chunk(&png, "IDAT", packed.data(), packed.size());
    put_chunk(&png, "IEND", nullptr, 0);
    return png;
}

} // namespace capture_tool
