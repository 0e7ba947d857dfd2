// The gate itself. The executable defines the GL and GLU entry points the program draws with, and
// a definition in the executable takes precedence over libOpenGL's and libGLU's: every such call
// of the program (and of libGLU) comes here first, and goes straight on to the real entry point,
// found behind this one with dlsym(RTLD_NEXT), unless the gate is shut.
//
// Shut, it drops what only paints the framebuffer, which the next drawn frame clears in full:
// - glClear, and glBegin, glVertex3f and glEnd, the program's own primitives;
// - gluSphere and gluCylinder whole, their trigonometry included. They would leave the current
//   normal at the last one they sent, but the show draws without lighting: no normal reaches a
//   pixel.
// Everything else still reaches GL, above all the state a frame hands on to the next: the current
// colour (glColor3f, which carries over between frames), the clear colour (each frame clears with
// the colour the one before chose), the matrices and the viewport. A drawing call the program may
// one day make that is missing here is not dropped: seeking costs more, the frames stay right.
#include "platform/headless/gl_gate.h"

#include "platform/gl.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

namespace {

bool gate_open = true;

template <typename Function> Function next_definition(const char* name) {
    void* found = dlsym(RTLD_NEXT, name);
    if (found == nullptr) {
        // The executable is linked to both libraries, so this cannot happen short of a broken
        // installation; there is nothing to draw with.
        std::fprintf(stderr, "solid-objects-capture: no %s in the GL libraries\n", name);
        std::_Exit(1);
    }
    return reinterpret_cast<Function>(found);
}

// Looked up once, before main, so that each call costs a test and a jump.
struct EntryPoints {
    decltype(&glClear) clear = next_definition<decltype(&glClear)>("glClear");
    decltype(&glBegin) begin = next_definition<decltype(&glBegin)>("glBegin");
    decltype(&glVertex3f) vertex3f = next_definition<decltype(&glVertex3f)>("glVertex3f");
    decltype(&glEnd) end = next_definition<decltype(&glEnd)>("glEnd");
    decltype(&gluSphere) sphere = next_definition<decltype(&gluSphere)>("gluSphere");
    decltype(&gluCylinder) cylinder = next_definition<decltype(&gluCylinder)>("gluCylinder");
};

const EntryPoints real;

} // namespace

namespace capture::host {

void set_drawing(bool drawing) {
    gate_open = drawing;
}

bool drawing() {
    return gate_open;
}

} // namespace capture::host

void GLAPIENTRY glClear(GLbitfield mask) {
    if (gate_open) {
        real.clear(mask);
    }
}

void GLAPIENTRY glBegin(GLenum mode) {
    if (gate_open) {
        real.begin(mode);
    }
}

void GLAPIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (gate_open) {
        real.vertex3f(x, y, z);
    }
}

void GLAPIENTRY glEnd() {
    if (gate_open) {
        real.end();
    }
}

void GLAPIENTRY gluSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks) {
    if (gate_open) {
        real.sphere(quadric, radius, slices, stacks);
    }
}

void GLAPIENTRY gluCylinder(GLUquadric* quadric, GLdouble base, GLdouble top, GLdouble height,
                            GLint slices, GLint stacks) {
    if (gate_open) {
        real.cylinder(quadric, base, top, height, slices, stacks);
    }
}
