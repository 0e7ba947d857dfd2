#include "tests/support/offscreen_gles.h"

#include "platform/mesa/software_renderer.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstdlib>

namespace {

EGLDisplay display = EGL_NO_DISPLAY;
EGLContext context = EGL_NO_CONTEXT;

bool fail(std::string* error, const char* what) {
    char code[32];
    std::snprintf(code, sizeof code, " (EGL error 0x%x)", static_cast<unsigned>(eglGetError()));
    *error = std::string(what) + code;
    offscreen_gles::close();
    return false;
}

} // namespace

namespace offscreen_gles {

bool open(std::string* error) {
    // Mesa's software rasteriser, as for the capture, unless the environment asks otherwise.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    mesa::keep_llvmpipe_on_drawing_thread();
    auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (get_platform_display == nullptr) {
        return fail(error, "EGL has no platform displays");
    }
    display = get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        display = EGL_NO_DISPLAY;
        return fail(error, "no EGL display on Mesa's surfaceless platform");
    }
    if (!eglBindAPI(EGL_OPENGL_ES_API)) {
        return fail(error, "EGL cannot make OpenGL ES contexts");
    }
    const EGLint config_attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                        EGL_OPENGL_ES3_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint config_count = 0;
    if (!eglChooseConfig(display, config_attributes, &config, 1, &config_count) ||
        config_count < 1) {
        return fail(error, "no EGL configuration for OpenGL ES 3");
    }
    const EGLint context_attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_NONE};
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, context_attributes);
    if (context == EGL_NO_CONTEXT) {
        return fail(error, "cannot create an OpenGL ES 3 context");
    }
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        return fail(error, "cannot make the context current without a surface");
    }
    return true;
}

void close() {
    if (display != EGL_NO_DISPLAY) {
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (context != EGL_NO_CONTEXT) {
            eglDestroyContext(display, context);
        }
        eglTerminate(display);
    }
    context = EGL_NO_CONTEXT;
    display = EGL_NO_DISPLAY;
}

void* lookup(const char* name) {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

} // namespace offscreen_gles
