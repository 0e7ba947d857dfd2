// The table filled with Emscripten's WebGL bindings, which it names emscripten_gl* so that they
// do not clash with the subset's own GL 1.1 entry points.
#include "platform/webgl/gles.h"

#include <emscripten/html5.h>
#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

namespace webgl {

void load_browser_gles(Gles& gles) {
#define WEBGL_GLES_BIND(type, name) gles.name = emscripten_gl##name;
    WEBGL_GLES_FUNCTIONS(WEBGL_GLES_BIND)
#undef WEBGL_GLES_BIND
}

EMSCRIPTEN_WEBGL_CONTEXT_HANDLE create_browser_context(const char* target) {
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = false;
    attributes.depth = false;
    attributes.stencil = false;
    attributes.antialias = false;
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    return emscripten_webgl_create_context(target, &attributes);
}

} // namespace webgl
