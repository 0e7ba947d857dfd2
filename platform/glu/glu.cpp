// The GLU calls the program makes, for hosts without a GLU library (the browser). The quadrics
// emit the very normals and vertices of Debian's libGLU 9.0.2, in the same order and to the bit,
// so a picture does not depend on which of the two drew it. What decides the last bit: every
// angle is rounded to float and its sine and cosine are taken of that float in double; products
// of two tabled values are float products, products with a radius are formed in double.
#include "platform/gl.h"

#include <cmath>
#include <new>

// Only GLU's defaults exist here (filled, smooth normals, outward, no texture coordinates): the
// program never changes them, so a quadric needs no state.
class GLUquadric {
  public:
    int unused;
};

namespace {

const double PI = 3.14159265358979323846;
// libGLU's tables hold this many entries; more slices or stacks are drawn as this many less one.
const int CACHE_SIZE = 240;

// One ring of a tessellation: the sine and cosine of each slice's angle, with entry `slices`
// repeating the first, so that the ring closes on exactly the vertex it started from. Entries past
// that are 0 (libGLU leaves them unset; see gluSphere).
struct Ring {
    float sin[CACHE_SIZE];
    float cos[CACHE_SIZE];
};

// Slice i's angle, rounded to float: the sine and cosine are then taken of that float.
double slice_angle(int i, int slices) {
    return static_cast<float>(2 * PI * i / slices);
}

// The ring of `slices` slices (2 to CACHE_SIZE - 1). The show draws thousands of small spheres a
// frame with the same few numbers of slices, so each ring is worked out once and kept.
const Ring& ring_of(int slices) {
    static Ring rings[CACHE_SIZE];
    static bool made[CACHE_SIZE] = {};
    Ring& ring = rings[slices];
    if (!made[slices]) {
        ring = Ring{};
        for (int i = 0; i < slices; ++i) {
            const double angle = slice_angle(i, slices);
            ring.sin[i] = static_cast<float>(std::sin(angle));
            ring.cos[i] = static_cast<float>(std::cos(angle));
        }
        ring.sin[slices] = ring.sin[0];
        ring.cos[slices] = ring.cos[0];
        made[slices] = true;
    }
    return ring;
}

// A sphere's tables per stack: sin φ and cos φ for the normals, scaled by the radius for the
// vertices. Those of the last sphere drawn are kept, for the next one of the same size.
struct Stacks {
    double radius;
    int stacks;
    float sin_phi[CACHE_SIZE];
    float cos_phi[CACHE_SIZE];
    float ring_radius[CACHE_SIZE];
    float ring_z[CACHE_SIZE];
};

const Stacks& stacks_of(double radius, int stacks) {
    static Stacks last = {-1.0, 0, {}, {}, {}, {}};
    if (last.radius == radius && last.stacks == stacks) {
        return last;
    }
    last.radius = radius;
    last.stacks = stacks;
    for (int j = 0; j <= stacks; ++j) {
        const double angle = static_cast<float>(PI * j / stacks);
        last.sin_phi[j] = static_cast<float>(std::sin(angle));
        last.cos_phi[j] = static_cast<float>(std::cos(angle));
        last.ring_radius[j] = static_cast<float>(radius * std::sin(angle));
        last.ring_z[j] = static_cast<float>(radius * std::cos(angle));
    }
    // The poles sit exactly on the axis.
    last.ring_radius[0] = 0.0f;
    last.ring_radius[stacks] = 0.0f;
    return last;
}

} // namespace

