// The fountain scene: the sphere ring's one-second cycle and the rising, spinning sprite column.
#include "show/scenes.h"
#include "tests/show/scene_calls.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace scene_calls;

namespace {

class FountainScene : public ::testing::Test {
  protected:
    void SetUp() override {
        gl_recorder::reset();
        quadric_sphere = gluNewQuadric();
        gl_recorder::reset();
    }

    // Draws one frame; its translations and rotations in order. The group's translation comes
    // first, then one per sphere, then the column's, then two per sprite.
    void draw(std::int32_t t) {
        gl_recorder::reset();
        draw_scene_fountain(t);
        translations = gl_recorder::of(GlOp::Translatef);
        rotations = gl_recorder::of(GlOp::Rotatef);
        ASSERT_EQ(translations.size(), 1u + 200u + 1u + 16u);
        ASSERT_EQ(rotations.size(), 200u + 8u);
    }

    const GlCall& sphere_translation(int i) const {
        return translations[1 + static_cast<std::size_t>(i)];
    }
    const GlCall& sprite_translation(int n) const {
        return translations[202 + 2 * static_cast<std::size_t>(n)];
    }
    float sprite_angle(int n) const {
        return rotations[200 + static_cast<std::size_t>(n)].f[0];
    }

    Calls translations;
    Calls rotations;
};

// The sphere's place by the fountain's rule, each rounding to float where the scene makes it.
FountainPoint expected_sphere(int i, std::int32_t t) {
    const float a = static_cast<float>(i / 3.0);
    const float phase = static_cast<float>(static_cast<float>(t % 1000) / 1000.0);
    float u = static_cast<float>(std::sin(static_cast<double>(a)));
    u = static_cast<float>(static_cast<double>(u) + phase);
    if (u > 1.0f) {
        u = static_cast<float>(u - 1.0);
    }
    const float r = static_cast<float>(u * 16.0);
    return FountainPoint{r, static_cast<float>(1.0 - (r - 10.0) * (r - 10.0))};
}

TEST(FountainPoint, WrapsOnlyPastOneAndRidesTheParabola) {
    const FountainPoint axis = fountain_point(0.0f);
    EXPECT_EQ(axis.r, 0.0f);
    EXPECT_EQ(axis.height, -99.0f);

    // u exactly 1 is not reduced: the sphere is 16 out, 35 below.
    const FountainPoint edge = fountain_point(1.0f);
    EXPECT_EQ(edge.r, 16.0f);
    EXPECT_EQ(edge.height, -35.0f);

    const FountainPoint crest = fountain_point(0.625f);
    EXPECT_EQ(crest.r, 10.0f);
    EXPECT_EQ(crest.height, 1.0f);

    // The next float above 1 wraps back to just past the axis.
    const float past = std::nextafter(1.0f, 2.0f);
    const FountainPoint wrapped = fountain_point(past);
    EXPECT_EQ(wrapped.r, static_cast<float>((static_cast<double>(past) - 1.0) * 16.0));
    EXPECT_LT(wrapped.r, 1e-5f);
    EXPECT_GT(wrapped.r, 0.0f);
}

TEST_F(FountainScene, FirstFrameStartsTheFirstSphereOnTheAxisInWhite) {
    draw(0);
    EXPECT_TRUE(same_call(sphere_translation(0), translate(0.0f, -99.0f, 0.0f)))
        << describe(sphere_translation(0));
    EXPECT_TRUE(same_call(translations[0], translate(0.0f, -2.0f, -20.0f)));
    EXPECT_TRUE(same_call(translations[201], translate(0.0f, -2.0f, -20.0f)));

    // White is set once, before the first sphere; the sprites then bring their own colours.
    const Calls& calls = gl_recorder::calls;
    ASSERT_GE(calls.size(), 4u);
    EXPECT_TRUE(same_call(calls[2], color(1.0f, 1.0f, 1.0f))) << describe(calls[2]);

    const Calls spheres = gl_recorder::of(GlOp::Sphere);
    ASSERT_EQ(spheres.size(), 200u);
    for (const GlCall& sphere : spheres) {
        EXPECT_EQ(sphere.quadric, quadric_sphere);
        EXPECT_EQ(sphere.d[0], 0.2);
        EXPECT_EQ(sphere.i[0], 4);
        EXPECT_EQ(sphere.i[1], 4);
    }
}

TEST_F(FountainScene, SpheresFollowTheirOneSecondCycle) {
    for (std::int32_t t : {0, 370, 999, 1000, 5432}) {
        SCOPED_TRACE(t);
        draw(t);
        for (int i = 0; i < 200; ++i) {
            const FountainPoint p = expected_sphere(i, t);
            ASSERT_TRUE(same_call(sphere_translation(i), translate(p.r, p.height, 0.0f)))
                << "sphere " << i << ": " << describe(sphere_translation(i));
            // Each sphere's plane is turned i x 1.8 degrees about the vertical.
            const float angle = static_cast<float>(i / 200.0 * 360.0);
            ASSERT_TRUE(
                same_call(rotations[static_cast<std::size_t>(i)], rotate(angle, 0.0f, 1.0f, 0.0f)));
            ASSERT_NEAR(angle, i * 1.8, 1e-4);
        }
    }
}

TEST_F(FountainScene, PhaseNearlyOneAt999AndTheCycleRepeatsAt1000) {
    // At 999 ms the first sphere is at u = 0.999, almost the full 16 out.
    draw(999);
    const float r = static_cast<float>(static_cast<double>(0.999f) * 16.0);
    EXPECT_TRUE(same_call(sphere_translation(0),
                          translate(r, static_cast<float>(1.0 - (r - 10.0) * (r - 10.0)), 0.0f)));
    // Several spheres have passed u = 1 by then and wrapped back towards the axis.
    int wrapped = 0;
    for (int i = 0; i < 200; ++i) {
        const float start =
            static_cast<float>(std::sin(static_cast<double>(static_cast<float>(i / 3.0))));
        wrapped += static_cast<double>(start) + 0.999 > 1.0 ? 1 : 0;
    }
    EXPECT_GT(wrapped, 20);
    const Calls at_999(translations.begin() + 1, translations.begin() + 201);

    draw(0);
    const Calls at_0(translations.begin() + 1, translations.begin() + 201);
    draw(1000);
    const Calls at_1000(translations.begin() + 1, translations.begin() + 201);
    EXPECT_TRUE(same_calls(at_1000, at_0));
    EXPECT_FALSE(same_calls(at_999, at_0));
}

TEST_F(FountainScene, SpritesRiseFromBelowAtOneUnitPer150Ms) {
    const float x[8] = {0, -8, 5, -3, 0, -8, 5, -3};
    const float depth[8] = {6, 18, 30, 42, 54, 66, 78, 90};

    draw(0);
    for (int n = 0; n < 8; ++n) {
        EXPECT_TRUE(same_call(sprite_translation(n), translate(x[n], -depth[n], 0.0f)))
            << "sprite " << n << ": " << describe(sprite_translation(n));
        EXPECT_TRUE(same_call(translations[203 + 2 * static_cast<std::size_t>(n)],
                              translate(-3.0f, 0.0f, 0.0f)));
    }

    // Ten seconds on, every sprite is 66.7 higher.
    draw(10000);
    for (int n = 0; n < 8; ++n) {
        const float height = static_cast<float>(10000 / 150.0 - depth[n]);
        EXPECT_TRUE(same_call(sprite_translation(n), translate(x[n], height, 0.0f)))
            << "sprite " << n << ": " << describe(sprite_translation(n));
        EXPECT_NEAR(sprite_translation(n).f[1], -depth[n] + 66.7, 0.05);
    }
}

TEST_F(FountainScene, FiguresTurnOnceASecondTheOthersOnceEvery750Ms) {
    struct Case {
        std::int32_t t;
        float figure;
        float others;
    };
    // 250 ms: a quarter turn and a third; 750 ms: three quarters and a whole; 1000 ms: a whole
    // and a third.
    for (const Case& c : {Case{250, 90.0f, 120.0f}, Case{750, 270.0f, 0.0f},
                          Case{1000, 0.0f, 120.0f}, Case{1600, 216.0f, 48.0f}}) {
        SCOPED_TRACE(c.t);
        draw(c.t);
        for (int n = 0; n < 8; ++n) {
            const float expected = n % 4 == 0 ? c.figure : c.others;
            EXPECT_TRUE(same_call(rotations[200 + static_cast<std::size_t>(n)],
                                  rotate(expected, 0.0f, 1.0f, 0.0f)))
                << "sprite " << n << " turned " << sprite_angle(n);
        }
    }
}

TEST_F(FountainScene, DrawsTheColumnsSpritesInOrder) {
    draw(300);
    const std::vector<Calls> groups = blocks(gl_recorder::calls, 0, gl_recorder::calls.size());
    ASSERT_EQ(groups.size(), 2u);
    const std::vector<Calls> sprites = blocks(groups[1], 0, groups[1].size());
    ASSERT_EQ(sprites.size(), 8u);
    const VoxelSprite* order[4] = {&sprite_figure, &sprite_mushroom_creature, &sprite_tank,
                                   &sprite_spotted_mushroom};
    for (std::size_t n = 0; n < 8; ++n) {
        ASSERT_GE(sprites[n].size(), 3u);
        const Calls drawn(sprites[n].begin() + 3, sprites[n].end());
        EXPECT_TRUE(same_calls(drawn, sprite_calls(*order[n % 4], 0.5f))) << "sprite " << n;
    }
}

TEST_F(FountainScene, LeavesTheMatrixStackAsFound) {
    for (std::int32_t t : {0, 1, 999, 4321, 10000, 10017}) {
        gl_recorder::reset();
        draw_scene_fountain(t);
        EXPECT_EQ(gl_recorder::matrix_depth, 0) << t;
        EXPECT_EQ(gl_recorder::min_matrix_depth, 0) << t;
    }
}

} // namespace
