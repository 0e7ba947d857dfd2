// The capture host's GDI and WGL calls: pixel formats, GL contexts from Mesa through EGL without
// any surface, a framebuffer object of the window's size and format to draw into, and
// SwapBuffers reading the finished frame back for the sink.
#include "platform/headless/host_state.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// The two pixel formats there are: what a 16-bit display offers, and true colour.
enum PixelFormat { no_format = 0, format_rgb565 = 1, format_rgb888 = 2 };

struct Context {
    EGLContext egl = EGL_NO_CONTEXT;
    int pixel_format = no_format;
    // Made the first time the context is made current, at the size of that window.
    GLuint framebuffer = 0;
    GLuint renderbuffers[2] = {0, 0};
    int width = 0;
    int height = 0;
};

EGLDisplay display = EGL_NO_DISPLAY;
EGLConfig config = nullptr;
std::vector<std::unique_ptr<Context>> contexts;
Context* current = nullptr;
HDC current_dc = nullptr;
std::string gl_error_text;

std::vector<std::uint16_t> packed_pixels;
std::vector<std::uint8_t> rgb_pixels;

// Framebuffer objects are not part of GL 1.1; their entry points come from EGL.
PFNGLGENFRAMEBUFFERSPROC gen_framebuffers = nullptr;
PFNGLBINDFRAMEBUFFERPROC bind_framebuffer = nullptr;
PFNGLGENRENDERBUFFERSPROC gen_renderbuffers = nullptr;
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
           load(&bind_framebuffer, "glBindFramebuffer") &&
           load(&gen_renderbuffers, "glGenRenderbuffers") &&
           load(&bind_renderbuffer, "glBindRenderbuffer") &&
           load(&renderbuffer_storage, "glRenderbufferStorage") &&
           load(&framebuffer_renderbuffer, "glFramebufferRenderbuffer") &&
           load(&check_framebuffer_status, "glCheckFramebufferStatus");
}

bool fail(const char* what) {
    char code[40];
    std::snprintf(code, sizeof code, " (EGL error 0x%x)", static_cast<unsigned>(eglGetError()));
    gl_error_text = std::string(what) + code;
    return false;
}

// The display of Mesa's surfaceless platform, which needs neither an X server nor a GPU.
bool open_display() {
    if (display != EGL_NO_DISPLAY) {
        return true;
    }
    // Mesa's software rasteriser, so that frames do not depend on the machine's graphics card,
    // unless the caller's environment asks for something else.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    // Mesa's loader warnings would come before the capture's own one-line reason.
    setenv("EGL_LOG_LEVEL", "fatal", 0);
    auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (get_platform_display == nullptr) {
        return fail("EGL has no platform displays");
    }
    EGLDisplay surfaceless =
        get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (surfaceless == EGL_NO_DISPLAY || !eglInitialize(surfaceless, nullptr, nullptr)) {
        return fail("no EGL display on Mesa's surfaceless platform");
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        eglTerminate(surfaceless);
        return fail("EGL cannot make desktop OpenGL contexts");
    }
    // The platform offers only pbuffer configurations; the framebuffer object is drawn into, not
    // the configuration's surface.
    const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_BIT, EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(surfaceless, attributes, &config, 1, &count) || count < 1) {
        eglTerminate(surfaceless);
        return fail("no EGL configuration for OpenGL");
    }
    display = surfaceless;
    return true;
}

