// The falling scene: the table of thrown sprites, which records fly when, their arcs and spin,
// the group's jump back at 4 s, the creature's quarters and the pole.
#include "show/scenes.h"
#include "tests/show/scene_calls.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace scene_calls;

namespace {

const VoxelSprite* const throw_order[4] = {&sprite_figure, &sprite_mushroom_creature, &sprite_tank,
                                           &sprite_spotted_mushroom};

// One frame taken apart: the group's translation, one block per record, the creature, the pole.
struct FallingFrame {
    GlCall group;
    std::vector<Calls> records;
    Calls creature;
    Calls pole;
};

class FallingScene : public ::testing::Test {
  protected:
    void SetUp() override {
        gl_recorder::reset();
        quadric_main = gluNewQuadric();
        quadric_ring = gluNewQuadric();
        gl_recorder::reset();
        init_falling_sprites();
    }

    FallingFrame draw(std::int32_t t) {
        gl_recorder::reset();
        draw_scene_falling(t);
        FallingFrame frame = {};
        const Calls& calls = gl_recorder::calls;
        EXPECT_GE(calls.size(), 3u);
        if (calls.size() < 3) {
            return frame;
        }
        EXPECT_EQ(calls.front().op, GlOp::PushMatrix);
        EXPECT_EQ(calls.back().op, GlOp::PopMatrix);
        frame.group = calls[1];
        std::vector<Calls> inner = blocks(calls, 2, calls.size() - 1);
        EXPECT_EQ(inner.size(), static_cast<std::size_t>(falling_sprite_count) + 2u);
        if (inner.size() == static_cast<std::size_t>(falling_sprite_count) + 2u) {
            frame.pole = inner.back();
            inner.pop_back();
            frame.creature = inner.back();
            inner.pop_back();
            frame.records = inner;
        }
        return frame;
    }

