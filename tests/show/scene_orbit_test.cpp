// The orbit scene: points on the rising helix, the random-coloured sphere spiral drawing from the
// shared generator, and the tube with its ring.
#include "show/scenes.h"
#include "tests/show/scene_calls.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

using namespace scene_calls;

namespace {

// The generator as defined, kept apart from the program's own.
struct Generator {
    std::uint32_t state = 1;
    int next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFFu);
    }
};

float channel(int value) {
    return static_cast<float>((value % 256) / 255.0);
}

class OrbitScene : public ::testing::Test {
  protected:
    void SetUp() override {
        gl_recorder::reset();
        quadric_main = gluNewQuadric();
        quadric_ring = gluNewQuadric();
        quadric_sphere = gluNewQuadric();
        gl_recorder::reset();
        random_state = 1;
    }

    // One frame's blocks: four sprites, 2200 spheres, the tube group.
    std::vector<Calls> draw(std::int32_t t) {
        gl_recorder::reset();
        draw_scene_orbit(t);
        return blocks(gl_recorder::calls, 0, gl_recorder::calls.size());
    }
};

Calls placed(std::int32_t radius, std::int32_t time_ms) {
    gl_recorder::reset();
    orbit_transform(radius, time_ms);
    return gl_recorder::calls;
}

TEST(OrbitTransform, StartsOnTheRightAtHeightMinus20) {
    gl_recorder::reset();
    EXPECT_TRUE(same_calls(placed(8, 0),
                           {translate(8.0f, -20.0f, -40.0f), rotate(0.0f, 0.0f, 1.0f, 0.0f)}));
    EXPECT_EQ(gl_recorder::matrix_depth, 0);
}

TEST(OrbitTransform, OneSecondOnIsHalfATurnRoundAnd8Higher) {
    const Calls calls = placed(8, 1000);
    ASSERT_EQ(calls.size(), 2u);
    ASSERT_EQ(calls[0].op, GlOp::Translatef);
    EXPECT_NEAR(calls[0].f[0], -8.0f, 1e-5);
    EXPECT_NEAR(calls[0].f[1], -12.0f, 1e-5);
    EXPECT_NEAR(calls[0].f[2], -40.0f, 1e-5);
    EXPECT_TRUE(same_call(calls[1], rotate(80.0f, 0.0f, 1.0f, 0.0f))) << describe(calls[1]);
}

TEST(OrbitTransform, NegativeTimesLieBelowOnTheSameHelix) {
    // 7.5 s before the start is 3.75 turns back and 60 lower: the point lies 7 from the axis
    // towards the viewer, and the sprite there is turned back by 600 degrees.
    const Calls calls = placed(7, -7500);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_NEAR(calls[0].f[0], 0.0f, 1e-4);
    EXPECT_EQ(calls[0].f[1], -80.0f);
    EXPECT_NEAR(calls[0].f[2], -33.0f, 1e-4);
    EXPECT_TRUE(same_call(calls[1], rotate(-600.0f, 0.0f, 1.0f, 0.0f))) << describe(calls[1]);

    // Half a second back: a quarter turn the other way, 4 lower, turned back 40 degrees.
    const Calls half = placed(10, -500);
    ASSERT_EQ(half.size(), 2u);
    EXPECT_NEAR(half[0].f[0], 0.0f, 1e-4);
    EXPECT_EQ(half[0].f[1], -24.0f);
    EXPECT_NEAR(half[0].f[2], -50.0f, 1e-4);
    EXPECT_EQ(half[1].f[0], -40.0f);
}

// The helix point by its rule: pi rounded to float, the seconds rounded to float only where
// they are stored, and each coordinate and the turn rounded to float.
Calls expected_placement(std::int32_t radius, std::int32_t time_ms) {
    const double pi = static_cast<float>(3.14159265358979323846);
    const float s = static_cast<float>(time_ms / 1000.0);
    const float a = static_cast<float>(pi * 2.0 * (time_ms / 1000.0));
    const float theta = static_cast<float>(a * 0.5);
    const float c = static_cast<float>(std::cos(static_cast<double>(theta)));
    const float sn = static_cast<float>(std::sin(static_cast<double>(theta)));
    const float r = static_cast<float>(radius);
    const float climb = static_cast<float>(8.0 * s);
    return {translate(static_cast<float>(r * static_cast<double>(c)),
                      static_cast<float>(8.0 * s - 20.0),
                      static_cast<float>(r * static_cast<double>(sn) - 40.0)),
            rotate(static_cast<float>(climb * 10.0), 0.0f, 1.0f, 0.0f)};
}

TEST(OrbitTransform, RoundsToFloatWhereTheHelixSays) {
    for (std::int32_t time_ms = -30000; time_ms <= 14000; time_ms += 37) {
        for (std::int32_t radius : {4, 7, 8, 14}) {
            ASSERT_TRUE(same_calls(placed(radius, time_ms), expected_placement(radius, time_ms)))
                << "radius " << radius << " at " << time_ms;
        }
    }
}

TEST_F(OrbitScene, SpritesRideTheHelix2500MsApart) {
    const std::int32_t t = 1234;
    const std::int32_t radius[4] = {8, 7, 8, 7};
    const std::int32_t delay[4] = {0, 2500, 5000, 7500};
    const VoxelSprite* sprite[4] = {&sprite_figure, &sprite_mushroom_creature, &sprite_tank,
                                    &sprite_spotted_mushroom};
    Calls expected[4];
    for (int n = 0; n < 4; ++n) {
        expected[n] = joined({placed(radius[n], t - delay[n]), sprite_calls(*sprite[n], 0.5f)});
    }
    const std::vector<Calls> frame = draw(t);
    ASSERT_EQ(frame.size(), 4u + 2200u + 1u);
    for (std::size_t n = 0; n < 4; ++n) {
        EXPECT_TRUE(same_calls(frame[n], expected[n])) << "sprite " << n;
    }
}

