#include "platform/egl/surfaceless.h"

#include "platform/mesa/software_renderer.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstdlib>

namespace {

EGLDisplay display = EGL_NO_DISPLAY;
EGLConfig config = nullptr;

bool fail(std::string* error, const char* what) {
    char code[40];
    std::snprintf(code, sizeof code, " (EGL error 0x%x)", static_cast<unsigned>(eglGetError()));
    *error = std::string(what) + code;
    return false;
}

// The display of Mesa's surfaceless platform.
bool open_display(std::string* error) {
    if (display != EGL_NO_DISPLAY) {
        return true;
    }
    // Mesa's software rasteriser, so that frames do not depend on the machine's graphics card,
    // unless the caller's environment asks for something else.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    mesa::keep_llvmpipe_on_drawing_thread();
    // Mesa's loader warnings would come before the caller's own one-line reason.
    setenv("EGL_LOG_LEVEL", "fatal", 0);
    auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (get_platform_display == nullptr) {
        return fail(error, "EGL has no platform displays");
    }
    EGLDisplay surfaceless =
        get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (surfaceless == EGL_NO_DISPLAY || !eglInitialize(surfaceless, nullptr, nullptr)) {
        return fail(error, "no EGL display on Mesa's surfaceless platform");
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        eglTerminate(surfaceless);
        return fail(error, "EGL cannot make desktop OpenGL contexts");
    }
    // The platform offers only pbuffer configurations; the framebuffer object is drawn into, not
    // the configuration's surface.
    const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_BIT, EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(surfaceless, attributes, &config, 1, &count) || count < 1) {
        eglTerminate(surfaceless);
        return fail(error, "no EGL configuration for OpenGL");
    }
    display = surfaceless;
    return true;
}

} // namespace

namespace egl {

void* create_context(std::string* error) {
    if (!open_display(error)) {
        return nullptr;
    }
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) {
        fail(error, "cannot create an OpenGL context");
        return nullptr;
    }
    return context;
}

bool make_current(void* context, std::string* error) {
    if (display == EGL_NO_DISPLAY) {
        return context == nullptr;
    }
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE,
                        context != nullptr ? static_cast<EGLContext>(context) : EGL_NO_CONTEXT)) {
        return fail(error, "cannot make the context current without a surface");
    }
    return true;
}

void destroy_context(void* context) {
    // Its framebuffers go with it.
    eglDestroyContext(display, static_cast<EGLContext>(context));
}

void* get_proc_address(const char* name) {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

} // namespace egl
