// OpenGL ES 3 without a display: a Mesa context made through EGL on its surfaceless platform and
// made current with no surface, for drawing into framebuffer objects of one's own. For the
// native tests of the program's GL subset over ES, which looks up every ES entry point through
// lookup(), never by name (the subset defines GL 1.1's names itself).
#pragma once

#include <string>

namespace offscreen_gles {

// On failure returns false and says why in *error; nothing is left current.
bool open(std::string* error);
void close();

// eglGetProcAddress.
void* lookup(const char* name);

} // namespace offscreen_gles