TEST_F(OrbitScene, SpokesClimbFromBottomToTopOfTheSpiral) {
    const std::vector<Calls> frame = draw(0);
    ASSERT_EQ(frame.size(), 2205u);
    // Spoke 0 is the top one at T = 3200, spoke 199 the bottom one at T = -28640.
    const float top = static_cast<float>(8.0 * static_cast<double>(static_cast<float>(3.2)) - 20.0);
    const float bottom =
        static_cast<float>(8.0 * static_cast<double>(static_cast<float>(-28.64)) - 20.0);
    EXPECT_NEAR(top, 5.6, 1e-5);
    EXPECT_NEAR(bottom, -249.12, 1e-4);
    for (std::int32_t i = 0; i < 11; ++i) {
        const GlCall& top_sphere = frame[4 + static_cast<std::size_t>(i)][0];
        const GlCall& bottom_sphere = frame[4 + 199 * 11 + static_cast<std::size_t>(i)][0];
        ASSERT_EQ(top_sphere.op, GlOp::Translatef);
        EXPECT_EQ(top_sphere.f[1], top);
        EXPECT_EQ(bottom_sphere.f[1], bottom);
        // Radius 4 to 14 out from the axis x = 0, z = -40, in rising order.
        const double out = std::hypot(top_sphere.f[0], top_sphere.f[2] + 40.0);
        EXPECT_NEAR(out, 4 + i, 1e-4);
    }
}

TEST_F(OrbitScene, EverySphereSitsWhereTheHelixPutsItsSpokeAndRadius) {
    for (std::int32_t t : {0, 4321, 10000}) {
        SCOPED_TRACE(t);
        const std::vector<Calls> frame = draw(t);
        ASSERT_EQ(frame.size(), 2205u);
        for (std::int32_t k = 0; k < 200; ++k) {
            for (std::int32_t i = 4; i <= 14; ++i) {
                const Calls& sphere = frame[4 + static_cast<std::size_t>(k * 11 + i - 4)];
                ASSERT_EQ(sphere.size(), 4u);
                const Calls where = placed(i, t + 3200 - 160 * k);
                ASSERT_TRUE(same_call(sphere[0], where[0])) << "spoke " << k << " radius " << i;
                ASSERT_TRUE(same_call(sphere[1], where[1])) << "spoke " << k << " radius " << i;
                ASSERT_EQ(sphere[2].op, GlOp::Color3f);
                ASSERT_EQ(sphere[3].op, GlOp::Sphere);
                EXPECT_EQ(sphere[3].quadric, quadric_sphere);
                EXPECT_EQ(sphere[3].d[0], 0.5);
                EXPECT_EQ(sphere[3].i[0], 4);
                EXPECT_EQ(sphere[3].i[1], 4);
            }
        }
    }
}

TEST_F(OrbitScene, SphereColoursFollowTheGeneratorFromItsStart) {
    Generator generator;
    const std::vector<Calls> first = draw(0);
    // Red, green, blue in turn for each sphere, spoke by spoke and radius by radius.
    for (std::size_t n = 0; n < 2200; ++n) {
        const int red = generator.next();
        const int green = generator.next();
        const int blue = generator.next();
        if (n == 0) {
            // The generator's first three values from state 1.
            EXPECT_EQ(red, 41);
            EXPECT_EQ(green, 18467);
            EXPECT_EQ(blue, 6334);
        }
        ASSERT_TRUE(same_call(first[4 + n][2], color(channel(red), channel(green), channel(blue))))
            << "sphere " << n << ": " << describe(first[4 + n][2]);
    }
    // 6600 draws a frame, and the next frame carries on where this one left off.
    EXPECT_EQ(random_state, generator.state);
    const std::vector<Calls> second = draw(10);
    const int red = generator.next();
    const int green = generator.next();
    const int blue = generator.next();
    EXPECT_TRUE(same_call(second[4][2], color(channel(red), channel(green), channel(blue))));
    for (int n = 3; n < 6600; ++n) {
        generator.next();
    }
    EXPECT_EQ(random_state, generator.state);
}

TEST_F(OrbitScene, TubeHangsOverTheAxisWithItsRingBelow) {
    const std::vector<Calls> frame = draw(2000);
    ASSERT_EQ(frame.size(), 2205u);
    const Calls expected = {
        translate(0.0f, 20.0f, -40.0f),
        push(),
        rotate(90.0f, 1.0f, 0.0f, 0.0f),
        color(0.3f, 0.9f, 0.4f),
        cylinder(quadric_main, 16.0, 16.0, 18.0, 60, 60),
        pop(),
        color(0.5f, 0.8f, 0.5f),
        translate(0.0f, -18.0f, 0.0f),
        rotate(90.0f, 1.0f, 0.0f, 0.0f),
        cylinder(quadric_ring, 17.0, 17.0, 3.0, 60, 60),
    };
    EXPECT_TRUE(same_calls(frame.back(), expected));
    EXPECT_EQ(gl_recorder::calls.back().op, GlOp::PopMatrix);
}

TEST_F(OrbitScene, LeavesTheMatrixStackAsFound) {
    for (std::int32_t t : {0, 1, 2500, 7499, 10000, 10017}) {
        gl_recorder::reset();
        draw_scene_orbit(t);
        EXPECT_EQ(gl_recorder::matrix_depth, 0) << t;
        EXPECT_EQ(gl_recorder::min_matrix_depth, 0) << t;
    }
}

} // namespace
