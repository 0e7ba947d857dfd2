// Our GLU tessellates every sphere and cylinder the program draws, and its projection, into the
// very GL calls Debian's libGLU 9.0.2 makes: the same primitives, normals and vertices, equal to
// the bit.
#include "tests/support/gl_recorder.h"

#include "platform/gl.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

// libGLU's own entry points, looked up in the library itself rather than by name in the
// program, where the names are ours.
struct LibGlu {
    void* library = nullptr;
    GLUquadric* (*new_quadric)() = nullptr;
    void (*delete_quadric)(GLUquadric*) = nullptr;
    void (*sphere)(GLUquadric*, GLdouble, GLint, GLint) = nullptr;
    void (*cylinder)(GLUquadric*, GLdouble, GLdouble, GLdouble, GLint, GLint) = nullptr;
    void (*perspective)(GLdouble, GLdouble, GLdouble, GLdouble) = nullptr;
};

template <typename Function> void find(void* library, Function* function, const char* name) {
    *function = reinterpret_cast<Function>(dlsym(library, name));
}

const LibGlu& lib_glu() {
    static LibGlu glu = [] {
        LibGlu loaded;
        loaded.library = dlopen("libGLU.so.1", RTLD_NOW | RTLD_LOCAL);
        if (loaded.library != nullptr) {
            find(loaded.library, &loaded.new_quadric, "gluNewQuadric");
            find(loaded.library, &loaded.delete_quadric, "gluDeleteQuadric");
            find(loaded.library, &loaded.sphere, "gluSphere");
            find(loaded.library, &loaded.cylinder, "gluCylinder");
            find(loaded.library, &loaded.perspective, "gluPerspective");
        }
        return loaded;
    }();
    return glu;
}

struct Recording {
    std::vector<GlCall> calls;
    std::vector<std::vector<double>> matrices;
};

Recording record(const std::function<void()>& draw) {
    gl_recorder::reset();
    draw();
    Recording recording{gl_recorder::calls, gl_recorder::matrices};
    gl_recorder::reset();
    return recording;
}

std::string describe(const GlCall& call) {
    char text[160];
    std::snprintf(text, sizeof text, "%s(%a, %a, %a; %lld)", gl_recorder::name(call.op),
                  static_cast<double>(call.f[0]), static_cast<double>(call.f[1]),
                  static_cast<double>(call.f[2]), static_cast<long long>(call.i[0]));
    return text;
}

// Equal to the bit: op, every float, double and integer argument, every matrix.
void expect_same_calls(const Recording& theirs, const Recording& ours) {
    ASSERT_EQ(theirs.calls.size(), ours.calls.size());
    for (std::size_t n = 0; n < theirs.calls.size(); ++n) {
        const GlCall& a = theirs.calls[n];
        const GlCall& b = ours.calls[n];
        const bool same = a.op == b.op && std::memcmp(a.f, b.f, sizeof a.f) == 0 &&
                          std::memcmp(a.d, b.d, sizeof a.d) == 0 &&
                          std::memcmp(a.i, b.i, sizeof a.i) == 0;
        ASSERT_TRUE(same) << "call " << n << ": libGLU " << describe(a) << ", ours " << describe(b);
    }
    ASSERT_EQ(theirs.matrices.size(), ours.matrices.size());
    for (std::size_t n = 0; n < theirs.matrices.size(); ++n) {
        EXPECT_EQ(
            0, std::memcmp(theirs.matrices[n].data(), ours.matrices[n].data(), 16 * sizeof(double)))
            << "matrix " << n;
    }
}

class GluTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const LibGlu& glu = lib_glu();
        ASSERT_NE(glu.library, nullptr) << "libGLU.so.1: " << dlerror();
        ASSERT_NE(glu.sphere, nullptr);
        ASSERT_NE(glu.cylinder, nullptr);
        ASSERT_NE(glu.perspective, nullptr);
        ASSERT_NE(glu.delete_quadric, nullptr);
        ASSERT_NE(glu.new_quadric, nullptr);
        their_quadric = glu.new_quadric();
        our_quadric = gluNewQuadric();
    }
    void TearDown() override {
        // SetUp may have stopped at any of its checks.
        const LibGlu& glu = lib_glu();
        if (their_quadric != nullptr && glu.delete_quadric != nullptr) {
            glu.delete_quadric(their_quadric);
        }
        gluDeleteQuadric(our_quadric);
    }
    GLUquadric* their_quadric = nullptr;
    GLUquadric* our_quadric = nullptr;
};