extern "C" {

GLUquadric* APIENTRY gluNewQuadric() {
    return new (std::nothrow) GLUquadric{0};
}

void APIENTRY gluDeleteQuadric(GLUquadric* quadric) {
    delete quadric;
}

// Latitude φ runs from 0 at +z to π at -z in `stacks` steps, longitude θ from +y toward +x in
// `slices` steps: a point is r (sin θ sin φ, cos θ sin φ, cos φ). First the two polar caps as
// triangle fans, then the bands between them as quad strips, from the north down.
void APIENTRY gluSphere(GLUquadric*, GLdouble radius, GLint slices, GLint stacks) {
    if (slices >= CACHE_SIZE) {
        slices = CACHE_SIZE - 1;
    }
    if (stacks >= CACHE_SIZE) {
        stacks = CACHE_SIZE - 1;
    }
    if (slices < 2 || stacks < 1 || radius < 0.0) {
        return;
    }
    const Ring& ring = ring_of(slices);
    const Stacks& tables = stacks_of(radius, stacks);
    const float* sin_phi = tables.sin_phi;
    const float* cos_phi = tables.cos_phi;
    const float* ring_radius = tables.ring_radius;
    const float* ring_z = tables.ring_z;
    auto emit = [&](int i, int j) {
        glNormal3f(ring.sin[i] * sin_phi[j], ring.cos[i] * sin_phi[j], cos_phi[j]);
        glVertex3f(ring.sin[i] * ring_radius[j], ring.cos[i] * ring_radius[j], ring_z[j]);
    };

    // The north cap, wound from the last slice back to the first so that it faces outward.
    glNormal3f(ring.sin[0] * sin_phi[0], ring.cos[0] * sin_phi[0], cos_phi[0]);
    glBegin(GL_TRIANGLE_FAN);
    {
        glVertex3f(0.0f, 0.0f, ring_z[0]);
        for (int i = slices; i >= 0; --i) {
            emit(i, 1);
        }
    }
    glEnd();

    // The south pole's normal takes its longitude from ring entry `stacks`, as libGLU's does: the
    // first slice when stacks equals slices, as in every sphere the program draws. (With more
    // stacks than slices libGLU reads a table entry it never set.)
    glNormal3f(ring.sin[stacks] * sin_phi[stacks], ring.cos[stacks] * sin_phi[stacks],
               cos_phi[stacks]);
    glBegin(GL_TRIANGLE_FAN);
    {
        glVertex3f(0.0f, 0.0f, ring_z[stacks]);
        for (int i = 0; i <= slices; ++i) {
            emit(i, stacks - 1);
        }
    }
    glEnd();

    for (int j = 1; j < stacks - 1; ++j) {
        glBegin(GL_QUAD_STRIP);
        {
            for (int i = 0; i <= slices; ++i) {
                emit(i, j + 1);
                emit(i, j);
            }
        }
        glEnd();
    }
}

// A cone's side from radius `base` at z = 0 to `top` at z = height, one quad strip per stack,
// without caps. The normals lean along z by the slope, the same on every stack; the difference
// of the radii and the slant length are held in float.
void APIENTRY gluCylinder(GLUquadric*, GLdouble base, GLdouble top, GLdouble height, GLint slices,
                          GLint stacks) {
    if (slices >= CACHE_SIZE) {
        slices = CACHE_SIZE - 1;
    }
    if (slices < 2 || stacks < 1 || base < 0.0 || top < 0.0 || height < 0.0) {
        return;
    }
    const float delta_radius = static_cast<float>(base - top);
    const float length =
        static_cast<float>(std::sqrt(delta_radius * delta_radius + height * height));
    if (length == 0.0f) {
        return;
    }
    const float xy_normal_ratio = static_cast<float>(height / length);
    const float z_normal = static_cast<float>(delta_radius / length);
    const Ring& ring = ring_of(slices);
    // The normals' tables scale the sine in double, before it is rounded.
    float normal_x[CACHE_SIZE];
    float normal_y[CACHE_SIZE];
    for (int i = 0; i < slices; ++i) {
        const double angle = slice_angle(i, slices);
        normal_x[i] = static_cast<float>(xy_normal_ratio * std::sin(angle));
        normal_y[i] = static_cast<float>(xy_normal_ratio * std::cos(angle));
    }
    normal_x[slices] = normal_x[0];
    normal_y[slices] = normal_y[0];
    for (int j = 0; j < stacks; ++j) {
        const float z_low = static_cast<float>(j * height / stacks);
        const float z_high = static_cast<float>((j + 1) * height / stacks);
        const float radius_low = static_cast<float>(
            base - delta_radius * (static_cast<float>(j) / static_cast<float>(stacks)));
        const float radius_high = static_cast<float>(
            base - delta_radius * (static_cast<float>(j + 1) / static_cast<float>(stacks)));
        glBegin(GL_QUAD_STRIP);
        {
            for (int i = 0; i <= slices; ++i) {
                glNormal3f(normal_x[i], normal_y[i], z_normal);
                glVertex3f(radius_low * ring.sin[i], radius_low * ring.cos[i], z_low);
                glVertex3f(radius_high * ring.sin[i], radius_high * ring.cos[i], z_high);
            }
        }
        glEnd();
    }
}

// The projection for a vertical field of view of `fovy` degrees, multiplied onto the current
// matrix in double, as GLU does; nothing happens when the volume is degenerate.
void APIENTRY gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble z_near, GLdouble z_far) {
    const double radians = fovy / 2 * PI / 180;
    const double delta_z = z_far - z_near;
    const double sine = std::sin(radians);
    if (delta_z == 0 || sine == 0 || aspect == 0) {
        return;
    }
    const double cotangent = std::cos(radians) / sine;
    GLdouble m[16] = {};
    m[0] = cotangent / aspect;
    m[5] = cotangent;
    m[10] = -(z_far + z_near) / delta_z;
    m[11] = -1;
    m[14] = -2 * z_near * z_far / delta_z;
    glMultMatrixd(m);
}

} // extern "C"
