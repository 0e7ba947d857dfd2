// The GL 1.1 entry points the program calls, over the ES device. Fixed-function GL's vertex
// path is done here on the processor: each vertex is multiplied by projection × model-view in
// float as it arrives, and the primitives become indexed triangles in one growing batch, drawn
// only when it is full, when state that changes the drawing changes (clear, depth test,
// viewport), or at the end of the frame. So a frame of thousands of glBegin/glEnd blocks costs a
// handful of draws.
#include "platform/gl.h"

#include "platform/webgl/device.h"
#include "platform/webgl/matrix.h"
#include "platform/webgl/webgl.h"

#include <cstdint>
#include <vector>

namespace {

using webgl::Matrix;
using webgl::Vertex;

// The stack depths fixed-function GL guarantees.
const int MODELVIEW_DEPTH = 32;
const int PROJECTION_DEPTH = 2;
// 16-bit indices reach this many vertices.
const std::size_t BATCH_VERTICES = 65536;

struct MatrixStack {
    Matrix levels[MODELVIEW_DEPTH];
    int top;
    int depth;
};

MatrixStack modelview = {{webgl::identity_matrix()}, 0, MODELVIEW_DEPTH};
MatrixStack projection = {{webgl::identity_matrix()}, 0, PROJECTION_DEPTH};
MatrixStack* current_stack = &modelview;
// projection × model-view, worked out again at the first vertex after either changes.
Matrix vertex_transform = webgl::identity_matrix();
bool vertex_transform_stale = true;

// GL's initial state.
std::uint8_t current_colour[4] = {255, 255, 255, 255};
float clear_colour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
float clear_depth = 1.0f;
bool depth_test = false;
GLenum depth_function = GL_LESS;
GLint viewport[4] = {0, 0, 0, 0};

bool drawing = true;
webgl::FrameStats frame_stats = {};
webgl::FrameStats finished_frame_stats = {};

// The batch: vertices, the triangles' indices into them, and per vertex the clip planes it lies
// outside of.
std::vector<Vertex> vertices;
std::vector<std::uint8_t> outside;
std::vector<std::uint16_t> indices;

// The primitive between glBegin and glEnd: its mode (0 when nothing is being drawn or the mode
// is one this subset leaves out), how many vertices it has had, and where in the batch its first
// and its last three vertices are, as its later triangles may still need them.
GLenum primitive_mode = 0;
bool inside_begin = false;
int primitive_vertices = 0;
std::uint16_t first_vertex = 0;
std::uint16_t recent[3] = {0, 0, 0}; // [0] the last vertex, [1] the one before, ...

// Only the vertices some triangle uses are sent, in the order the triangles first use them:
// most of a busy scene's vertices belong to triangles left out of the view.
std::vector<Vertex> sent_vertices;
std::vector<std::int32_t> sent_position;

void draw_batch() {
    if (!indices.empty() && drawing && webgl::device::is_open()) {
        sent_vertices.clear();
        sent_position.assign(vertices.size(), -1);
        for (std::uint16_t& index : indices) {
            if (sent_position[index] < 0) {
                sent_position[index] = static_cast<std::int32_t>(sent_vertices.size());
                sent_vertices.push_back(vertices[index]);
            }
            index = static_cast<std::uint16_t>(sent_position[index]);
        }
        webgl::device::draw(sent_vertices.data(), static_cast<int>(sent_vertices.size()),
                            indices.data(), static_cast<int>(indices.size()));
        ++frame_stats.draws;
        frame_stats.vertices_sent += static_cast<int>(sent_vertices.size());
    }
    vertices.clear();
    outside.clear();
    indices.clear();
}

// A batch full in the middle of a primitive goes on in a new batch that starts with the
// vertices the primitive's later triangles still use.
void start_new_batch_in_primitive() {
    Vertex kept[4];
    std::uint8_t kept_outside[4];
    const std::uint16_t from[4] = {first_vertex, recent[2], recent[1], recent[0]};
    for (int i = 0; i < 4; ++i) {
        kept[i] = vertices[from[i]];
        kept_outside[i] = outside[from[i]];
    }
    draw_batch();
    for (int i = 0; i < 4; ++i) {
        vertices.push_back(kept[i]);
        outside.push_back(kept_outside[i]);
    }
    first_vertex = 0;
    recent[2] = 1;
    recent[1] = 2;
    recent[0] = 3;
}

// A triangle that lies wholly beyond one clip plane would draw nothing: it is left out here.
void add_triangle(std::uint16_t a, std::uint16_t b, std::uint16_t c) {
    if ((outside[a] & outside[b] & outside[c]) != 0) {
        ++frame_stats.triangles_outside;
        return;
    }
    indices.push_back(a);
    indices.push_back(b);
    indices.push_back(c);
    ++frame_stats.triangles;
}

// A quad a, b, c, d (in GL's order around it) as two triangles, split along a-c.
void add_quad(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d) {
    add_triangle(a, b, c);
    add_triangle(a, c, d);
}

// The triangles the vertex just added completes, by GL's rules for each mode; n counts the
// primitive's vertices from 0. Each primitive is split into triangles, and each triangle's
// vertices ordered, as Mesa's fixed function does it: the depth across a triangle is
// interpolated from its vertices in that order, and where two coinciding faces of different
// colours meet (neighbouring cubes of a sprite) the last bit of depth decides which one shows.
void complete_primitive(int n) {
    switch (primitive_mode) {
    case GL_TRIANGLES:
        if (n % 3 == 2) {
            add_triangle(recent[2], recent[1], recent[0]);
        }
        break;
    case GL_TRIANGLE_STRIP:
        // Every other triangle is taken in reverse, so that all face the same way.
        if (n >= 2) {
            if (n % 2 == 0) {
                add_triangle(recent[2], recent[1], recent[0]);
            } else {
                add_triangle(recent[1], recent[2], recent[0]);
            }
        }
        break;
    case GL_TRIANGLE_FAN:
    case GL_POLYGON:
        if (n >= 2) {
            add_triangle(recent[1], recent[0], first_vertex);
        }
        break;
    case GL_QUADS:
        if (n % 4 == 3) {
            // recent[0] is the fourth vertex; the first is three back, beyond the ring.
            add_quad(static_cast<std::uint16_t>(recent[2] - 1), recent[2], recent[1], recent[0]);
        }
        break;
    case GL_QUAD_STRIP:
        // Vertices 0 1 3 2 make the first quad, 2 3 5 4 the next: split along 0-3.
        if (n >= 3 && n % 2 == 1) {
            const auto before = static_cast<std::uint16_t>(recent[2] - 1);
            add_triangle(recent[1], before, recent[0]);
            add_triangle(before, recent[2], recent[0]);
        }
        break;
    default:
        break;
    }
}

std::uint8_t colour_byte(GLfloat value) {
    if (!(value > 0.0f)) {
        return 0;
    }
    if (value >= 1.0f) {
        return 255;
    }
    // Rounded as Mesa rounds it, to the bit: a float sum, then truncation (value is positive).
    // NOLINTNEXTLINE(bugprone-incorrect-roundings)
    return static_cast<std::uint8_t>(value * 255.0f + 0.5f);
}

MatrixStack& stack_for_change() {
    vertex_transform_stale = true;
    return *current_stack;
}

void apply_state_to_device() {
    webgl::device::set_viewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    webgl::device::set_depth_test(depth_test, depth_function);
}

} // namespace

