// The program's OpenGL 1.1 subset over OpenGL ES 3.0 / WebGL 2: the GL calls the show makes, with
// the matrix stacks and vertex transform of fixed-function GL done here in float, and the
// vertices of many glBegin/glEnd blocks batched into one draw. The picture is drawn into a
// framebuffer of its own with 16-bit colour (RGB565) and a 16-bit depth buffer, as on a 16-bit
// desktop, and shown on the surface by present(). This is what a host calls; the program itself
// calls only the GL 1.1 entry points.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace webgl {

struct Gles;

// Makes the framebuffer, shaders and buffers on the ES context current on this thread, and
// applies the GL state the program set before there was a context. On failure returns false
// with the reason in *error.
bool open(const Gles& gles, int width, int height, std::string* error);
void close();

// Draws everything batched so far: the end of a frame (SwapBuffers).
void end_frame();

// Shows the finished picture on the surface (the default framebuffer, `surface_height` pixels
// tall), scaled with nearest filtering into the rectangle at (x, y) (from the surface's top-left)
// of width by height pixels; the rest of the surface is black.
void present(int surface_height, int x, int y, int width, int height);

// The picture as 8-bit red, green and blue, the top row first, each 5- or 6-bit value widened by
// repeating its top bits (full intensity stays 255).
std::vector<std::uint8_t> read_rgb();

// While off, the GL calls keep their state (matrices, colour, clear colour) but nothing is drawn:
// for skipping quickly over frames nobody looks at.
void set_drawing(bool on);

// What the last finished frame sent to the ES context.
struct FrameStats {
    int draws;
    int vertices;      // glVertex3f calls
    int vertices_sent; // vertices of the triangles drawn
    int triangles;
    int triangles_outside; // left out because they lie wholly outside the view
};
FrameStats last_frame_stats();

} // namespace webgl
