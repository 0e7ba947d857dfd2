// The stand-ins for the GLU calls the program makes, recorded by the GL recorder. Apart from the
// GL stand-ins, so that a test can link a real GLU in their place.
#include "tests/support/gl_recorder.h"

#include "platform/gl.h"

namespace {

using gl_recorder::record;

// Distinct addresses to hand out as quadrics; GLU's quadric type is opaque to the program.
char quadric_storage[16];
int quadrics_made = 0;

} // namespace

extern "C" {

void APIENTRY gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble z_near, GLdouble z_far) {
    if (!gl_recorder::recording) {
        return;
    }
    GlCall& call = record(GlOp::Perspective);
    call.d[0] = fovy;
    call.d[1] = aspect;
    call.d[2] = z_near;
    call.d[3] = z_far;
}

GLUquadric* APIENTRY gluNewQuadric() {
    void* quadric = &quadric_storage[quadrics_made++ % 16];
    if (gl_recorder::recording) {
        record(GlOp::NewQuadric).quadric = quadric;
    }
    return static_cast<GLUquadric*>(quadric);
}

void APIENTRY gluSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks) {
    if (!gl_recorder::recording) {
        return;
    }
    GlCall& call = record(GlOp::Sphere);
    call.quadric = quadric;
    call.d[0] = radius;
    call.i[0] = slices;
    call.i[1] = stacks;
}

void APIENTRY gluCylinder(GLUquadric* quadric, GLdouble base, GLdouble top, GLdouble height,
                          GLint slices, GLint stacks) {
    if (!gl_recorder::recording) {
        return;
    }
    GlCall& call = record(GlOp::Cylinder);
    call.quadric = quadric;
    call.d[0] = base;
    call.d[1] = top;
    call.d[2] = height;
    call.i[0] = slices;
    call.i[1] = stacks;
}

} // extern "C"
