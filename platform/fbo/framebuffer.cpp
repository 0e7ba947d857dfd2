#include "platform/fbo/framebuffer.h"

#include <algorithm>
#include <string>
#include <type_traits>

namespace {

// Names in the extension string are separated by spaces.
bool has_extension(const char* name) {
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return extensions != nullptr &&
           (" " + std::string(extensions) + " ").find(" " + std::string(name) + " ") !=
               std::string::npos;
}

void drain_gl_errors() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

GLuint make_renderbuffer(const fbo::Api& api, GLenum format, int width, int height) {
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

} // namespace

namespace fbo {

bool load(Api* api, void* (*get_proc_address)(const char*)) {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const bool core = version != nullptr && version[0] >= '3' && version[0] <= '9';
    if (!core && !has_extension("GL_ARB_framebuffer_object")) {
        return false;
    }
    const auto get = [get_proc_address](auto& function, const char* name) {
        function =
            reinterpret_cast<std::remove_reference_t<decltype(function)>>(get_proc_address(name));
        return function != nullptr;
    };
    return get(api->gen_framebuffers, "glGenFramebuffers") &&
           get(api->delete_framebuffers, "glDeleteFramebuffers") &&
           get(api->bind_framebuffer, "glBindFramebuffer") &&
           get(api->framebuffer_renderbuffer, "glFramebufferRenderbuffer") &&
           get(api->check_framebuffer_status, "glCheckFramebufferStatus") &&
           get(api->gen_renderbuffers, "glGenRenderbuffers") &&
           get(api->delete_renderbuffers, "glDeleteRenderbuffers") &&
           get(api->bind_renderbuffer, "glBindRenderbuffer") &&
           get(api->renderbuffer_storage, "glRenderbufferStorage") &&
           get(api->blit_framebuffer, "glBlitFramebuffer");
}

bool make(const Api& api, Framebuffer* out, int width, int height, int colour_bits,
          int depth_bits) {
    Framebuffer& made = *out;
    width = std::max(width, 1);
    height = std::max(height, 1);
    const GLenum colour_formats_16[] = {GL_RGB565, GL_RGB5, GL_RGBA8};
    const GLenum colour_formats_32[] = {GL_RGBA8};
    const bool colour_16 = colour_bits <= 16;
    const GLenum* colour_formats = colour_16 ? colour_formats_16 : colour_formats_32;
    const int colour_format_count = colour_16 ? 3 : 1;
    GLenum depth_format = 0;
    if (depth_bits > 0) {
        depth_format = depth_bits <= 16 ? GL_DEPTH_COMPONENT16 : GL_DEPTH_COMPONENT24;
    }

    drain_gl_errors();
    for (int i = 0; i < colour_format_count; ++i) {
        made.colour_buffer = make_renderbuffer(api, colour_formats[i], width, height);
        if (made.colour_buffer == 0) {
            continue;
        }
        made.colour_format = colour_formats[i];
        made.depth_buffer =
            depth_format != 0 ? make_renderbuffer(api, depth_format, width, height) : 0;
        api.gen_framebuffers(1, &made.framebuffer);
        api.bind_framebuffer(GL_FRAMEBUFFER, made.framebuffer);
        api.framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                     made.colour_buffer);
        if (made.depth_buffer != 0) {
            api.framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                         made.depth_buffer);
        }
        if (api.check_framebuffer_status(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE &&
            (depth_format == 0 || made.depth_buffer != 0)) {
            made.width = width;
            made.height = height;
            return true;
        }
        destroy(api, out);
        drain_gl_errors();
    }
    return false;
}

void destroy(const Api& api, Framebuffer* framebuffer) {
    if (framebuffer->framebuffer != 0) {
        api.bind_framebuffer(GL_FRAMEBUFFER, 0);
        api.delete_framebuffers(1, &framebuffer->framebuffer);
        api.delete_renderbuffers(1, &framebuffer->colour_buffer);
        if (framebuffer->depth_buffer != 0) {
            api.delete_renderbuffers(1, &framebuffer->depth_buffer);
        }
    }
    *framebuffer = Framebuffer{};
}

} // namespace fbo