namespace webgl {

bool open(const Gles& gles, int width, int height, std::string* error) {
    if (!device::open(gles, width, height, error)) {
        return false;
    }
    vertices.reserve(BATCH_VERTICES);
    sent_vertices.reserve(BATCH_VERTICES);
    outside.reserve(BATCH_VERTICES);
    indices.reserve(BATCH_VERTICES * 3);
    apply_state_to_device();
    return true;
}

void close() {
    vertices.clear();
    outside.clear();
    indices.clear();
    device::close();
}

void end_frame() {
    draw_batch();
    finished_frame_stats = frame_stats;
    frame_stats = FrameStats{};
}

void present(int surface_height, int x, int y, int width, int height) {
    if (device::is_open()) {
        device::present(surface_height, x, y, width, height);
    }
}

std::vector<std::uint8_t> read_rgb() {
    return device::is_open() ? device::read_rgb() : std::vector<std::uint8_t>();
}

void set_drawing(bool on) {
    drawing = on;
}

FrameStats last_frame_stats() {
    return finished_frame_stats;
}

} // namespace webgl

extern "C" {

void APIENTRY glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (width < 0 || height < 0) {
        return;
    }
    draw_batch();
    viewport[0] = x;
    viewport[1] = y;
    viewport[2] = width;
    viewport[3] = height;
    if (webgl::device::is_open()) {
        webgl::device::set_viewport(x, y, width, height);
    }
}

void APIENTRY glMatrixMode(GLenum mode) {
    if (mode == GL_MODELVIEW) {
        current_stack = &modelview;
    } else if (mode == GL_PROJECTION) {
        current_stack = &projection;
    }
}

void APIENTRY glLoadIdentity() {
    MatrixStack& stack = stack_for_change();
    stack.levels[stack.top] = webgl::identity_matrix();
}

void APIENTRY glPushMatrix() {
    MatrixStack& stack = *current_stack;
    if (stack.top + 1 < stack.depth) {
        stack.levels[stack.top + 1] = stack.levels[stack.top];
        ++stack.top;
    }
}

void APIENTRY glPopMatrix() {
    MatrixStack& stack = stack_for_change();
    if (stack.top > 0) {
        --stack.top;
    }
}

void APIENTRY glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    MatrixStack& stack = stack_for_change();
    webgl::translate(stack.levels[stack.top], x, y, z);
}

