// The two colour forms and the cube every voxel is drawn as.
#include "gfx/sprites.h"
#include "platform/gl.h"
#include "tests/support/gl_recorder.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

float channel(int k) {
    return static_cast<float>(k / 255.0);
}

TEST(Color, EveryStepOf255SurvivesTheRoundTrip) {
    for (int k = 0; k <= 255; ++k) {
        const PackedColor packed = static_cast<PackedColor>(k << 16 | (255 - k) << 8 | k);
        EXPECT_EQ(pack_color({channel(k), channel(255 - k), channel(k)}), packed) << k;

        ColorRgb back = {-1.0f, -1.0f, -1.0f};
        unpack_color(packed, 1.0f, &back);
        EXPECT_EQ(back.r, channel(k)) << k;
        EXPECT_EQ(back.g, channel(255 - k)) << k;
        EXPECT_EQ(back.b, channel(k)) << k;
    }
}

TEST(Color, PackingTruncatesTowardZero) {
    EXPECT_EQ(pack_color({1.0f, 1.0f, 1.0f}), 0xFFFFFFu);
    // 0.5 x 255 = 127.5 truncates to 127.
    EXPECT_EQ(pack_color({0.5f, 0.8f, 0.0f}), 0x7FCC00u);
    EXPECT_EQ(pack_color({0.64f, 0.5f, 0.0f}), 0xA37F00u);
    EXPECT_EQ(pack_color({0.25f, 0.9f, 0.0f}), 0x3FE500u);
    EXPECT_EQ(pack_color({0.0f, 0.0f, 0.0f}), 0u);
}

// Not reachable with the program's data, but a component outside 0..1 must not carry into the
// neighbouring channel or turn negative into a huge value.
TEST(Color, ComponentsOutsideTheRangeStayInTheirChannel) {
    EXPECT_EQ(pack_color({1.5f, -0.25f, 0.5f}), 0xFF007Fu);
    EXPECT_EQ(pack_color({-1.0f, 2.0f, -0.001f}), 0x00FF00u);
}

TEST(Color, UnpackingIgnoresTheTopByteAndScalesByBrightness) {
    ColorRgb plain = {};
    unpack_color(0xFF7F00u, 1.0f, &plain);
    EXPECT_EQ(plain.r, 1.0f);
    EXPECT_EQ(plain.g, channel(127));
    EXPECT_EQ(plain.b, 0.0f);

    ColorRgb high = {};
    unpack_color(0xA5FF7F00u, 1.0f, &high);
    EXPECT_EQ(high.r, plain.r);
    EXPECT_EQ(high.g, plain.g);
    EXPECT_EQ(high.b, plain.b);

    ColorRgb half = {};
    unpack_color(0x808080u, 0.5f, &half);
    const float expected = static_cast<float>(128.0 / 255.0 * 0.5);
    EXPECT_EQ(half.r, expected);
    EXPECT_EQ(half.g, expected);
    EXPECT_EQ(half.b, expected);
}

class Drawing : public ::testing::Test {
  protected:
    void SetUp() override {
        gl_recorder::reset();
    }
};

TEST_F(Drawing, ColourSettersHandTheFloatsToGl) {
    set_gl_color_packed(0xFF7F00u);
    set_gl_color({0.25f, 0.5f, 0.75f});
    const std::vector<GlCall> colors = gl_recorder::of(GlOp::Color3f);
    ASSERT_EQ(gl_recorder::calls.size(), 2u);
    ASSERT_EQ(colors.size(), 2u);
    EXPECT_EQ(colors[0].f[0], 1.0f);
    EXPECT_EQ(colors[0].f[1], channel(127));
    EXPECT_EQ(colors[0].f[2], 0.0f);
    EXPECT_EQ(colors[1].f[0], 0.25f);
    EXPECT_EQ(colors[1].f[1], 0.5f);
    EXPECT_EQ(colors[1].f[2], 0.75f);
}

typedef std::array<float, 3> Point;

