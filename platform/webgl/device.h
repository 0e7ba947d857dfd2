// The ES side of the subset: one framebuffer, one shader program, one vertex and one index
// buffer. Kept free of GL headers so that the GL 1.1 side can include it beside its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace webgl {

struct Gles;

// A vertex after the model-view and projection transforms: clip coordinates, and the colour in
// 8 bits a channel (every colour the program sends is a multiple of 1/255 or rounds the same
// way in 16-bit colour).
struct Vertex {
    float x;
    float y;
    float z;
    float w;
    std::uint8_t r;
    std::uint8_t g;
    std::uint8_t b;
    std::uint8_t a;
};

namespace device {

bool open(const Gles& gles, int width, int height, std::string* error);
void close();
bool is_open();

// Triangles, three indices each, into `vertices`.
void draw(const Vertex* vertices, int vertex_count, const std::uint16_t* indices, int index_count);
// mask: GL's COLOR_BUFFER_BIT and DEPTH_BUFFER_BIT.
void clear(unsigned mask, const float colour[4], float depth);
void set_viewport(int x, int y, int width, int height);
void set_depth_test(bool on, unsigned function);
void present(int surface_height, int x, int y, int width, int height);
std::vector<std::uint8_t> read_rgb();

} // namespace device
} // namespace webgl
