// The capture backend's GL: contexts from Mesa through EGL without any surface (platform/egl/),
// each drawing into a framebuffer object of its window's size and pixel format, and SwapBuffers
// reading the finished frame back for the sink.
#include "platform/egl/surfaceless.h"
#include "platform/fbo/framebuffer.h"
#include "platform/headless/host_state.h"
#include "platform/win32/backend.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Context {
    void* egl = nullptr;
    fbo::Api api = {};
    // Made the first time the context is made current, at the size and pixel format of that
    // window: RGB565 and 16-bit depth for the show's 16-bit colour.
    fbo::Framebuffer framebuffer;
};

std::string gl_error_text;

std::vector<std::uint16_t> packed_pixels;
std::vector<std::uint8_t> rgb_pixels;

// 5 or 6 bits widened to 8 by repeating the top bits, so that full intensity stays 255.
std::uint8_t widen(unsigned value, int bits) {
    return static_cast<std::uint8_t>(value << (8 - bits) | value >> (2 * bits - 8));
}

// The bound framebuffer as 8-bit red, green and blue, the top row first.
const std::uint8_t* read_frame(const fbo::Framebuffer& framebuffer) {
    const int width = framebuffer.width;
    const int height = framebuffer.height;
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    rgb_pixels.resize(pixels * 3);
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (framebuffer.colour_format == GL_RGB565) {
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

namespace backend {

void* create_context(win32::Window&) {
    void* egl = egl::create_context(&gl_error_text);
    if (egl == nullptr) {
        return nullptr;
    }
    auto* context = new Context;
    context->egl = egl;
    return context;
}

bool make_current(win32::Window* window, void* handle, bool) {
    auto* context = static_cast<Context*>(handle);
    if (!egl::make_current(context != nullptr ? context->egl : nullptr, &gl_error_text)) {
        return false;
    }
    if (context == nullptr || context->framebuffer.framebuffer != 0) {
        return true;
    }
    // The framebuffer is made on the context's first use, for that window.
    if (!fbo::load(&context->api, egl::get_proc_address)) {
        gl_error_text = "no framebuffer objects";
        return false;
    }
    if (!fbo::make(context->api, &context->framebuffer, window->client_width, window->client_height,
                   window->pixel_format.cColorBits, window->pixel_format.cDepthBits)) {
        gl_error_text = "no framebuffer for the window's pixel format";
        return false;
    }
    return true;
}

void delete_context(void* handle) {
    auto* context = static_cast<Context*>(handle);
    egl::destroy_context(context->egl);
    delete context;
}

bool present(win32::Window&, void* handle) {
    const fbo::Framebuffer& framebuffer = static_cast<Context*>(handle)->framebuffer;
    const std::uint8_t* rgb = read_frame(framebuffer);
    if (!capture::host::sink->take_frame(capture::host::frame, capture::host::now_ms(), rgb,
                                         framebuffer.width, framebuffer.height)) {
        capture::end(capture::End::sink_stopped, 0);
    }
    return true;
}

} // namespace backend
