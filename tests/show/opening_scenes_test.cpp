// The three opening scenes as call streams: where the disc is placed, which way it faces, how it
// turns and grows, and that every scene leaves the matrix stack as it found it.
#include "show/scenes.h"
#include "tests/support/gl_recorder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

typedef std::vector<GlCall> Calls;

bool same(const GlCall& a, const GlCall& b) {
    return a.op == b.op && std::memcmp(a.f, b.f, sizeof a.f) == 0 &&
           std::memcmp(a.i, b.i, sizeof a.i) == 0;
}

// What draw_voxel_sprite sends on its own for this sprite and voxel edge.
Calls sprite_stream(const VoxelSprite& sprite, float size) {
    const Calls kept = gl_recorder::calls;
    gl_recorder::calls.clear();
    draw_voxel_sprite(sprite, size);
    Calls stream = gl_recorder::calls;
    gl_recorder::calls = kept;
    return stream;
}

// The scene's frame is push, the placing calls, exactly the sprite's stream, pop.
void expect_frame(const Calls& calls, const Calls& placing, const VoxelSprite& sprite, float size) {
    const Calls stream = sprite_stream(sprite, size);
    ASSERT_EQ(calls.size(), 2 + placing.size() + stream.size());
    EXPECT_EQ(calls.front().op, GlOp::PushMatrix);
    EXPECT_EQ(calls.back().op, GlOp::PopMatrix);
    for (std::size_t k = 0; k < placing.size(); ++k) {
        const GlCall& call = calls[1 + k];
        EXPECT_TRUE(same(call, placing[k]))
            << "call " << 1 + k << ": " << gl_recorder::name(call.op) << "(" << call.f[0] << ", "
            << call.f[1] << ", " << call.f[2] << ", " << call.f[3] << ")";
    }
    std::size_t first_difference = stream.size();
    for (std::size_t k = 0; k < stream.size() && first_difference == stream.size(); ++k) {
        if (!same(calls[1 + placing.size() + k], stream[k])) {
            first_difference = k;
        }
    }
    EXPECT_EQ(first_difference, stream.size()) << "the sprite's calls differ from here";
}

GlCall translate(float x, float y, float z) {
    return GlCall{GlOp::Translatef, {x, y, z, 0.0f}, {}, {}, nullptr};
}

GlCall rotate(float angle, float x, float y, float z) {
    return GlCall{GlOp::Rotatef, {angle, x, y, z}, {}, {}, nullptr};
}

class OpeningScenes : public ::testing::Test {
  protected:
    void SetUp() override {
        gl_recorder::reset();
        flicker_phase = 0;
        background_cycle_on = false;
    }

    // Draws one frame of the scene and checks it leaves the matrix stack balanced.
    Calls frame(void (*scene)(std::int32_t), std::int32_t time_ms) {
        gl_recorder::reset();
        scene(time_ms);
        EXPECT_EQ(gl_recorder::matrix_depth, 0) << "at " << time_ms << " ms";
        EXPECT_EQ(gl_recorder::min_matrix_depth, 0) << "at " << time_ms << " ms";
        return gl_recorder::calls;
    }
};

struct WalkCase {
    std::int32_t time_ms;
    float x;
    bool facing_right;
};

TEST_F(OpeningScenes, WalkRunsRightThenBackFacingTheWayItGoes) {
    const WalkCase cases[] = {
        {0, -20.0f, true},      {999, 9.97f, true},   {1000, 10.0f, false},
        {1999, -19.97f, false}, {2000, -20.0f, true}, {4000, -20.0f, true},
        {500, -5.0f, true},     {1500, -5.0f, false}, {8500, -5.0f, true},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.time_ms);
        const Calls calls = frame(draw_scene_walk, c.time_ms);
        expect_frame(calls, {translate(c.x, 0.0f, -50.0f)},
                     c.facing_right ? sprite_chomper_right : sprite_chomper_left, 0.5f);
    }
    EXPECT_FALSE(background_cycle_on);
}

// The jitter follows the calls, not the clock: -5.0 first, then -6.2, and so on.
TEST_F(OpeningScenes, FlickerAlternatesOnEveryCall) {
    const std::int32_t times[] = {0, 0, 3000, 3001, 17, 17};
    for (int n = 0; n < 6; ++n) {
        SCOPED_TRACE(n);
        const Calls calls = frame(draw_scene_flicker, times[n]);
        const float x = n % 2 == 0 ? -5.0f : -6.2f;
        expect_frame(calls, {translate(x, 0.0f, -50.0f)}, sprite_chomper_right, 0.5f);
        EXPECT_EQ(flicker_phase, n % 2 == 0 ? 1 : 0);
        EXPECT_TRUE(background_cycle_on);
    }
}

struct SpinCase {
    std::int32_t time_ms;
    float angle_deg;
    float voxel_size;
};

TEST_F(OpeningScenes, SpinTurnsAboutTheDiscsMiddleAndGrows) {
    const SpinCase cases[] = {
        {0, 0.0f, 0.5f},    {150, 180.0f, 0.575f}, {299, 358.8f, 0.6495f},
        {300, 0.0f, 0.65f}, {1000, 120.0f, 1.0f},  {1800, 0.0f, 1.4f},
    };
    for (const SpinCase& c : cases) {
        SCOPED_TRACE(c.time_ms);
        background_cycle_on = false;
        const Calls calls = frame(draw_scene_spin, c.time_ms);
        expect_frame(calls,
                     {translate(-5.0f, 0.0f, -50.0f), rotate(c.angle_deg, 0.0f, 1.0f, 0.0f),
                      translate(-4.0f, 0.0f, 0.0f)},
                     sprite_chomper_right, c.voxel_size);
        EXPECT_TRUE(background_cycle_on);
    }
}

} // namespace
