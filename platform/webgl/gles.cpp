#include "platform/webgl/gles.h"

namespace webgl {

const char* load_gles(Gles& gles, void* (*lookup)(const char* name)) {
#define WEBGL_GLES_LOAD(type, name)                                                                \
    gles.name = reinterpret_cast<type>(lookup("gl" #name));                                        \
    if (gles.name == nullptr) {                                                                    \
        return "gl" #name;                                                                         \
    }
    WEBGL_GLES_FUNCTIONS(WEBGL_GLES_LOAD)
#undef WEBGL_GLES_LOAD
    return nullptr;
}

} // namespace webgl
