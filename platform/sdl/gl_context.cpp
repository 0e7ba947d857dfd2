// Device contexts, the pixel format, WGL's contexts and the presentation of frames: the program
// draws into an offscreen framebuffer of its client size and depths, and SwapBuffers shows it
// scaled onto the window.
#include "platform/gl.h"
#include "platform/win32/backend.h"
#include "platform/sdl/letterbox.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// The framebuffer-object entry points, from GL 3.0 or ARB_framebuffer_object.
struct FramebufferApi {
    PFNGLGENFRAMEBUFFERSPROC gen_framebuffers;
    PFNGLDELETEFRAMEBUFFERSPROC delete_framebuffers;
    PFNGLBINDFRAMEBUFFERPROC bind_framebuffer;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebuffer_renderbuffer;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC check_framebuffer_status;
    PFNGLGENRENDERBUFFERSPROC gen_renderbuffers;
    PFNGLDELETERENDERBUFFERSPROC delete_renderbuffers;
    PFNGLBINDRENDERBUFFERPROC bind_renderbuffer;
    PFNGLRENDERBUFFERSTORAGEPROC renderbuffer_storage;
    PFNGLBLITFRAMEBUFFERPROC blit_framebuffer;
};

struct Context {
    SDL_GLContext sdl;
    // The window it draws to: the one of its last wglMakeCurrent.
    host::Window* window;
    bool prepared;
    bool has_framebuffers;
    FramebufferApi api;
    GLuint framebuffer;
    GLuint colour_buffer;
    GLuint depth_buffer;
    int width;
    int height;
};

std::vector<std::unique_ptr<Context>> contexts;
Context* current = nullptr;

// The one pixel format there is.
constexpr int the_pixel_format = 1;

Context* find_context(HGLRC handle) {
    for (const std::unique_ptr<Context>& entry : contexts) {
        if (handle != nullptr && reinterpret_cast<HGLRC>(entry.get()) == handle) {
            return entry.get();
        }
    }
    return nullptr;
}

template <typename Function> bool load(Function& function, const char* name) {
    function = reinterpret_cast<Function>(SDL_GL_GetProcAddress(name));
    return function != nullptr;
}

// Needs the context current.
bool load_framebuffer_api(FramebufferApi& api) {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const bool core = version != nullptr && version[0] >= '3' && version[0] <= '9';
    if (!core && !SDL_GL_ExtensionSupported("GL_ARB_framebuffer_object")) {
        return false;
    }
    return load(api.gen_framebuffers, "glGenFramebuffers") &&
           load(api.delete_framebuffers, "glDeleteFramebuffers") &&
           load(api.bind_framebuffer, "glBindFramebuffer") &&
           load(api.framebuffer_renderbuffer, "glFramebufferRenderbuffer") &&
           load(api.check_framebuffer_status, "glCheckFramebufferStatus") &&
           load(api.gen_renderbuffers, "glGenRenderbuffers") &&
           load(api.delete_renderbuffers, "glDeleteRenderbuffers") &&
           load(api.bind_renderbuffer, "glBindRenderbuffer") &&
           load(api.renderbuffer_storage, "glRenderbufferStorage") &&
           load(api.blit_framebuffer, "glBlitFramebuffer");
}

void drain_gl_errors() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

void delete_framebuffer(Context& context) {
    if (context.framebuffer == 0) {
        return;
    }
    const FramebufferApi& api = context.api;
    api.bind_framebuffer(GL_FRAMEBUFFER, 0);
    api.delete_framebuffers(1, &context.framebuffer);
    api.delete_renderbuffers(1, &context.colour_buffer);
    if (context.depth_buffer != 0) {
        api.delete_renderbuffers(1, &context.depth_buffer);
    }
    context.framebuffer = 0;
    context.colour_buffer = 0;
    context.depth_buffer = 0;
}

GLuint make_renderbuffer(const FramebufferApi& api, GLenum format, int width, int height) {
    GLuint renderbuffer = 0;
    api.gen_renderbuffers(1, &renderbuffer);
    api.bind_renderbuffer(GL_RENDERBUFFER, renderbuffer);
    api.renderbuffer_storage(GL_RENDERBUFFER, format, width, height);
    api.bind_renderbuffer(GL_RENDERBUFFER, 0);
    if (glGetError() != GL_NO_ERROR) {
        api.delete_renderbuffers(1, &renderbuffer);
        return 0;
    }
    return renderbuffer;
}

