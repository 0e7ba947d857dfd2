// The capture backend's GL: contexts from Mesa through EGL without any surface (platform/egl/),
// each drawing by turns into two framebuffer objects of its window's size and pixel format, and
// SwapBuffers starting the frame's rasterising and reading the frame before back for the sink.
#include "platform/egl/surfaceless.h"
#include "platform/fbo/framebuffer.h"
#include "platform/headless/gl_gate.h"
#include "platform/headless/host_state.h"
#include "platform/win32/backend.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Context {
    void* egl = nullptr;
    fbo::Api api = {};
    // Two framebuffers the frames are drawn into by turns (made the first time the context is
    // made current, at the size and pixel format of that window: RGB565 and 16-bit depth for the
    // show's 16-bit colour): while llvmpipe's threads rasterise one frame, the frame before it is
    // read back from the other and the program works out the next.
    fbo::Framebuffer targets[2];
    int drawing_into = 0; // the target the program draws into now
};

// A drawn frame whose rasterising has started, not yet read back and handed to the sink.
struct PendingFrame {
    bool waiting = false;
    int target = 0;
    std::int64_t index = 0;
    std::int64_t show_time_ms = 0;
};

std::string gl_error_text;
Context* current = nullptr;
PendingFrame pending; // of the current context

std::vector<std::uint16_t> packed_pixels;
std::vector<std::uint8_t> bgr_pixels;

// 5 or 6 bits widened to 8 by repeating the top bits, so that full intensity stays 255.
std::uint8_t widen(unsigned value, int bits) {
    return static_cast<std::uint8_t>(value << (8 - bits) | value >> (2 * bits - 8));
}

// Every 16-bit pixel as 8-bit blue, green and red: 192 KiB, looked up once a pixel.
const std::vector<std::uint8_t>& widened_pixels() {
    static const std::vector<std::uint8_t> table = [] {
        std::vector<std::uint8_t> bgr(65536 * 3);
        for (unsigned pixel = 0; pixel < 65536; ++pixel) {
            bgr[3 * pixel] = widen(pixel & 0x1F, 5);
            bgr[3 * pixel + 1] = widen(pixel >> 5 & 0x3F, 6);
            bgr[3 * pixel + 2] = widen(pixel >> 11, 5);
        }
        return bgr;
    }();
    return table;
}

// The framebuffer bound for reading as 8-bit blue, green and red, the top row first.
const std::uint8_t* read_frame(const fbo::Framebuffer& framebuffer) {
    const int width = framebuffer.width;
    const int height = framebuffer.height;
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    bgr_pixels.resize(pixels * 3);
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (framebuffer.colour_format == GL_RGB565) {
        // The 16-bit pixels exactly as drawn, widened here rather than by the driver.
        packed_pixels.resize(pixels);
        glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, packed_pixels.data());
        const std::uint8_t* widened = widened_pixels().data();
        for (int y = 0; y < height; ++y) {
            const std::uint16_t* in = &packed_pixels[static_cast<std::size_t>(y) * width];
            std::uint8_t* out = &bgr_pixels[static_cast<std::size_t>(height - 1 - y) * width * 3];
            for (int x = 0; x < width; ++x) {
                std::memcpy(out + 3 * x, widened + 3 * in[x], 3);
            }
        }
    } else {
        std::vector<std::uint8_t> bottom_up(pixels * 3);
        glReadPixels(0, 0, width, height, GL_BGR, GL_UNSIGNED_BYTE, bottom_up.data());
        const std::size_t row = static_cast<std::size_t>(width) * 3;
        for (int y = 0; y < height; ++y) {
            std::copy_n(&bottom_up[static_cast<std::size_t>(y) * row], row,
                        &bgr_pixels[static_cast<std::size_t>(height - 1 - y) * row]);
        }
    }
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    return bgr_pixels.data();
}

// Reads back the frame waiting in the current context, if one is, and hands it to the sink;
// returns the sink's answer (false: stop).
bool hand_over_pending() {
    if (current == nullptr || !pending.waiting) {
        return true;
    }
    pending.waiting = false;
    const fbo::Framebuffer& drawn = current->targets[pending.target];
    current->api.bind_framebuffer(GL_READ_FRAMEBUFFER, drawn.framebuffer);
    const std::uint8_t* bgr = read_frame(drawn);
    current->api.bind_framebuffer(GL_READ_FRAMEBUFFER,
                                  current->targets[current->drawing_into].framebuffer);
    return capture::host::sink->take_frame(pending.index, pending.show_time_ms, bgr, drawn.width,
                                           drawn.height);
}

} // namespace

const std::string& capture::gl_error() {
    return gl_error_text;
}

void capture::host::finish_frames() {
    hand_over_pending();
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
    // The frame drawn last goes to the sink while its context is still current.
    if (!hand_over_pending()) {
        capture::end(capture::End::sink_stopped, 0);
    }
    auto* context = static_cast<Context*>(handle);
    current = nullptr;
    if (!egl::make_current(context != nullptr ? context->egl : nullptr, &gl_error_text)) {
        return false;
    }
    if (context == nullptr) {
        return true;
    }
    if (context->targets[0].framebuffer == 0) {
        // The framebuffers are made on the context's first use, for that window.
        if (!fbo::load(&context->api, egl::get_proc_address)) {
            gl_error_text = "no framebuffer objects";
            return false;
        }
        for (int i : {1, 0}) {
            if (!fbo::make(context->api, &context->targets[i], window->client_width,
                           window->client_height, window->pixel_format.cColorBits,
                           window->pixel_format.cDepthBits)) {
                gl_error_text = "no framebuffer for the window's pixel format";
                return false;
            }
        }
        context->drawing_into = 0;
    }
    context->api.bind_framebuffer(GL_FRAMEBUFFER,
                                  context->targets[context->drawing_into].framebuffer);
    current = context;
    return true;
}

void delete_context(void* handle) {
    auto* context = static_cast<Context*>(handle);
    if (context == current) {
        current = nullptr;
    }
    egl::destroy_context(context->egl);
    delete context;
}

bool present(win32::Window&, void* handle) {
    auto* context = static_cast<Context*>(handle);
    const fbo::Framebuffer& target = context->targets[context->drawing_into];
    const std::int64_t index = capture::host::clock.frame;
    const std::int64_t show_time_ms = capture::host::clock.now_ms();
    if (!capture::host::drawing()) {
        // Not drawn, so nothing to read back; the frame before it goes first.
        if (!hand_over_pending() || !capture::host::sink->take_frame(index, show_time_ms, nullptr,
                                                                     target.width, target.height)) {
            capture::end(capture::End::sink_stopped, 0);
        }
        return true;
    }
    // Rasterising starts; meanwhile the frame before is read back from the other framebuffer,
    // and the next one is drawn into it.
    glFlush();
    if (!hand_over_pending()) {
        capture::end(capture::End::sink_stopped, 0);
    }
    pending = PendingFrame{true, context->drawing_into, index, show_time_ms};
    context->drawing_into = 1 - context->drawing_into;
    context->api.bind_framebuffer(GL_FRAMEBUFFER,
                                  context->targets[context->drawing_into].framebuffer);
    return true;
}

} // namespace backend