Point vertex(const GlCall& call) {
    return {call.f[0], call.f[1], call.f[2]};
}

// The cube of cell (3, 2) at edge 0.5 spans (1.5, 1, 0) to (2, 1.5, 0.5): its colour, then one
// block of six quads, top, bottom, front, back, left, right, in their fixed vertex order.
TEST_F(Drawing, VoxelIsOneColouredBlockOfSixQuadsInFixedOrder) {
    draw_voxel(3, 2, 0.5f, 0x7FCC00u);

    const std::vector<GlCall>& calls = gl_recorder::calls;
    ASSERT_EQ(calls.size(), 27u);
    EXPECT_EQ(calls[0].op, GlOp::Color3f);
    EXPECT_EQ(calls[0].f[0], channel(127));
    EXPECT_EQ(calls[0].f[1], channel(204));
    EXPECT_EQ(calls[0].f[2], 0.0f);
    EXPECT_EQ(calls[1].op, GlOp::Begin);
    EXPECT_EQ(calls[1].i[0], GL_QUADS);
    EXPECT_EQ(calls[26].op, GlOp::End);

    const float X0 = 1.5f, X1 = 2.0f, Y0 = 1.0f, Y1 = 1.5f, Z0 = 0.0f, Z1 = 0.5f;
    const Point expected[24] = {
        {X1, Y1, Z0}, {X0, Y1, Z0}, {X0, Y1, Z1}, {X1, Y1, Z1}, // top
        {X1, Y0, Z1}, {X0, Y0, Z1}, {X0, Y0, Z0}, {X1, Y0, Z0}, // bottom
        {X1, Y1, Z1}, {X0, Y1, Z1}, {X0, Y0, Z1}, {X1, Y0, Z1}, // front
        {X1, Y0, Z0}, {X0, Y0, Z0}, {X0, Y1, Z0}, {X1, Y1, Z0}, // back
        {X0, Y1, Z1}, {X0, Y1, Z0}, {X0, Y0, Z0}, {X0, Y0, Z1}, // left
        {X1, Y1, Z0}, {X1, Y1, Z1}, {X1, Y0, Z1}, {X1, Y0, Z0}, // right
    };
    for (int v = 0; v < 24; ++v) {
        ASSERT_EQ(calls[2 + v].op, GlOp::Vertex3f);
        EXPECT_EQ(vertex(calls[2 + v]), expected[v]) << "vertex " << v;
    }
}

// Seen from outside, every face winds counter-clockwise: its normal, from the first three
// corners, points away from the cube's centre.
TEST_F(Drawing, EveryFaceWindsCounterClockwiseFromOutside) {
    draw_cube(-2.0f, 3.0f, 1.0f, 0xFFFFFFu);
    const std::vector<GlCall> vertices = gl_recorder::of(GlOp::Vertex3f);
    ASSERT_EQ(vertices.size(), 24u);
    const double centre[3] = {-1.5, 3.5, 0.5};
    for (int face = 0; face < 6; ++face) {
        const Point a = vertex(vertices[4 * face]);
        const Point b = vertex(vertices[4 * face + 1]);
        const Point c = vertex(vertices[4 * face + 2]);
        const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const double w[3] = {c[0] - b[0], c[1] - b[1], c[2] - b[2]};
        const double normal[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                                  u[0] * w[1] - u[1] * w[0]};
        double outward = 0.0;
        for (int k = 0; k < 3; ++k) {
            outward += normal[k] * (a[k] - centre[k]);
        }
        EXPECT_GT(outward, 0.0) << "face " << face;
    }
}

TEST_F(Drawing, ZeroSizedCubeStillSendsAllItsVertices) {
    draw_cube(1.0f, 1.0f, 0.0f, 0x123456u);
    EXPECT_EQ(gl_recorder::count(GlOp::Vertex3f), 24u);
    EXPECT_EQ(gl_recorder::count(GlOp::Begin), 1u);
    EXPECT_EQ(gl_recorder::count(GlOp::End), 1u);
}

} // namespace
