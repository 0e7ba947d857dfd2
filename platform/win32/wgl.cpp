// Device contexts, the pixel format and WGL's contexts: which context is current and on which
// window; the backend makes, binds and presents them.
#include "platform/win32/backend.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

struct Context {
    void* native;
    // The window it draws to: the one of its last wglMakeCurrent.
    HWND window;
    bool used;
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

void release_current() {
    if (current != nullptr) {
        backend::make_current(nullptr, nullptr, false);
        current = nullptr;
    }
}

} // namespace

namespace win32 {

void forget_window_contexts(const Window* window) {
    for (const std::unique_ptr<Context>& entry : contexts) {
        if (entry->window == handle_of(window)) {
            if (entry.get() == current) {
                release_current();
            }
            entry->window = nullptr;
        }
    }
}

void release_contexts() {
    release_current();
    for (const std::unique_ptr<Context>& entry : contexts) {
        backend::delete_context(entry->native);
    }
    contexts.clear();
}

} // namespace win32

HDC GetDC(HWND handle) {
    win32::Window* window = win32::find_window(handle);
    // Only windows have device contexts here; the screen's is not supported.
    return window != nullptr ? reinterpret_cast<HDC>(&window->dc) : nullptr;
}

int ReleaseDC(HWND handle, HDC dc) {
    const win32::Window* window = win32::find_window(handle);
    return window != nullptr && win32::window_of_dc(dc) == window ? 1 : 0;
}

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* pfd) {
    if (win32::window_of_dc(dc) == nullptr || pfd == nullptr ||
        (pfd->dwFlags & PFD_SUPPORT_OPENGL) == 0 || pfd->iPixelType != PFD_TYPE_RGBA) {
        return 0;
    }
    return the_pixel_format;
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* pfd) {
    win32::Window* window = win32::window_of_dc(dc);
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
    win32::Window* window = win32::window_of_dc(dc);
    if (window == nullptr || current == nullptr || current->window != win32::handle_of(window)) {
        return FALSE;
    }
    return backend::present(*window, current->native) ? TRUE : FALSE;
}

HGLRC wglCreateContext(HDC dc) {
    win32::Window* window = win32::window_of_dc(dc);
    if (window == nullptr || !window->pixel_format_set) {
        return nullptr;
    }
    void* native = backend::create_context(*window);
    if (native == nullptr) {
        return nullptr;
    }
    contexts.push_back(std::make_unique<Context>(Context{native, nullptr, false}));
    return reinterpret_cast<HGLRC>(contexts.back().get());
}

BOOL wglMakeCurrent(HDC dc, HGLRC handle) {
    if (handle == nullptr) {
        release_current();
        return TRUE;
    }
    Context* context = find_context(handle);
    win32::Window* window = win32::window_of_dc(dc);
    if (context == nullptr || window == nullptr) {
        return FALSE;
    }
    if (!backend::make_current(window, context->native, !context->used)) {
        // As WGL does, a failed call leaves no context current.
        backend::make_current(nullptr, nullptr, false);
        current = nullptr;
        return FALSE;
    }
    current = context;
    context->window = win32::handle_of(window);
    context->used = true;
    return TRUE;
}

BOOL wglDeleteContext(HGLRC handle) {
    Context* context = find_context(handle);
    if (context == nullptr) {
        return FALSE;
    }
    if (context == current) {
        release_current();
    }
    backend::delete_context(context->native);
    contexts.erase(
        std::find_if(contexts.begin(), contexts.end(), [&](const std::unique_ptr<Context>& entry) {
            return entry.get() == context;
        }));
    return TRUE;
}
