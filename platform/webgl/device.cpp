#include "platform/webgl/device.h"

#include "platform/webgl/gles.h"

#include <cmath>
#include <cstddef>

namespace webgl::device {

namespace {

const Gles* gl = nullptr;
int picture_width = 0;
int picture_height = 0;
GLint picture_viewport[4] = {0, 0, 0, 0};
GLuint framebuffer = 0;
GLuint colour_texture = 0;
GLuint depth_texture = 0;
GLuint draw_program = 0;
GLuint present_program = 0;
GLuint batch_vertex_array = 0;
GLuint buffers[2] = {0, 0}; // vertices, indices

const GLuint POSITION = 0;
const GLuint COLOUR = 1;

// Clip coordinates come transformed; the colour is the same at every vertex of a primitive, in
// 8 bits a channel. The fragment's colour is brought to the level that Mesa's 16-bit colour would
// hold (see clear_level below).
const char* const draw_vertex_shader = R"(#version 100
attribute vec4 position;
attribute vec4 colour;
varying vec4 fragment_colour;
void main() {
    gl_Position = position;
    fragment_colour = colour;
}
)";

const char* const draw_fragment_shader = R"(#version 100
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
varying vec4 fragment_colour;
void main() {
    vec3 byte = floor(fragment_colour.rgb * 255.0 + 0.5);
    vec3 level = floor(byte / vec3(8.0, 4.0, 8.0));
    gl_FragColor = vec4(level / vec3(31.0, 63.0, 31.0), 1.0);
}
)";

// The finished picture over the whole viewport, each screen pixel the nearest picture pixel:
// two triangles made from the vertex number alone, so no buffer is needed.
const char* const present_vertex_shader = R"(#version 300 es
out vec2 picture_position;
void main() {
    vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
    picture_position = corner;
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";

const char* const present_fragment_shader = R"(#version 300 es
precision highp float;
uniform sampler2D picture;
in vec2 picture_position;
out vec4 colour;
void main() {
    colour = texture(picture, picture_position);
}
)";

// 16-bit colour as Mesa writes it. A pixel drawn: the channel rounded to 8 bits, then the low
// bits dropped (3 of red and blue, 2 of green), which the fragment shader does; rounding straight
// to 5 or 6 bits would sometimes give one step more. A clear: rounded straight to 5 or 6 bits.
// Either way the ES side is handed an exact level, so the picture does not depend on how a
// browser rounds.
float clear_level(float value, int bits) {
    const float clamped = value < 0.0f ? 0.0f : value > 1.0f ? 1.0f : value;
    const float top = static_cast<float>((1u << bits) - 1);
    return std::floor(clamped * top + 0.5f) / top;
}

GLuint compile(GLenum type, const char* source, std::string* error) {
    const GLuint shader = gl->CreateShader(type);
    gl->ShaderSource(shader, 1, &source, nullptr);
    gl->CompileShader(shader);
    GLint compiled = GL_FALSE;
    gl->GetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        char log[512] = "";
        gl->GetShaderInfoLog(shader, sizeof log, nullptr, log);
        *error = std::string("a shader does not compile: ") + log;
        gl->DeleteShader(shader);
        return 0;
    }
    return shader;
}

// A program of two shaders; the attributes, if any, at the locations the batch uses.
GLuint link(const char* vertex_source, const char* fragment_source, std::string* error) {
    const GLuint vertex = compile(GL_VERTEX_SHADER, vertex_source, error);
    const GLuint fragment = vertex != 0 ? compile(GL_FRAGMENT_SHADER, fragment_source, error) : 0;
    if (fragment == 0) {
        if (vertex != 0) {
            gl->DeleteShader(vertex);
        }
        return 0;
    }
    const GLuint program = gl->CreateProgram();
    gl->AttachShader(program, vertex);
    gl->AttachShader(program, fragment);
    gl->BindAttribLocation(program, POSITION, "position");
    gl->BindAttribLocation(program, COLOUR, "colour");
    gl->LinkProgram(program);
    gl->DeleteShader(vertex);
    gl->DeleteShader(fragment);
    GLint linked = GL_FALSE;
    gl->GetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        char log[512] = "";
        gl->GetProgramInfoLog(program, sizeof log, nullptr, log);
        *error = std::string("the shaders do not link: ") + log;
        gl->DeleteProgram(program);
        return 0;
    }
    return program;
}

