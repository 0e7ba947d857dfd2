// Float constants written as their IEEE single-precision bit patterns, so that the value the
// program uses is exactly the one the song was made with, whatever the decimal looks like.
#pragma once

#include <cstdint>

constexpr float float_from_bits(std::uint32_t bits) {
    return __builtin_bit_cast(float, bits);
}
