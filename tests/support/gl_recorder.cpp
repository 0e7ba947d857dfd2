#include "tests/support/gl_recorder.h"

#include "platform/gl.h"

namespace gl_recorder {

std::vector<GlCall> calls;
std::vector<std::vector<double>> matrices;
bool recording = true;
int matrix_depth = 0;
int min_matrix_depth = 0;

void reset() {
    calls.clear();
    matrices.clear();
    recording = true;
    matrix_depth = 0;
    min_matrix_depth = 0;
}

std::vector<GlCall> of(GlOp op) {
    std::vector<GlCall> result;
    for (const GlCall& call : calls) {
        if (call.op == op) {
            result.push_back(call);
        }
    }
    return result;
}

std::size_t count(GlOp op) {
    std::size_t n = 0;
    for (const GlCall& call : calls) {
        n += call.op == op ? 1 : 0;
    }
    return n;
}

const char* name(GlOp op) {
    static const char* const names[] = {
        "glBegin",       "glEnd",        "glVertex3f",  "glColor3f",      "glTranslatef",
        "glRotatef",     "glPushMatrix", "glPopMatrix", "glLoadIdentity", "glClear",
        "glClearColor",  "glClearDepth", "glViewport",  "glMatrixMode",   "glShadeModel",
        "glEnable",      "glDisable",    "glDepthFunc", "glHint",         "gluPerspective",
        "gluNewQuadric", "gluSphere",    "gluCylinder", "glNormal3f",     "glMultMatrixd",
    };
    return names[static_cast<int>(op)];
}

GlCall& record(GlOp op) {
    calls.push_back(GlCall{op, {}, {}, {}, nullptr});
    return calls.back();
}

} // namespace gl_recorder

namespace {

using gl_recorder::record;

void record_floats(GlOp op, float a = 0, float b = 0, float c = 0, float d = 0) {
    if (!gl_recorder::recording) {
        return;
    }
    GlCall& call = record(op);
    call.f[0] = a;
    call.f[1] = b;
    call.f[2] = c;
    call.f[3] = d;
}

void record_ints(GlOp op, std::int64_t a = 0, std::int64_t b = 0, std::int64_t c = 0,
                 std::int64_t d = 0) {
    if (!gl_recorder::recording) {
        return;
    }
    GlCall& call = record(op);
    call.i[0] = a;
    call.i[1] = b;
    call.i[2] = c;
    call.i[3] = d;
}

} // namespace

extern "C" {

void APIENTRY glBegin(GLenum mode) {
    record_ints(GlOp::Begin, mode);
}

void APIENTRY glEnd() {
    record_ints(GlOp::End);
}

void APIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    record_floats(GlOp::Vertex3f, x, y, z);
}

void APIENTRY glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    record_floats(GlOp::Normal3f, x, y, z);
}

void APIENTRY glMultMatrixd(const GLdouble* m) {
    if (gl_recorder::recording) {
        record(GlOp::MultMatrixd).i[0] = static_cast<std::int64_t>(gl_recorder::matrices.size());
        gl_recorder::matrices.emplace_back(m, m + 16);
    }
}

void APIENTRY glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    record_floats(GlOp::Color3f, r, g, b);
}

void APIENTRY glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    record_floats(GlOp::Translatef, x, y, z);
}

void APIENTRY glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    record_floats(GlOp::Rotatef, angle, x, y, z);
}

void APIENTRY glPushMatrix() {
    ++gl_recorder::matrix_depth;
    record_ints(GlOp::PushMatrix);
}

void APIENTRY glPopMatrix() {
    --gl_recorder::matrix_depth;
    if (gl_recorder::matrix_depth < gl_recorder::min_matrix_depth) {
        gl_recorder::min_matrix_depth = gl_recorder::matrix_depth;
    }
    record_ints(GlOp::PopMatrix);
}

void APIENTRY glLoadIdentity() {
    record_ints(GlOp::LoadIdentity);
}

void APIENTRY glClear(GLbitfield mask) {
    record_ints(GlOp::Clear, mask);
}

void APIENTRY glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) {
    record_floats(GlOp::ClearColor, r, g, b, a);
}

void APIENTRY glClearDepth(GLclampd depth) {
    if (gl_recorder::recording) {
        record(GlOp::ClearDepth).d[0] = depth;
    }
}

void APIENTRY glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    record_ints(GlOp::Viewport, x, y, width, height);
}

void APIENTRY glMatrixMode(GLenum mode) {
    record_ints(GlOp::MatrixMode, mode);
}

void APIENTRY glShadeModel(GLenum mode) {
    record_ints(GlOp::ShadeModel, mode);
}

void APIENTRY glEnable(GLenum cap) {
    record_ints(GlOp::Enable, cap);
}

void APIENTRY glDisable(GLenum cap) {
    record_ints(GlOp::Disable, cap);
}

void APIENTRY glDepthFunc(GLenum func) {
    record_ints(GlOp::DepthFunc, func);
}

void APIENTRY glHint(GLenum target, GLenum mode) {
    record_ints(GlOp::Hint, target, mode);
}

} // extern "C"
