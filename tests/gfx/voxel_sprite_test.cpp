// Drawing a 16 x 16 picture as a wall of cubes.
#include "gfx/sprites.h"
#include "tests/support/gl_recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// Each cube the renderer drew: its colour and its minimum and maximum corners.
struct Cube {
    float color[3];
    float min[3];
    float max[3];
};

std::vector<Cube> recorded_cubes() {
    std::vector<Cube> cubes;
    const std::vector<GlCall>& calls = gl_recorder::calls;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].op != GlOp::Begin) {
            continue;
        }
        Cube cube = {};
        EXPECT_GE(i, 1u);
        EXPECT_EQ(calls[i - 1].op, GlOp::Color3f);
        std::copy(calls[i - 1].f, calls[i - 1].f + 3, cube.color);
        std::fill(cube.min, cube.min + 3, 1e30f);
        std::fill(cube.max, cube.max + 3, -1e30f);
        for (std::size_t v = i + 1; v < i + 25 && v < calls.size(); ++v) {
            EXPECT_EQ(calls[v].op, GlOp::Vertex3f);
            for (int k = 0; k < 3; ++k) {
                cube.min[k] = std::min(cube.min[k], calls[v].f[k]);
                cube.max[k] = std::max(cube.max[k], calls[v].f[k]);
            }
        }
        cubes.push_back(cube);
    }
    return cubes;
}

VoxelSprite blank_sprite() {
    VoxelSprite sprite = {};
    sprite.palette[1] = {1.0f, 1.0f, 1.0f};
    sprite.palette[2] = {0.5f, 0.8f, 0.0f};
    sprite.palette[3] = {0.92f, 0.4f, 0.08f};
    return sprite;
}

class SpriteRenderer : public ::testing::Test {
  protected:
    void SetUp() override {
        gl_recorder::reset();
    }
};

TEST_F(SpriteRenderer, EmptyPictureSendsNothing) {
    draw_voxel_sprite(blank_sprite(), 0.5f);
    EXPECT_TRUE(gl_recorder::calls.empty());
}

// The first stored byte is the top-left pixel, the last the bottom-right.
TEST_F(SpriteRenderer, CornerPixelsLandInTheirCorners) {
    VoxelSprite top_left = blank_sprite();
    top_left.indices[0] = 1;
    draw_voxel_sprite(top_left, 0.5f);
    std::vector<Cube> cubes = recorded_cubes();
    ASSERT_EQ(cubes.size(), 1u);
    EXPECT_EQ(gl_recorder::calls.size(), 27u);
    EXPECT_EQ((std::vector<float>(cubes[0].min, cubes[0].min + 3)),
              (std::vector<float>{0.0f, 7.5f, 0.0f}));
    EXPECT_EQ((std::vector<float>(cubes[0].max, cubes[0].max + 3)),
              (std::vector<float>{0.5f, 8.0f, 0.5f}));

    gl_recorder::reset();
    VoxelSprite bottom_right = blank_sprite();
    bottom_right.indices[255] = 1;
    draw_voxel_sprite(bottom_right, 0.5f);
    cubes = recorded_cubes();
    ASSERT_EQ(cubes.size(), 1u);
    EXPECT_EQ((std::vector<float>(cubes[0].min, cubes[0].min + 3)),
              (std::vector<float>{7.5f, 0.0f, 0.0f}));
    EXPECT_EQ((std::vector<float>(cubes[0].max, cubes[0].max + 3)),
              (std::vector<float>{8.0f, 0.5f, 0.5f}));
}

// Bottom row first, each row left to right, whatever order the bytes are stored in; each cube in
// its own palette colour as the truncating conversion leaves it.
TEST_F(SpriteRenderer, CubesComeBottomRowFirstLeftToRightInTheirColours) {
    VoxelSprite sprite = blank_sprite();
    sprite.indices[0] = 3;   // top row, column 0
    sprite.indices[17] = 2;  // second row from the top, column 1
    sprite.indices[255] = 1; // bottom row, column 15
    sprite.indices[245] = 2; // bottom row, column 5
    sprite.indices[240] = 3; // bottom row, column 0
    draw_voxel_sprite(sprite, 1.0f);

    const std::vector<Cube> cubes = recorded_cubes();
    ASSERT_EQ(cubes.size(), 5u);
    const float expected_corner[5][2] = {{0, 0}, {5, 0}, {15, 0}, {1, 14}, {0, 15}};
    const int expected_index[5] = {3, 2, 1, 2, 3};
    for (int n = 0; n < 5; ++n) {
        EXPECT_EQ(cubes[n].min[0], expected_corner[n][0]) << "cube " << n;
        EXPECT_EQ(cubes[n].min[1], expected_corner[n][1]) << "cube " << n;
        ColorRgb drawn = {};
        unpack_color(pack_color(sprite.palette[expected_index[n]]), 1.0f, &drawn);
        EXPECT_EQ(cubes[n].color[0], drawn.r) << "cube " << n;
        EXPECT_EQ(cubes[n].color[1], drawn.g) << "cube " << n;
        EXPECT_EQ(cubes[n].color[2], drawn.b) << "cube " << n;
    }
    // (0.5, 0.8, 0) is drawn as (127/255, 0.8, 0); white stays white.
    EXPECT_EQ(cubes[1].color[0], static_cast<float>(127.0 / 255.0));
    EXPECT_EQ(cubes[1].color[1], 0.8f);
    EXPECT_EQ(cubes[1].color[2], 0.0f);
    EXPECT_EQ(cubes[2].color[0], 1.0f);
    EXPECT_EQ(cubes[2].color[1], 1.0f);
    EXPECT_EQ(cubes[2].color[2], 1.0f);
}

// A full picture covers 16 cells each way and one cell deep: 8 units at edge 0.5, 24 at 1.5.
TEST_F(SpriteRenderer, FullPictureSpansSixteenVoxels) {
    VoxelSprite full = blank_sprite();
    std::fill(full.indices, full.indices + 256, 2);
    for (float size : {0.5f, 1.5f}) {
        gl_recorder::reset();
        draw_voxel_sprite(full, size);
        const std::vector<Cube> cubes = recorded_cubes();
        ASSERT_EQ(cubes.size(), 256u);
        float low[3] = {1e30f, 1e30f, 1e30f};
        float high[3] = {-1e30f, -1e30f, -1e30f};
        for (const Cube& cube : cubes) {
            for (int k = 0; k < 3; ++k) {
                low[k] = std::min(low[k], cube.min[k]);
                high[k] = std::max(high[k], cube.max[k]);
            }
        }
        EXPECT_EQ(low[0], 0.0f);
        EXPECT_EQ(low[1], 0.0f);
        EXPECT_EQ(low[2], 0.0f);
        EXPECT_EQ(high[0], 16 * size);
        EXPECT_EQ(high[1], 16 * size);
        EXPECT_EQ(high[2], size);
        // The cube of cell (c, r) is the 16 r + c-th drawn, from (c, r) x size.
        EXPECT_EQ(cubes[16 * 3 + 7].min[0], 7 * size);
        EXPECT_EQ(cubes[16 * 3 + 7].min[1], 3 * size);
    }
}

} // namespace
