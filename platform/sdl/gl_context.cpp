// GL contexts and the presentation of frames: the program draws into an offscreen framebuffer of
// its client size and depths, and SwapBuffers shows it scaled onto the window.
#include "platform/fbo/framebuffer.h"
#include "platform/sdl/sdl.h"
#include "platform/win32/letterbox.h"

#include <algorithm>

namespace {

struct Context {
    SDL_GLContext sdl;
    // The window it draws to: the one of its last wglMakeCurrent.
    win32::Window* window;
    bool has_framebuffers;
    fbo::Api api;
    fbo::Framebuffer target;
};

Context* current = nullptr;

// Keeps the context's framebuffer at the window's client size and bound, or falls back to the
// window's own surface when framebuffers cannot be had.
void ensure_framebuffer(Context& context, const win32::Window& window) {
    if (!context.has_framebuffers) {
        return;
    }
    const int width = std::max(window.client_width, 1);
    const int height = std::max(window.client_height, 1);
    fbo::Framebuffer& target = context.target;
    if (target.framebuffer != 0 && target.width == width && target.height == height) {
        context.api.bind_framebuffer(GL_FRAMEBUFFER, target.framebuffer);
        return;
    }
    fbo::destroy(context.api, &target);
    if (!fbo::make(context.api, &target, width, height, window.pixel_format.cColorBits,
                   window.pixel_format.cDepthBits)) {
        context.has_framebuffers = false;
        context.api.bind_framebuffer(GL_FRAMEBUFFER, 0);
    }
}

// Shows the finished frame: the offscreen picture scaled onto the window's back buffer, black
// around it, then the buffer swap. Every GL state touched here is put back afterwards, so the
// program finds its own state exactly as it left it.
void show_frame(Context& context, win32::Window& window) {
    const fbo::Api& api = context.api;
    const fbo::Framebuffer& picture = context.target;
    int surface_width = 0;
    int surface_height = 0;
    SDL_GL_GetDrawableSize(sdl::window_of(window), &surface_width, &surface_height);
    const win32::PixelRect target =
        win32::letterbox(picture.width, picture.height, surface_width, surface_height);

    GLint draw_framebuffer = 0;
    GLint read_framebuffer = 0;
    GLfloat clear_colour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    GLboolean colour_mask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw_framebuffer);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read_framebuffer);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear_colour);
    glGetBooleanv(GL_COLOR_WRITEMASK, colour_mask);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);

    api.bind_framebuffer(GL_READ_FRAMEBUFFER, picture.framebuffer);
    api.bind_framebuffer(GL_DRAW_FRAMEBUFFER, 0);
    if (scissor) {
        glDisable(GL_SCISSOR_TEST);
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    if (target.width > 0 && target.height > 0) {
        // Nearest-pixel scaling keeps the picture's pixels sharp.
        api.blit_framebuffer(0, 0, picture.width, picture.height, target.x, target.y,
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

} // namespace sdl

namespace backend {

bool present(win32::Window& window, void* context) {
    Context& drawing = *static_cast<Context*>(context);
    if (drawing.target.framebuffer != 0) {
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
    return new Context{sdl, nullptr, false, {}, {}};
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
        context->has_framebuffers = fbo::load(&context->api, SDL_GL_GetProcAddress);
        ensure_framebuffer(*context, *window);
        // As WGL does on a context's first use: viewport and scissor box cover the window.
        glViewport(0, 0, window->client_width, window->client_height);
        glScissor(0, 0, window->client_width, window->client_height);
    } else {
        ensure_framebuffer(*context, *window);
    }
    return true;
}

// The layer releases a context before deleting it.
void delete_context(void* handle) {
    auto* context = static_cast<Context*>(handle);
    SDL_GL_DeleteContext(context->sdl);
    delete context;
}

} // namespace backend