struct SphereCall {
    double radius;
    int slices;
    int stacks;
};

struct CylinderCall {
    double base;
    double top;
    double height;
    int slices;
    int stacks;
};

// The spheres of the banners, the fountain and the orbit's spiral.
const SphereCall show_spheres[] = {{0.8, 8, 8}, {0.2, 4, 4}, {0.5, 4, 4}};
// The orbit's tube and ring, the falling scene's pole.
const CylinderCall show_cylinders[] = {
    {16.0, 16.0, 18.0, 60, 60}, {17.0, 17.0, 3.0, 60, 60}, {3.0, 3.0, 90.0, 60, 60}};

// Each sphere twice, in one order and back: tables kept from one sphere for the next must be
// those of the sphere drawn (two of them share their stacks and slices, not their radius).
TEST_F(GluTest, SpheresOfTheShowMatchLibGlu) {
    std::vector<SphereCall> calls(std::begin(show_spheres), std::end(show_spheres));
    calls.insert(calls.end(), std::rbegin(show_spheres), std::rend(show_spheres));
    for (const SphereCall& s : calls) {
        SCOPED_TRACE(testing::Message()
                     << "gluSphere " << s.radius << ", " << s.slices << ", " << s.stacks);
        const Recording theirs =
            record([&] { lib_glu().sphere(their_quadric, s.radius, s.slices, s.stacks); });
        const Recording ours =
            record([&] { gluSphere(our_quadric, s.radius, s.slices, s.stacks); });
        // Two fans and a strip per inner band, slices + 1 steps round each, each a normal and a
        // vertex: proof that libGLU's calls reached the recorder.
        const std::size_t vertices = 2 * (s.slices + 2) + 2 * (s.slices + 1) * (s.stacks - 2);
        ASSERT_EQ(vertices, std::count_if(theirs.calls.begin(), theirs.calls.end(),
                                          [](const GlCall& c) { return c.op == GlOp::Vertex3f; }));
        expect_same_calls(theirs, ours);
    }
}

TEST_F(GluTest, CylindersOfTheShowMatchLibGlu) {
    for (const CylinderCall& c : show_cylinders) {
        SCOPED_TRACE(testing::Message() << "gluCylinder " << c.base << ", " << c.top << ", "
                                        << c.height << ", " << c.slices << ", " << c.stacks);
        const Recording theirs = record([&] {
            lib_glu().cylinder(their_quadric, c.base, c.top, c.height, c.slices, c.stacks);
        });
        const Recording ours =
            record([&] { gluCylinder(our_quadric, c.base, c.top, c.height, c.slices, c.stacks); });
        const std::size_t vertices = 2 * static_cast<std::size_t>(c.slices + 1) * c.stacks;
        ASSERT_EQ(vertices, std::count_if(theirs.calls.begin(), theirs.calls.end(),
                                          [](const GlCall& k) { return k.op == GlOp::Vertex3f; }));
        expect_same_calls(theirs, ours);
    }
}

// The projection of a 640 x 480 window, and of a minimised one (height taken as 1), with the
// near plane given as a float widened to double.
TEST_F(GluTest, PerspectiveMatchesLibGlu) {
    const double near_plane = static_cast<double>(0.1f);
    for (const double aspect : {640.0 / 480.0, 640.0 / 1.0}) {
        SCOPED_TRACE(testing::Message() << "aspect " << aspect);
        const Recording theirs =
            record([&] { lib_glu().perspective(45.0, aspect, near_plane, 500.0); });
        const Recording ours = record([&] { gluPerspective(45.0, aspect, near_plane, 500.0); });
        ASSERT_EQ(1u, theirs.matrices.size());
        expect_same_calls(theirs, ours);
    }
}

} // namespace
