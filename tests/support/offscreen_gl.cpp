#include "tests/support/offscreen_gl.h"

#include "platform/egl/surfaceless.h"
#include "platform/fbo/framebuffer.h"

namespace {

void* context = nullptr;
fbo::Api api;
fbo::Framebuffer framebuffer;

} // namespace

namespace offscreen_gl {

bool open(std::string* error) {
    context = egl::create_context(error);
    if (context == nullptr || !egl::make_current(context, error)) {
        close();
        return false;
    }
    // The show's 16-bit colour and 16-bit depth.
    if (!fbo::load(&api, egl::get_proc_address) ||
        !fbo::make(api, &framebuffer, WIDTH, HEIGHT, 16, 16)) {
        *error = "no RGB565 framebuffer object";
        close();
        return false;
    }
    glViewport(0, 0, WIDTH, HEIGHT);
    return true;
}

void close() {
    if (context != nullptr) {
        if (framebuffer.framebuffer != 0) {
            fbo::destroy(api, &framebuffer);
        }
        std::string ignored;
        egl::make_current(nullptr, &ignored);
        egl::destroy_context(context);
        context = nullptr;
    }
}

std::string renderer() {
    const GLubyte* name = glGetString(GL_RENDERER);
    return name != nullptr ? reinterpret_cast<const char*>(name) : "";
}

Bits bits() {
    // The bits of the bound framebuffer, as a compatibility context reports them.
    Bits result = {};
    glGetIntegerv(GL_RED_BITS, &result.red);
    glGetIntegerv(GL_GREEN_BITS, &result.green);
    glGetIntegerv(GL_BLUE_BITS, &result.blue);
    glGetIntegerv(GL_DEPTH_BITS, &result.depth);
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
