// Desktop OpenGL without a display: contexts from Mesa through EGL on its surfaceless platform,
// which needs neither an X server nor a GPU (Mesa's software rasteriser, llvmpipe, unless the
// environment's LIBGL_ALWAYS_SOFTWARE says otherwise). Having no surface, they draw into
// framebuffer objects (platform/fbo/). For the capture's backend, and for the tests and
// benchmarks that draw with the real GL.
#pragma once

#include <string>

namespace egl {

// A compatibility context of any version (the program uses GL 1.1 immediate mode), not current.
// Null on failure, with the reason in *error. The display is opened on first use.
void* create_context(std::string* error);
// Makes the context current without a surface; null: no context is current.
bool make_current(void* context, std::string* error);
void destroy_context(void* context);

// GL's entry points beyond 1.1, for the current context (fbo::load takes it).
void* get_proc_address(const char* name);

} // namespace egl