    // The records drawn in a frame, by number.
    std::vector<int> drawn(const FallingFrame& frame) {
        std::vector<int> numbers;
        for (std::size_t j = 0; j < frame.records.size(); ++j) {
            if (!frame.records[j].empty()) {
                numbers.push_back(static_cast<int>(j));
            }
        }
        return numbers;
    }
};

std::vector<int> range(int first, int last) {
    std::vector<int> numbers;
    for (int j = first; j <= last; ++j) {
        numbers.push_back(j);
    }
    return numbers;
}

TEST(FallingSprites, TableThrowsOneEvery400MsInARepeatingOrder) {
    std::memset(static_cast<void*>(falling_sprites), 0, sizeof falling_sprites);
    init_falling_sprites();
    for (int j = 0; j < falling_sprite_count; ++j) {
        EXPECT_EQ(falling_sprites[j].start_ms, 400 * j) << j;
        EXPECT_EQ(falling_sprites[j].sprite, throw_order[j % 4]) << j;
    }
    EXPECT_EQ(falling_sprites[falling_sprite_count - 1].start_ms, 409200);
}

TEST_F(FallingScene, ARecordFliesFromJustAfterItsThrowUntil20sOn) {
    // Its own throw time (d = 0) is not yet flight: nothing is drawn on the first frame.
    EXPECT_TRUE(drawn(draw(0)).empty());
    EXPECT_EQ(drawn(draw(400)), range(0, 0));
    EXPECT_EQ(drawn(draw(401)), range(0, 1));
    // Late in the scene: 24 is thrown at this very moment, 25 on are still to come.
    EXPECT_EQ(drawn(draw(9600)), range(0, 23));
    EXPECT_EQ(drawn(draw(10000)), range(0, 24));
    // 20000 ms after its throw a record is gone; 19999 ms after, it is still there.
    EXPECT_EQ(drawn(draw(19999)), range(0, 49));
    EXPECT_EQ(drawn(draw(20000)), range(1, 49));
    EXPECT_EQ(drawn(draw(20401)), range(2, 51));
}

TEST_F(FallingScene, ThrownSpriteFollowsItsArcAndSpin) {
    // 1 ms into record 1's flight it has barely moved and is turned (1 + 3) x 360 / 500 degrees.
    FallingFrame frame = draw(401);
    const float s = static_cast<float>(1 / 1000.0);
    const Calls start = {
        translate(static_cast<float>(-40.0 * s),
                  static_cast<float>(20.0 - 20.0 * (static_cast<double>(s) * s)), 0.0f),
        rotate(2.88f, 0.0f, 1.0f, 0.0f),
        translate(-3.0f, 0.0f, 0.0f),
    };
    EXPECT_TRUE(same_calls(frame.records[1],
                           joined({start, sprite_calls(sprite_mushroom_creature, 0.5f)})));

    // One second on the spin axis is at (-40, 0), one and a half at (-60, -25).
    frame = draw(1000);
    EXPECT_TRUE(same_call(frame.records[0][0], translate(-40.0f, 0.0f, 0.0f)));
    EXPECT_TRUE(same_call(frame.records[0][1], rotate(0.0f, 0.0f, 1.0f, 0.0f)));
    frame = draw(1500);
    EXPECT_TRUE(same_call(frame.records[0][0], translate(-60.0f, -25.0f, 0.0f)));
    // Record 2, 700 ms out and 6 ms ahead in its turn: 206 ms into its second turn.
    EXPECT_TRUE(same_call(frame.records[2][1],
                          rotate(static_cast<float>(206 * 360.0 / 500.0), 0.0f, 1.0f, 0.0f)));

    // Every thrown record draws its own sprite at the small voxel size.
    frame = draw(9999);
    for (int j = 0; j < 25; ++j) {
        ASSERT_GE(frame.records[j].size(), 3u) << j;
        const Calls sprite(frame.records[j].begin() + 3, frame.records[j].end());
        EXPECT_TRUE(same_calls(sprite, sprite_calls(*throw_order[j % 4], 0.5f))) << j;
    }
}

TEST_F(FallingScene, GroupJumpsBackAt4sAndThenRecedes) {
    EXPECT_TRUE(same_call(draw(0).group, translate(30.0f, -10.0f, -50.0f)));
    EXPECT_TRUE(same_call(draw(3999).group, translate(30.0f, -10.0f, -50.0f)));
    EXPECT_TRUE(same_call(draw(4000).group, translate(30.0f, -10.0f, -130.0f)));
    EXPECT_TRUE(same_call(draw(10000).group, translate(30.0f, -10.0f, -190.0f)));
    EXPECT_EQ(draw(7000).group.f[2], static_cast<float>(-90.0 - 7000 * 0.01));
}

TEST_F(FallingScene, CreatureQuartersAndPoleStandWhereTheyBelong) {
    const FallingFrame frame = draw(5000);
    // Quarters of 24 units: top-left from (-2, 20), then down, right, and up again.
    const Calls creature = joined({
        {translate(-2.0f, 20.0f, 0.0f)},
        sprite_calls(sprite_beast_top_left, 1.5f),
        {translate(0.0f, -24.0f, 0.0f)},
        sprite_calls(sprite_beast_bottom_left, 1.5f),
        {translate(24.0f, 0.0f, 0.0f)},
        sprite_calls(sprite_beast_bottom_right, 1.5f),
        {translate(0.0f, 24.0f, 0.0f)},
        sprite_calls(sprite_beast_top_right, 1.5f),
    });
    EXPECT_TRUE(same_calls(frame.creature, creature));

    const Calls pole = {
        translate(static_cast<float>(43.2), 0.0f, 0.0f),
        push(),
        rotate(90.0f, 1.0f, 0.0f, 0.0f),
        color(0.3f, 0.9f, 0.4f),
        cylinder(quadric_main, 3.0, 3.0, 90.0, 60, 60),
        pop(),
    };
    EXPECT_TRUE(same_calls(frame.pole, pole));
}

TEST_F(FallingScene, LeavesThePolesGreenCurrentAndTheMatrixStackAsFound) {
    for (std::int32_t t : {0, 401, 3999, 4000, 9999, 10000, 20000}) {
        SCOPED_TRACE(t);
        draw(t);
        const Calls colours = gl_recorder::of(GlOp::Color3f);
        ASSERT_FALSE(colours.empty());
        EXPECT_TRUE(same_call(colours.back(), color(0.3f, 0.9f, 0.4f)));
        EXPECT_EQ(gl_recorder::matrix_depth, 0);
        EXPECT_EQ(gl_recorder::min_matrix_depth, 0);
    }
}

} // namespace