// The framebuffer the context draws into, with the window's size and the pixel format's bits.
bool make_framebuffer(Context& context, const capture::host::Surface& surface) {
    if (!load_framebuffer_functions()) {
        return fail("no framebuffer objects");
    }
    context.width = surface.width > 0 ? surface.width : 1;
    context.height = surface.height > 0 ? surface.height : 1;
    const bool rgb565 = context.pixel_format == format_rgb565;
    gen_framebuffers(1, &context.framebuffer);
    bind_framebuffer(GL_FRAMEBUFFER, context.framebuffer);
    gen_renderbuffers(2, context.renderbuffers);
    bind_renderbuffer(GL_RENDERBUFFER, context.renderbuffers[0]);
    renderbuffer_storage(GL_RENDERBUFFER, rgb565 ? GL_RGB565 : GL_RGB8, context.width,
                         context.height);
    framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                             context.renderbuffers[0]);
    bind_renderbuffer(GL_RENDERBUFFER, context.renderbuffers[1]);
    renderbuffer_storage(GL_RENDERBUFFER, rgb565 ? GL_DEPTH_COMPONENT16 : GL_DEPTH_COMPONENT24,
                         context.width, context.height);
    framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                             context.renderbuffers[1]);
    bind_renderbuffer(GL_RENDERBUFFER, 0);
    if (check_framebuffer_status(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        return fail("the framebuffer for the window's pixel format is incomplete");
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    return true;
}

Context* context_of(HGLRC handle) {
    for (const auto& context : contexts) {
        if (reinterpret_cast<HGLRC>(context.get()) == handle) {
            return context.get();
        }
    }
    return nullptr;
}

// 5 or 6 bits widened to 8 by repeating the top bits, so that full intensity stays 255.
std::uint8_t widen(unsigned value, int bits) {
    return static_cast<std::uint8_t>(value << (8 - bits) | value >> (2 * bits - 8));
}

// The bound framebuffer as 8-bit red, green and blue, the top row first.
const std::uint8_t* read_frame(const Context& context) {
    const int width = context.width;
    const int height = context.height;
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    rgb_pixels.resize(pixels * 3);
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (context.pixel_format == format_rgb565) {
        // The 16-bit pixels exactly as drawn, widened here rather than by the driver.
        packed_pixels.resize(pixels);
        glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, packed_pixels.data());
        for (int y = 0; y < height; ++y) {
            const std::uint16_t* in = &packed_pixels[static_cast<std::size_t>(y) * width];
            std::uint8_t* out = &rgb_pixels[static_cast<std::size_t>(height - 1 - y) * width * 3];
            for (int x = 0; x < width; ++x) {
                const unsigned pixel = in[x];
                out[3 * x] = widen(pixel >> 11, 5);
                out[3 * x + 1] = widen(pixel >> 5 & 0x3F, 6);
                out[3 * x + 2] = widen(pixel & 0x1F, 5);
            }
        }
    } else {
        std::vector<std::uint8_t> bottom_up(pixels * 3);
        glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottom_up.data());
        const std::size_t row = static_cast<std::size_t>(width) * 3;
        for (int y = 0; y < height; ++y) {
            std::copy_n(&bottom_up[static_cast<std::size_t>(y) * row], row,
                        &rgb_pixels[static_cast<std::size_t>(height - 1 - y) * row]);
        }
    }
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    return rgb_pixels.data();
}

} // namespace

const std::string& capture::gl_error() {
    return gl_error_text;
}

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* pfd) {
    if (capture::host::surface_of(dc) == nullptr || pfd == nullptr ||
        pfd->iPixelType != PFD_TYPE_RGBA || (pfd->dwFlags & PFD_SUPPORT_OPENGL) == 0) {
        return no_format;
    }
    return pfd->cColorBits <= 16 ? format_rgb565 : format_rgb888;
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*) {
    capture::host::Surface* surface = capture::host::surface_of(dc);
    if (surface == nullptr || (format != format_rgb565 && format != format_rgb888)) {
        return FALSE;
    }
    // As on Windows, a window's pixel format is set once.
    if (surface->pixel_format != no_format) {
        return surface->pixel_format == format ? TRUE : FALSE;
    }
    surface->pixel_format = format;
    return TRUE;
}

HGLRC wglCreateContext(HDC dc) {
    const capture::host::Surface* surface = capture::host::surface_of(dc);
    if (surface == nullptr || surface->pixel_format == no_format || !open_display()) {
        return nullptr;
    }
    // A compatibility context of any version: the program uses GL 1.1 immediate mode.
    EGLContext egl = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (egl == EGL_NO_CONTEXT) {
        fail("cannot create an OpenGL context");
        return nullptr;
    }
    auto context = std::make_unique<Context>();
    context->egl = egl;
    context->pixel_format = surface->pixel_format;
    contexts.push_back(std::move(context));
    return reinterpret_cast<HGLRC>(contexts.back().get());
}

BOOL wglMakeCurrent(HDC dc, HGLRC handle) {
    if (handle == nullptr) {
        if (display != EGL_NO_DISPLAY) {
            eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        }
        current = nullptr;
        current_dc = nullptr;
        return TRUE;
    }
    Context* context = context_of(handle);
    const capture::host::Surface* surface = capture::host::surface_of(dc);
    if (context == nullptr || surface == nullptr ||
        surface->pixel_format != context->pixel_format) {
        return FALSE;
    }
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context->egl)) {
        fail("cannot make the context current without a surface");
        return FALSE;
    }
    if (context->framebuffer == 0 && !make_framebuffer(*context, *surface)) {
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        current = nullptr;
        current_dc = nullptr;
        return FALSE;
    }
    current = context;
    current_dc = dc;
    return TRUE;
}

BOOL wglDeleteContext(HGLRC handle) {
    for (auto it = contexts.begin(); it != contexts.end(); ++it) {
        if (reinterpret_cast<HGLRC>(it->get()) == handle) {
            if (current == it->get()) {
                wglMakeCurrent(nullptr, nullptr);
            }
            // The framebuffer goes with the context.
            eglDestroyContext(display, (*it)->egl);
            contexts.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

BOOL SwapBuffers(HDC dc) {
    if (current == nullptr || dc != current_dc) {
        return FALSE;
    }
    const std::uint8_t* rgb = read_frame(*current);
    if (!capture::host::sink->take_frame(capture::host::frame, capture::host::now_ms(), rgb,
                                         current->width, current->height)) {
        capture::end(capture::End::sink_stopped, 0);
    }
    return TRUE;
}