// The picture's colour is a texture, so that present() can draw it scaled; RGB565 is a colour
// format every ES 3 implementation can render to. The depth is a texture too: a browser may store
// a DEPTH_COMPONENT16 renderbuffer with 24 bits (Firefox does), which changes which of two
// coinciding faces shows, while a DEPTH_COMPONENT16 texture holds 16 bits in every browser.
bool make_framebuffer(std::string* error) {
    gl->GenTextures(1, &colour_texture);
    gl->BindTexture(GL_TEXTURE_2D, colour_texture);
    gl->TexStorage2D(GL_TEXTURE_2D, 1, GL_RGB565, picture_width, picture_height);
    gl->TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gl->TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    gl->TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl->TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    gl->GenTextures(1, &depth_texture);
    gl->BindTexture(GL_TEXTURE_2D, depth_texture);
    gl->TexStorage2D(GL_TEXTURE_2D, 1, GL_DEPTH_COMPONENT16, picture_width, picture_height);
    gl->BindTexture(GL_TEXTURE_2D, colour_texture);
    gl->GenFramebuffers(1, &framebuffer);
    gl->BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl->FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour_texture,
                             0);
    gl->FramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depth_texture, 0);
    if (gl->CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        *error = "no framebuffer with 16-bit colour and depth";
        return false;
    }
    return true;
}

void make_buffers() {
    gl->GenVertexArrays(1, &batch_vertex_array);
    gl->BindVertexArray(batch_vertex_array);
    gl->GenBuffers(2, buffers);
    gl->BindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    gl->BindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    gl->EnableVertexAttribArray(POSITION);
    gl->VertexAttribPointer(POSITION, 4, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                            reinterpret_cast<const void*>(offsetof(Vertex, x)));
    gl->EnableVertexAttribArray(COLOUR);
    gl->VertexAttribPointer(COLOUR, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex),
                            reinterpret_cast<const void*>(offsetof(Vertex, r)));
}

// 5 or 6 bits widened to 8 by repeating the top bits.
std::uint8_t widen(unsigned value, int bits) {
    return static_cast<std::uint8_t>(value << (8 - bits) | value >> (2 * bits - 8));
}

// An 8-bit reading of a 5- or 6-bit value back to that value: exact however the reader widened
// it, since every widening stays within one step of value × 255 / (2^bits − 1).
unsigned narrow(unsigned value, int bits) {
    const unsigned top = (1u << bits) - 1;
    return (value * top + 127) / 255;
}

} // namespace

bool open(const Gles& gles, int width, int height, std::string* error) {
    gl = &gles;
    picture_width = width;
    picture_height = height;
    draw_program = link(draw_vertex_shader, draw_fragment_shader, error);
    present_program =
        draw_program != 0 ? link(present_vertex_shader, present_fragment_shader, error) : 0;
    if (present_program == 0 || !make_framebuffer(error)) {
        close();
        return false;
    }
    make_buffers();
    gl->UseProgram(draw_program);
    // GL 1.1 on a 16-bit desktop dithers by default; the program's pictures are compared
    // undithered.
    gl->Disable(GL_DITHER);
    return true;
}

void close() {
    if (gl == nullptr) {
        return;
    }
    gl->BindFramebuffer(GL_FRAMEBUFFER, 0);
    gl->BindVertexArray(0);
    gl->DeleteFramebuffers(1, &framebuffer);
    gl->DeleteTextures(1, &colour_texture);
    gl->DeleteTextures(1, &depth_texture);
    gl->DeleteBuffers(2, buffers);
    gl->DeleteVertexArrays(1, &batch_vertex_array);
    gl->DeleteProgram(draw_program);
    gl->DeleteProgram(present_program);
    framebuffer = colour_texture = depth_texture = 0;
    buffers[0] = buffers[1] = 0;
    batch_vertex_array = draw_program = present_program = 0;
    gl = nullptr;
}

