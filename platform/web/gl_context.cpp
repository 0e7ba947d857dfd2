// GL contexts over WebGL 2 on the page's canvas. The program's GL 1.1 calls go to our subset
// (platform/webgl/), which draws into a picture of the window's client size and pixel format;
// SwapBuffers shows that picture on the canvas, scaled with its aspect ratio kept and, where it
// fits, by a whole number.
#include "platform/gl.h"
#include "platform/web/page.h"
#include "platform/webgl/gles.h"
#include "platform/webgl/webgl.h"
#include "platform/win32/letterbox.h"

#include <emscripten/html5.h>

#include <cstdio>
#include <string>

namespace {

struct Context {
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE handle;
    // The subset is open on it (from its first wglMakeCurrent).
    bool open;
};

// The subset keeps one picture, so there is one context at a time.
Context* the_context = nullptr;
webgl::Gles gles;

} // namespace

namespace backend {

void* create_context(win32::Window&) {
    if (the_context != nullptr) {
        return nullptr;
    }
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE handle = webgl::create_browser_context("#canvas");
    if (handle <= 0) {
        std::fprintf(stderr, "no WebGL 2 context for the canvas\n");
        return nullptr;
    }
    the_context = new Context{handle, false};
    return the_context;
}

bool make_current(win32::Window* window, void* handle, bool first_use) {
    auto* context = static_cast<Context*>(handle);
    if (context == nullptr) {
        emscripten_webgl_make_context_current(0);
        return true;
    }
    if (emscripten_webgl_make_context_current(context->handle) != EMSCRIPTEN_RESULT_SUCCESS) {
        return false;
    }
    if (!context->open) {
        webgl::load_browser_gles(gles);
        std::string error;
        if (!webgl::open(gles, window->client_width, window->client_height, &error)) {
            std::fprintf(stderr, "the GL subset cannot draw with WebGL 2: %s\n", error.c_str());
            return false;
        }
        context->open = true;
    }
    if (first_use) {
        // As WGL does on a context's first use: the viewport covers the window.
        glViewport(0, 0, window->client_width, window->client_height);
    }
    return true;
}

void delete_context(void* handle) {
    auto* context = static_cast<Context*>(handle);
    if (context->open) {
        // The program releases its context before deleting it, as WGL asks; the subset's objects
        // are deleted on it all the same.
        const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE current = emscripten_webgl_get_current_context();
        emscripten_webgl_make_context_current(context->handle);
        webgl::close();
        emscripten_webgl_make_context_current(current == context->handle ? current : 0);
    }
    emscripten_webgl_destroy_context(context->handle);
    delete context;
    the_context = nullptr;
}

bool present(win32::Window& window, void*) {
    webgl::end_frame();
    int width = 0;
    int height = 0;
    web_fit_canvas(window.client_width, window.client_height, &width, &height);
    const win32::PixelRect picture =
        win32::sharp_letterbox(window.client_width, window.client_height, width, height);
    webgl::present(height, picture.x, picture.y, picture.width, picture.height);
    web::frame_finished();
    return true;
}

} // namespace backend
