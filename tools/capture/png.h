// PNG images of captured frames: 8-bit RGB, each row filtered and the whole run-length deflated.
#pragma once

#include <cstdint>
#include <vector>

namespace capture_tool {

// The PNG file of a width x height picture of 8-bit red, green and blue, the top row first.
std::vector<std::uint8_t> encode_png(const std::uint8_t* rgb, int width, int height);

} // namespace capture_tool
