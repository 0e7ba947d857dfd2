// The offscreen framebuffer a backend has the program draw into: a framebuffer object of the
// window's client size with the colour and depth bits its pixel format asks for, over GL 3.0 or
// ARB_framebuffer_object. The backend then shows it (the desktop's) or reads it back (the
// capture's, and the tests').
#pragma once

#include "platform/gl.h"

#include <GL/glext.h>

namespace fbo {

// The framebuffer-object entry points.
struct Api {
    PFNGLGENFRAMEBUFFERSPROC gen_framebuffers;
    PFNGLDELETEFRAMEBUFFERSPROC delete_framebuffers;
    PFNGLBINDFRAMEBUFFERPROC bind_framebuffer;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebuffer_renderbuffer;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC check_framebuffer_status;
    PFNGLGENRENDERBUFFERSPROC gen_renderbuffers;
    PFNGLDELETERENDERBUFFERSPROC delete_renderbuffers;
    PFNGLBINDRENDERBUFFERPROC bind_renderbuffer;
    PFNGLRENDERBUFFERSTORAGEPROC renderbuffer_storage;
    PFNGLBLITFRAMEBUFFERPROC blit_framebuffer;
};

// Loads the entry points through the host's GL loader; needs a context current. False when the
// context has no framebuffer objects.
bool load(Api* api, void* (*get_proc_address)(const char* name));

struct Framebuffer {
    GLuint framebuffer = 0;
    GLuint colour_buffer = 0;
    GLuint depth_buffer = 0;
    GLenum colour_format = 0; // GL_RGB565, GL_RGB5 or GL_RGBA8
    int width = 0;
    int height = 0;
};

// Makes a framebuffer of width x height (at least 1 x 1) and leaves it bound. Colour of 16 bits
// or fewer tries the exact 16-bit formats first (RGB565, RGB5), then RGBA8; more bits take RGBA8.
// Depth: none for 0 bits, 16-bit up to 16, else 24-bit. False when no candidate is complete.
bool make(const Api& api, Framebuffer* out, int width, int height, int colour_bits, int depth_bits);
// Deletes the framebuffer, binding the default one.
void destroy(const Api& api, Framebuffer* framebuffer);

} // namespace fbo