// Makes the framebuffer the program draws into, with the pixel format's colour and depth bits,
// trying the exact 16-bit formats first. False when none of the candidates is complete.
bool make_framebuffer(Context& context, const host::Window& window) {
    const FramebufferApi& api = context.api;
    const int width = std::max(window.client_width, 1);
    const int height = std::max(window.client_height, 1);
    const PIXELFORMATDESCRIPTOR& format = window.pixel_format;

    const GLenum colour_formats_16[] = {GL_RGB565, GL_RGB5, GL_RGBA8};
    const GLenum colour_formats_32[] = {GL_RGBA8};
    const bool colour_16 = format.cColorBits <= 16;
    const GLenum* colour_formats = colour_16 ? colour_formats_16 : colour_formats_32;
    const int colour_format_count = colour_16 ? 3 : 1;
    GLenum depth_format = 0;
    if (format.cDepthBits > 0) {
        depth_format = format.cDepthBits <= 16 ? GL_DEPTH_COMPONENT16 : GL_DEPTH_COMPONENT24;
    }

    drain_gl_errors();
    for (int i = 0; i < colour_format_count; ++i) {
        context.colour_buffer = make_renderbuffer(api, colour_formats[i], width, height);
        if (context.colour_buffer == 0) {
            continue;
        }
        context.depth_buffer =
            depth_format != 0 ? make_renderbuffer(api, depth_format, width, height) : 0;
        api.gen_framebuffers(1, &context.framebuffer);
        api.bind_framebuffer(GL_FRAMEBUFFER, context.framebuffer);
        api.framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                     context.colour_buffer);
        if (context.depth_buffer != 0) {
            api.framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                         context.depth_buffer);
        }
        if (api.check_framebuffer_status(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE &&
            (depth_format == 0 || context.depth_buffer != 0)) {
            context.width = width;
            context.height = height;
            return true;
        }
        delete_framebuffer(context);
        drain_gl_errors();
    }
    return false;
}

// Keeps the context's framebuffer at the window's client size and bound, or falls back to the
// window's own surface when framebuffers cannot be had.
void ensure_framebuffer(Context& context, const host::Window& window) {
    if (!context.has_framebuffers) {
        return;
    }
    const int width = std::max(window.client_width, 1);
    const int height = std::max(window.client_height, 1);
    if (context.framebuffer != 0 && context.width == width && context.height == height) {
        context.api.bind_framebuffer(GL_FRAMEBUFFER, context.framebuffer);
        return;
    }
    delete_framebuffer(context);
    if (!make_framebuffer(context, window)) {
        context.has_framebuffers = false;
        context.api.bind_framebuffer(GL_FRAMEBUFFER, 0);
    }
}

// Shows the finished frame: the offscreen picture scaled onto the window's back buffer, black
// around it, then the buffer swap. Every GL state touched here is put back afterwards, so the
// program finds its own state exactly as it left it.
void present(Context& context, host::Window& window) {
    const FramebufferApi& api = context.api;
    int surface_width = 0;
    int surface_height = 0;
    SDL_GL_GetDrawableSize(window.sdl, &surface_width, &surface_height);
    const host::PixelRect target =
        host::letterbox(context.width, context.height, surface_width, surface_height);

    GLint draw_framebuffer = 0;
    GLint read_framebuffer = 0;
    GLfloat clear_colour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    GLboolean colour_mask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw_framebuffer);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read_framebuffer);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear_colour);
    glGetBooleanv(GL_COLOR_WRITEMASK, colour_mask);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);

    api.bind_framebuffer(GL_READ_FRAMEBUFFER, context.framebuffer);
    api.bind_framebuffer(GL_DRAW_FRAMEBUFFER, 0);
    if (scissor) {
        glDisable(GL_SCISSOR_TEST);
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    if (target.width > 0 && target.height > 0) {
        // Nearest-pixel scaling keeps the picture's pixels sharp.
        api.blit_framebuffer(0, 0, context.width, context.height, target.x, target.y,
                             target.x + target.width, target.y + target.height, GL_COLOR_BUFFER_BIT,
                             GL_NEAREST);
    }
    SDL_GL_SwapWindow(window.sdl);

    api.bind_framebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read_framebuffer));
    api.bind_framebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(draw_framebuffer));
    if (scissor) {
        glEnable(GL_SCISSOR_TEST);
    }
    glColorMask(colour_mask[0], colour_mask[1], colour_mask[2], colour_mask[3]);
    glClearColor(clear_colour[0], clear_colour[1], clear_colour[2], clear_colour[3]);
}

} // namespace

