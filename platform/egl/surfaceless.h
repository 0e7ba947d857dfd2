// Desktop OpenGL without a display: contexts from Mesa through EGL on its surfaceless platform,
// which needs neither an X server nor a GPU (Mesa's software rasteriser, llvmpipe, unless the
// environment's LIBGL_ALWAYS_SOFTWARE says otherwise), drawing into framebuffer objects. For the
// capture's backend, and for the tests and benchmarks that draw with the real GL.
#pragma once

#include <string>

namespace egl {

// A compatibility context of any version (the program uses GL 1.1 immediate mode), not current.
// Null on failure, with the reason in *error. The display is opened on first use.
void* create_context(std::string* error);
// Makes the context current without a surface; null: no context is current.
bool make_current(void* context, std::string* error);
void destroy_context(void* context);

// What the context draws into: colour and depth renderbuffers of one size.
struct Framebuffer {
    unsigned framebuffer = 0;
    unsigned renderbuffers[2] = {0, 0}; // colour, depth
    int width = 0;
    int height = 0;
    bool rgb565 = false;
};

// Makes and binds, for drawing and reading, a framebuffer of `width` x `height` (at least 1 x 1)
// for the current context: RGB565 colour and 16-bit depth, as a 16-bit display offers, or 8-bit
// RGB and 24-bit depth. False, with the reason in *error, when it is incomplete.
bool make_framebuffer(Framebuffer* out, int width, int height, bool rgb565, std::string* error);
void delete_framebuffer(Framebuffer* framebuffer);

} // namespace egl
