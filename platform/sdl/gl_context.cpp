// GL contexts and the presentation of frames: the program draws into an offscreen framebuffer of
// its client size and depths, and SwapBuffers shows it scaled onto the window.
#include "platform/gl.h"
#include "platform/sdl/letterbox.h"
#include "platform/sdl/sdl.h"

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
    win32::Window* window;
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
bool make_framebuffer(Context& context, const win32::Window& window) {
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
void ensure_framebuffer(Context& context, const win32::Window& window) {
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
void show_frame(Context& context, win32::Window& window) {
    const FramebufferApi& api = context.api;
    int surface_width = 0;
    int surface_height = 0;
    SDL_GL_GetDrawableSize(sdl::window_of(window), &surface_width, &surface_height);
    const sdl::PixelRect target =
        sdl::letterbox(context.width, context.height, surface_width, surface_height);

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
    SDL_GL_SwapWindow(sdl::window_of(window));

    api.bind_framebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read_framebuffer));
    api.bind_framebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(draw_framebuffer));
    if (scissor) {
        glEnable(GL_SCISSOR_TEST);
    }
    glColorMask(colour_mask[0], colour_mask[1], colour_mask[2], colour_mask[3]);
    glClearColor(clear_colour[0], clear_colour[1], clear_colour[2], clear_colour[3]);
}

void release_current() {
    if (current != nullptr) {
        SDL_GL_MakeCurrent(current->window != nullptr ? sdl::window_of(*current->window) : nullptr,
                           nullptr);
        current = nullptr;
    }
}

} // namespace

namespace sdl {

void client_resized_gl(win32::Window& window) {
    if (current != nullptr && current->window == &window) {
        ensure_framebuffer(*current, window);
    }
}

void forget_window_gl(const win32::Window& window) {
    for (const std::unique_ptr<Context>& entry : contexts) {
        if (entry->window == &window) {
            if (entry.get() == current) {
                release_current();
            }
            entry->window = nullptr;
        }
    }
}

void release_gl() {
    release_current();
    for (const std::unique_ptr<Context>& entry : contexts) {
        SDL_GL_DeleteContext(entry->sdl);
    }
    contexts.clear();
}

} // namespace sdl

namespace backend {

bool present(win32::Window& window, void* context) {
    Context& drawing = *static_cast<Context*>(context);
    if (drawing.framebuffer != 0) {
        show_frame(drawing, window);
    } else {
        SDL_GL_SwapWindow(sdl::window_of(window));
    }
    return true;
}

void* create_context(win32::Window& window) {
    SDL_Window* previous_window = SDL_GL_GetCurrentWindow();
    SDL_GLContext previous = SDL_GL_GetCurrentContext();
    SDL_GLContext sdl = SDL_GL_CreateContext(sdl::window_of(window));
    if (sdl == nullptr) {
        return nullptr;
    }
    // SDL makes the new context current; WGL leaves the current one as it was.
    SDL_GL_MakeCurrent(previous != nullptr ? previous_window : sdl::window_of(window), previous);
    contexts.push_back(std::make_unique<Context>(Context{sdl, nullptr, false, {}, 0, 0, 0, 0, 0}));
    return contexts.back().get();
}

bool make_current(win32::Window* window, void* handle, bool first_use) {
    if (handle == nullptr) {
        release_current();
        return true;
    }
    auto* context = static_cast<Context*>(handle);
    if (SDL_GL_MakeCurrent(sdl::window_of(*window), context->sdl) != 0) {
        return false;
    }
    current = context;
    context->window = window;
    if (first_use) {
        context->has_framebuffers = load_framebuffer_api(context->api);
        ensure_framebuffer(*context, *window);
        // As WGL does on a context's first use: viewport and scissor box cover the window.
        glViewport(0, 0, window->client_width, window->client_height);
        glScissor(0, 0, window->client_width, window->client_height);
    } else {
        ensure_framebuffer(*context, *window);
    }
    return true;
}

void delete_context(void* handle) {
    auto* context = static_cast<Context*>(handle);
    if (context == current) {
        release_current();
    }
    SDL_GL_DeleteContext(context->sdl);
    contexts.erase(
        std::find_if(contexts.begin(), contexts.end(), [&](const std::unique_ptr<Context>& entry) {
            return entry.get() == context;
        }));
}

} // namespace backend