void APIENTRY glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    MatrixStack& stack = stack_for_change();
    webgl::rotate(stack.levels[stack.top], angle, x, y, z);
}

// GL keeps matrices in float: a double matrix is rounded first.
void APIENTRY glMultMatrixd(const GLdouble* m) {
    Matrix factor;
    for (int i = 0; i < 16; ++i) {
        factor.m[i] = static_cast<float>(m[i]);
    }
    MatrixStack& stack = stack_for_change();
    stack.levels[stack.top] = webgl::multiply(stack.levels[stack.top], factor);
}

// Smooth shading is what the subset draws; without lighting a primitive of one colour looks the
// same either way.
void APIENTRY glShadeModel(GLenum) {}

void APIENTRY glHint(GLenum, GLenum) {}

void APIENTRY glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    const GLclampf values[4] = {red, green, blue, alpha};
    for (int i = 0; i < 4; ++i) {
        clear_colour[i] = values[i] < 0.0f ? 0.0f : values[i] > 1.0f ? 1.0f : values[i];
    }
}

void APIENTRY glClearDepth(GLclampd depth) {
    clear_depth = static_cast<float>(depth < 0.0 ? 0.0 : depth > 1.0 ? 1.0 : depth);
}

void APIENTRY glClear(GLbitfield mask) {
    if (inside_begin) {
        return;
    }
    draw_batch();
    if (drawing && webgl::device::is_open()) {
        webgl::device::clear(mask, clear_colour, clear_depth);
    }
}

void APIENTRY glEnable(GLenum capability) {
    if (capability == GL_DEPTH_TEST && !depth_test) {
        draw_batch();
        depth_test = true;
        if (webgl::device::is_open()) {
            apply_state_to_device();
        }
    }
}

void APIENTRY glDisable(GLenum capability) {
    if (capability == GL_DEPTH_TEST && depth_test) {
        draw_batch();
        depth_test = false;
        if (webgl::device::is_open()) {
            apply_state_to_device();
        }
    }
}

void APIENTRY glDepthFunc(GLenum function) {
    if (function < GL_NEVER || function > GL_ALWAYS || function == depth_function) {
        return;
    }
    draw_batch();
    depth_function = function;
    if (webgl::device::is_open()) {
        apply_state_to_device();
    }
}

void APIENTRY glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    current_colour[0] = colour_byte(red);
    current_colour[1] = colour_byte(green);
    current_colour[2] = colour_byte(blue);
    current_colour[3] = 255;
}

// Without lighting a normal changes nothing on the screen.
void APIENTRY glNormal3f(GLfloat, GLfloat, GLfloat) {}

void APIENTRY glBegin(GLenum mode) {
    if (inside_begin) {
        return;
    }
    inside_begin = true;
    primitive_vertices = 0;
    switch (mode) {
    case GL_TRIANGLES:
    case GL_TRIANGLE_STRIP:
    case GL_TRIANGLE_FAN:
    case GL_QUADS:
    case GL_QUAD_STRIP:
    case GL_POLYGON:
        primitive_mode = mode;
        break;
    default:
        // Points and lines: the program draws none.
        primitive_mode = 0;
        break;
    }
}

void APIENTRY glEnd() {
    inside_begin = false;
    primitive_mode = 0;
}

void APIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (primitive_mode == 0) {
        return;
    }
    if (vertex_transform_stale) {
        vertex_transform =
            webgl::multiply(projection.levels[projection.top], modelview.levels[modelview.top]);
        vertex_transform_stale = false;
    }
    if (vertices.size() == BATCH_VERTICES) {
        if (primitive_vertices == 0) {
            draw_batch();
        } else {
            start_new_batch_in_primitive();
        }
    }
    const float* m = vertex_transform.m;
    Vertex v;
    v.x = m[0] * x + m[4] * y + m[8] * z + m[12];
    v.y = m[1] * x + m[5] * y + m[9] * z + m[13];
    v.z = m[2] * x + m[6] * y + m[10] * z + m[14];
    v.w = m[3] * x + m[7] * y + m[11] * z + m[15];
    v.r = current_colour[0];
    v.g = current_colour[1];
    v.b = current_colour[2];
    v.a = current_colour[3];
    std::uint8_t planes = 0;
    planes |= v.x < -v.w ? 1 : 0;
    planes |= v.x > v.w ? 2 : 0;
    planes |= v.y < -v.w ? 4 : 0;
    planes |= v.y > v.w ? 8 : 0;
    planes |= v.z < -v.w ? 16 : 0;
    planes |= v.z > v.w ? 32 : 0;
    const auto position = static_cast<std::uint16_t>(vertices.size());
    vertices.push_back(v);
    outside.push_back(planes);
    if (primitive_vertices == 0) {
        first_vertex = position;
    }
    recent[2] = recent[1];
    recent[1] = recent[0];
    recent[0] = position;
    ++frame_stats.vertices;
    complete_primitive(primitive_vertices);
    ++primitive_vertices;
}

} // extern "C"
