#include "tests/support/offscreen_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstdlib>

namespace {

EGLDisplay display = EGL_NO_DISPLAY;
EGLContext context = EGL_NO_CONTEXT;
GLuint framebuffer = 0;
GLuint renderbuffers[2] = {0, 0};

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
PFNGLGETRENDERBUFFERPARAMETERIVPROC get_renderbuffer_parameter = nullptr;

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
           load(&check_framebuffer_status, "glCheckFramebufferStatus") &&
           load(&get_renderbuffer_parameter, "glGetRenderbufferParameteriv");
}

// The surfaceless platform needs no X server or GPU; without it, fall back to the default
// display (an X server, if there is one).
EGLDisplay open_display() {
    auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (get_platform_display != nullptr) {
        EGLDisplay surfaceless =
            get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (surfaceless != EGL_NO_DISPLAY) {
            return surfaceless;
        }
    }
    return eglGetDisplay(EGL_DEFAULT_DISPLAY);
}

bool fail(std::string* error, const char* what) {
    char code[32];
    std::snprintf(code, sizeof code, " (EGL error 0x%x)", static_cast<unsigned>(eglGetError()));
    *error = std::string(what) + code;
    offscreen_gl::close();
    return false;
}

} // namespace

namespace offscreen_gl {

bool open(std::string* error) {
    // Mesa's software rasteriser (llvmpipe) unless the caller's environment asks otherwise, so
    // images and timings do not depend on the machine's graphics card.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    display = open_display();
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        display = EGL_NO_DISPLAY;
        return fail(error, "no EGL display");
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        return fail(error, "EGL cannot make desktop OpenGL contexts");
    }
    // The surfaceless platform offers only pbuffer configurations; the framebuffer object is drawn
    // into, not the configuration's surface.
    const EGLint config_attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                        EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint config_count = 0;
    if (!eglChooseConfig(display, config_attributes, &config, 1, &config_count) ||
        config_count < 1) {
        return fail(error, "no EGL configuration for OpenGL");
    }
    // A compatibility context of any version: the program uses GL 1.1 immediate mode.
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) {
        return fail(error, "cannot create an OpenGL context");
    }
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        return fail(error, "cannot make the context current without a surface");
    }
    if (!load_framebuffer_functions()) {
        return fail(error, "no framebuffer objects");
    }

    gen_framebuffers(1, &framebuffer);
    bind_framebuffer(GL_FRAMEBUFFER, framebuffer);
    gen_renderbuffers(2, renderbuffers);
    bind_renderbuffer(GL_RENDERBUFFER, renderbuffers[0]);
    renderbuffer_storage(GL_RENDERBUFFER, GL_RGB565, WIDTH, HEIGHT);
    framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                             renderbuffers[0]);
    bind_renderbuffer(GL_RENDERBUFFER, renderbuffers[1]);
    renderbuffer_storage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, WIDTH, HEIGHT);
    framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                             renderbuffers[1]);
    if (check_framebuffer_status(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        return fail(error, "the RGB565 framebuffer is incomplete");
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glViewport(0, 0, WIDTH, HEIGHT);
    return true;
}

void close() {
    if (context != EGL_NO_CONTEXT && framebuffer != 0) {
        bind_framebuffer(GL_FRAMEBUFFER, 0);
        delete_framebuffers(1, &framebuffer);
        delete_renderbuffers(2, renderbuffers);
    }
    framebuffer = 0;
    renderbuffers[0] = renderbuffers[1] = 0;
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

std::string renderer() {
    const GLubyte* name = glGetString(GL_RENDERER);
    return name != nullptr ? reinterpret_cast<const char*>(name) : "";
}

Bits bits() {
    Bits result = {};
    bind_renderbuffer(GL_RENDERBUFFER, renderbuffers[0]);
    get_renderbuffer_parameter(GL_RENDERBUFFER, GL_RENDERBUFFER_RED_SIZE, &result.red);
    get_renderbuffer_parameter(GL_RENDERBUFFER, GL_RENDERBUFFER_GREEN_SIZE, &result.green);
    get_renderbuffer_parameter(GL_RENDERBUFFER, GL_RENDERBUFFER_BLUE_SIZE, &result.blue);
    bind_renderbuffer(GL_RENDERBUFFER, renderbuffers[1]);
    get_renderbuffer_parameter(GL_RENDERBUFFER, GL_RENDERBUFFER_DEPTH_SIZE, &result.depth);
    return result;
}

void finish() {
    glFinish();
}

std::vector<std::uint8_t> read_rgb() {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(WIDTH) * HEIGHT * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

} // namespace offscreen_gl
