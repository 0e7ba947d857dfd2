#include "tools/capture/png.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace capture_tool {

namespace {

void put_be32(std::vector<std::uint8_t>* out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out->push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

// A chunk: its length, its type, its data, and the CRC-32 of type and data.
void put_chunk(std::vector<std::uint8_t>* out, const char* type, const std::uint8_t* data,
               std::size_t size) {
    put_be32(out, static_cast<std::uint32_t>(size));
    const std::size_t start = out->size();
    out->insert(out->end(), type, type + 4);
    out->insert(out->end(), data, data + size);
    const uLong crc = crc32(0L, out->data() + start, static_cast<uInt>(size + 4));
    put_be32(out, static_cast<std::uint32_t>(crc));
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

    const std::vector<std::uint8_t> filtered = filter_rows(rgb, width, height);
    uLongf packed_size = compressBound(static_cast<uLong>(filtered.size()));
    std::vector<std::uint8_t> packed(packed_size);
    if (compress2(packed.data(), &packed_size, filtered.data(), static_cast<uLong>(filtered.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
        throw std::runtime_error("zlib could not compress a frame");
    }
    put_chunk(&png, "IDAT", packed.data(), packed_size);
    put_chunk(&png, "IEND", nullptr, 0);
    return png;
}

} // namespace capture_tool