namespace host {

void client_resized_gl(Window& window) {
    if (current != nullptr && current->window == &window) {
        ensure_framebuffer(*current, window);
    }
}

void forget_window_gl(const Window& window) {
    for (const std::unique_ptr<Context>& entry : contexts) {
        if (entry->window == &window) {
            if (entry.get() == current) {
                SDL_GL_MakeCurrent(window.sdl, nullptr);
                current = nullptr;
            }
            entry->window = nullptr;
        }
    }
}

void release_gl() {
    if (current != nullptr) {
        SDL_GL_MakeCurrent(current->window != nullptr ? current->window->sdl : nullptr, nullptr);
        current = nullptr;
    }
    for (const std::unique_ptr<Context>& entry : contexts) {
        SDL_GL_DeleteContext(entry->sdl);
    }
    contexts.clear();
}

} // namespace host

HDC GetDC(HWND handle) {
    host::Window* window = host::find_window(handle);
    // Only windows have device contexts here; the screen's is not supported.
    return window != nullptr ? reinterpret_cast<HDC>(&window->dc) : nullptr;
}

int ReleaseDC(HWND handle, HDC dc) {
    const host::Window* window = host::find_window(handle);
    return window != nullptr && host::window_of_dc(dc) == window ? 1 : 0;
}

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* pfd) {
    if (host::window_of_dc(dc) == nullptr || pfd == nullptr ||
        (pfd->dwFlags & PFD_SUPPORT_OPENGL) == 0 || pfd->iPixelType != PFD_TYPE_RGBA) {
        return 0;
    }
    return the_pixel_format;
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* pfd) {
    host::Window* window = host::window_of_dc(dc);
    // A window's pixel format is set once.
    if (window == nullptr || format != the_pixel_format || window->pixel_format_set) {
        return FALSE;
    }
    if (pfd != nullptr) {
        window->pixel_format = *pfd;
    } else {
        window->pixel_format = PIXELFORMATDESCRIPTOR{};
        window->pixel_format.cColorBits = 32;
        window->pixel_format.cDepthBits = 24;
    }
    window->pixel_format_set = true;
    return TRUE;
}

BOOL SwapBuffers(HDC dc) {
    host::Window* window = host::window_of_dc(dc);
    if (window == nullptr || current == nullptr || current->window != window) {
        return FALSE;
    }
    if (current->framebuffer != 0) {
        present(*current, *window);
    } else {
        SDL_GL_SwapWindow(window->sdl);
    }
    return TRUE;
}

HGLRC wglCreateContext(HDC dc) {
    host::Window* window = host::window_of_dc(dc);
    if (window == nullptr || !window->pixel_format_set) {
        return nullptr;
    }
    SDL_Window* previous_window = SDL_GL_GetCurrentWindow();
    SDL_GLContext previous = SDL_GL_GetCurrentContext();
    SDL_GLContext sdl = SDL_GL_CreateContext(window->sdl);
    if (sdl == nullptr) {
        return nullptr;
    }
    // SDL makes the new context current; WGL leaves the current one as it was.
    SDL_GL_MakeCurrent(previous != nullptr ? previous_window : window->sdl, previous);
    contexts.push_back(
        std::make_unique<Context>(Context{sdl, window, false, false, {}, 0, 0, 0, 0, 0}));
    return reinterpret_cast<HGLRC>(contexts.back().get());
}

BOOL wglMakeCurrent(HDC dc, HGLRC handle) {
    if (handle == nullptr) {
        if (current != nullptr) {
            SDL_GL_MakeCurrent(current->window != nullptr ? current->window->sdl : nullptr,
                               nullptr);
            current = nullptr;
        }
        return TRUE;
    }
    Context* context = find_context(handle);
    host::Window* window = host::window_of_dc(dc);
    if (context == nullptr || window == nullptr ||
        SDL_GL_MakeCurrent(window->sdl, context->sdl) != 0) {
        return FALSE;
    }
    current = context;
    context->window = window;
    if (!context->prepared) {
        context->prepared = true;
        context->has_framebuffers = load_framebuffer_api(context->api);
        ensure_framebuffer(*context, *window);
        // As WGL does on a context's first use: viewport and scissor box cover the window.
        glViewport(0, 0, window->client_width, window->client_height);
        glScissor(0, 0, window->client_width, window->client_height);
    } else {
        ensure_framebuffer(*context, *window);
    }
    return TRUE;
}

BOOL wglDeleteContext(HGLRC handle) {
    Context* context = find_context(handle);
    if (context == nullptr) {
        return FALSE;
    }
    if (context == current) {
        SDL_GL_MakeCurrent(context->window != nullptr ? context->window->sdl : nullptr, nullptr);
        current = nullptr;
    }
    SDL_GL_DeleteContext(context->sdl);
    contexts.erase(
        std::find_if(contexts.begin(), contexts.end(), [&](const std::unique_ptr<Context>& entry) {
            return entry.get() == context;
        }));
    return TRUE;
}
