// The table filled with Emscripten's WebGL bindings, which it names emscripten_gl* so that they
// do not clash with the subset's own GL 1.1 entry points.
#include "platform/webgl/gles.h"

#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

namespace webgl {

void load_browser_gles(Gles& gles) {
#define WEBGL_GLES_BIND(type, name) gles.name = emscripten_gl##name;
    WEBGL_GLES_FUNCTIONS(WEBGL_GLES_BIND)
#undef WEBGL_GLES_BIND
}

} // namespace webgl
