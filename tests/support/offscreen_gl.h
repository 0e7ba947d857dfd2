// Real OpenGL without a display: a Mesa context made through EGL on its surfaceless platform
// (platform/egl/), drawing into a 640 x 480 framebuffer object with 16-bit colour (RGB565) and a
// 16-bit depth buffer, the formats the show asks of its window. For image checks and frame
// benchmarks that run the program's drawing code through the real GL and GLU.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace offscreen_gl {

constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;

// Creates the context, makes it current on this thread and binds the framebuffer. On failure
// returns false and says why in *error; nothing is left current.
bool open(std::string* error);
// Releases the framebuffer and the context.
void close();

// The GL renderer's name, e.g. "llvmpipe (LLVM 15.0.6, 256 bits)".
std::string renderer();
// The colour and depth bits of the bound framebuffer, as the GL reports them.
struct Bits {
    int red;
    int green;
    int blue;
    int depth;
};
Bits bits();

// Waits until every command sent so far has finished drawing.
void finish();

// The framebuffer as 8-bit R, G, B triples, row after row, the bottom row first (GL's order).
std::vector<std::uint8_t> read_rgb();

} // namespace offscreen_gl