bool is_open() {
    return gl != nullptr;
}

void draw(const Vertex* vertices, int vertex_count, const std::uint16_t* indices, int index_count) {
    gl->BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertex_count * sizeof(Vertex)),
                   vertices, GL_STREAM_DRAW);
    gl->BufferData(GL_ELEMENT_ARRAY_BUFFER,
                   static_cast<GLsizeiptr>(index_count * sizeof(std::uint16_t)), indices,
                   GL_STREAM_DRAW);
    gl->DrawElements(GL_TRIANGLES, index_count, GL_UNSIGNED_SHORT, nullptr);
}

void clear(unsigned mask, const float colour[4], float depth) {
    gl->ClearColor(clear_level(colour[0], 5), clear_level(colour[1], 6), clear_level(colour[2], 5),
                   colour[3]);
    gl->ClearDepthf(depth);
    gl->Clear(mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT));
}

void set_viewport(int x, int y, int width, int height) {
    picture_viewport[0] = x;
    picture_viewport[1] = y;
    picture_viewport[2] = width;
    picture_viewport[3] = height;
    gl->Viewport(x, y, width, height);
}

void set_depth_test(bool on, unsigned function) {
    if (on) {
        gl->Enable(GL_DEPTH_TEST);
    } else {
        gl->Disable(GL_DEPTH_TEST);
    }
    gl->DepthFunc(function);
}

// Drawing the texture costs SwiftShader about a third of what a blit from the RGB565
// framebuffer to the canvas does.
void present(int surface_height, int x, int y, int width, int height) {
    gl->BindFramebuffer(GL_FRAMEBUFFER, 0);
    gl->ClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    gl->Clear(GL_COLOR_BUFFER_BIT);
    // GL counts rows from the bottom.
    gl->Viewport(x, surface_height - y - height, width, height);
    gl->UseProgram(present_program);
    gl->BindVertexArray(0);
    gl->BindTexture(GL_TEXTURE_2D, colour_texture);
    gl->DrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    gl->BindVertexArray(batch_vertex_array);
    gl->UseProgram(draw_program);
    gl->BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl->Viewport(picture_viewport[0], picture_viewport[1], picture_viewport[2],
                 picture_viewport[3]);
}

std::vector<std::uint8_t> read_rgb() {
    const std::size_t pixels = static_cast<std::size_t>(picture_width) * picture_height;
    std::vector<std::uint8_t> rgb(pixels * 3);
    gl->BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl->PixelStorei(GL_PACK_ALIGNMENT, 1);
    GLint format = 0;
    GLint type = 0;
    gl->GetIntegerv(GL_IMPLEMENTATION_COLOR_READ_FORMAT, &format);
    gl->GetIntegerv(GL_IMPLEMENTATION_COLOR_READ_TYPE, &type);
    std::vector<std::uint16_t> packed(pixels);
    if (format == GL_RGB && type == GL_UNSIGNED_SHORT_5_6_5) {
        gl->ReadPixels(0, 0, picture_width, picture_height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
                       packed.data());
    } else {
        std::vector<std::uint8_t> rgba(pixels * 4);
        gl->ReadPixels(0, 0, picture_width, picture_height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        for (std::size_t i = 0; i < pixels; ++i) {
            packed[i] = static_cast<std::uint16_t>(narrow(rgba[4 * i], 5) << 11 |
                                                   narrow(rgba[4 * i + 1], 6) << 5 |
                                                   narrow(rgba[4 * i + 2], 5));
        }
    }
    for (int row = 0; row < picture_height; ++row) {
        const std::uint16_t* in = &packed[static_cast<std::size_t>(row) * picture_width];
        std::uint8_t* out =
            &rgb[static_cast<std::size_t>(picture_height - 1 - row) * picture_width * 3];
        for (int column = 0; column < picture_width; ++column) {
            const unsigned pixel = in[column];
            out[3 * column] = widen(pixel >> 11, 5);
            out[3 * column + 1] = widen(pixel >> 5 & 0x3F, 6);
            out[3 * column + 2] = widen(pixel & 0x1F, 5);
        }
    }
    return rgb;
}

} // namespace webgl::device
