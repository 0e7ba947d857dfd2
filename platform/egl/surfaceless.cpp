#include "platform/egl/surfaceless.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstdlib>

namespace {

EGLDisplay display = EGL_NO_DISPLAY;
EGLConfig config = nullptr;

// Framebuffer objects are not part of GL 1.1; their entry points come from EGL.
PFNGLGENFRAMEBUFFERSPROC gen_framebuffers = nullptr;
PFNGLDELETEFRAMEBUFFERSPROC delete_framebuffers = nullptr;
PFNGLBINDFRAMEBUFFERPROC bind_framebuffer = nullptr;
PFNGLGENRENDERBUFFERSPROC gen_renderbuffers = nullptr;
PFNGLDELETERENDERBUFFERSPROC delete_renderbuffers = nullptr;
PFNGLBINDRENDERBUFFERPROC bind_renderbuffer = nullptr;
PFNGLRENDERBUFFERSTORAGEPROC renderbuffer_storage = nullptr;
PFNGLFRAMEBUFFERRENDERBUFFERPROC framebuffer_renderbuffer = nullptr;
PFNGLCHECKFRAMEBUFFERSTATUSPROC check_framebuffer_status = nullptr;

template <typename Function> bool load(Function* function, const char* name) {
    *function = reinterpret_cast<Function>(eglGetProcAddress(name));
    return *function != nullptr;
}

bool load_framebuffer_functions() {
    return load(&gen_framebuffers, "glGenFramebuffers") &&
           load(&delete_framebuffers, "glDeleteFramebuffers") &&
           load(&bind_framebuffer, "glBindFramebuffer") &&
           load(&gen_renderbuffers, "glGenRenderbuffers") &&
           load(&delete_renderbuffers, "glDeleteRenderbuffers") &&
           load(&bind_renderbuffer, "glBindRenderbuffer") &&
           load(&renderbuffer_storage, "glRenderbufferStorage") &&
           load(&framebuffer_renderbuffer, "glFramebufferRenderbuffer") &&
           load(&check_framebuffer_status, "glCheckFramebufferStatus");
}

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

bool make_framebuffer(Framebuffer* out, int width, int height, bool rgb565, std::string* error) {
    if (!load_framebuffer_functions()) {
        return fail(error, "no framebuffer objects");
    }
    Framebuffer& made = *out;
    made.width = width > 0 ? width : 1;
    made.height = height > 0 ? height : 1;
    made.rgb565 = rgb565;
    gen_framebuffers(1, &made.framebuffer);
    bind_framebuffer(GL_FRAMEBUFFER, made.framebuffer);
    gen_renderbuffers(2, made.renderbuffers);
    bind_renderbuffer(GL_RENDERBUFFER, made.renderbuffers[0]);
    renderbuffer_storage(GL_RENDERBUFFER, rgb565 ? GL_RGB565 : GL_RGB8, made.width, made.height);
    framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                             made.renderbuffers[0]);
    bind_renderbuffer(GL_RENDERBUFFER, made.renderbuffers[1]);
    renderbuffer_storage(GL_RENDERBUFFER, rgb565 ? GL_DEPTH_COMPONENT16 : GL_DEPTH_COMPONENT24,
                         made.width, made.height);
    framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                             made.renderbuffers[1]);
    bind_renderbuffer(GL_RENDERBUFFER, 0);
    if (check_framebuffer_status(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        delete_framebuffer(out);
        return fail(error, rgb565 ? "the RGB565 framebuffer is incomplete"
                                  : "the RGB888 framebuffer is incomplete");
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    return true;
}

void delete_framebuffer(Framebuffer* framebuffer) {
    if (framebuffer->framebuffer != 0) {
        bind_framebuffer(GL_FRAMEBUFFER, 0);
        delete_framebuffers(1, &framebuffer->framebuffer);
        delete_renderbuffers(2, framebuffer->renderbuffers);
    }
    *framebuffer = Framebuffer{};
}

} // namespace egl
