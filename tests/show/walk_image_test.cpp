// The walking disc drawn through the real GL into a 640 x 480 RGB565 framebuffer: the program's
// own projection and start state, one whole frame from the frame driver, and the picture looked
// for where the perspective maths puts it.
#include "app/window.h"
#include "show/scenes.h"
#include "tests/support/fake_win32.h"
#include "tests/support/offscreen_gl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Rgb {
    int r;
    int g;
    int b;
};

bool operator==(Rgb a, Rgb b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

const Rgb YELLOW = {255, 255, 0};
const Rgb BLACK = {0, 0, 0};

// Window coordinates of an eye-space point under gluPerspective(45, 640 / 480, 0.1, 500) and
// the whole-window viewport.
void project(double x, double y, double z, double* wx, double* wy) {
    const double f = 1.0 / std::tan(45.0 / 2.0 * 3.14159265358979323846 / 180.0);
    const double aspect = 640.0 / 480.0;
    *wx = (f / aspect * x / -z + 1.0) * 0.5 * offscreen_gl::WIDTH;
    *wy = (f * y / -z + 1.0) * 0.5 * offscreen_gl::HEIGHT;
}

// The first pixel whose centre lies at or right of an edge at window coordinate w.
int first_pixel_from(double w) {
    return static_cast<int>(std::ceil(w - 0.5));
}

class WalkImage : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(offscreen_gl::open(&error)) << error;
        resize_viewport(offscreen_gl::WIDTH, offscreen_gl::HEIGHT);
        ASSERT_TRUE(init_gl_state());
        fake_win32::reset();
        background_cycle_on = false;
        background_color = {0.0f, 0.0f, 0.0f};
        camera_offset = {0.0f, 0.0f, 0.0f};
    }
    void TearDown() override {
        offscreen_gl::close();
    }

    // One frame of the show while scene 1 is time_ms old.
    void draw_walk_frame(std::int32_t time_ms) {
        demo_start_ms = 100000;
        scene_start_ms = 2000;
        scene_index = 1;
        fake_win32::tick_count = demo_start_ms + static_cast<std::uint32_t>(scene_start_ms) +
                                 static_cast<std::uint32_t>(time_ms);
        draw_frame();
        offscreen_gl::finish();
        ASSERT_EQ(scene_index, 1);
        pixels = offscreen_gl::read_rgb();
    }

    Rgb at(int x, int y) const {
        const std::size_t i =
            (static_cast<std::size_t>(y) * offscreen_gl::WIDTH + static_cast<std::size_t>(x)) * 3;
        return {pixels[i], pixels[i + 1], pixels[i + 2]};
    }

    // Each voxel's front face (z = -50 + 0.5, nearest the viewer) looked at in its centre: yellow
    // where the picture has a pixel, the black background where it has none. Cube sides show
    // only as slivers under a pixel wide, far from those centres.
    void expect_voxels(const VoxelSprite& sprite, double left) const {
        int wrong = 0;
        for (int row = 0; row < 16 && wrong < 8; ++row) {
            for (int column = 0; column < 16 && wrong < 8; ++column) {
                double wx = 0.0;
                double wy = 0.0;
                project(left + (column + 0.5) * 0.5, (row + 0.5) * 0.5, -49.5, &wx, &wy);
                const bool set = sprite.indices[16 * (15 - row) + column] != 0;
                const Rgb seen = at(static_cast<int>(wx), static_cast<int>(wy));
                if (!(seen == (set ? YELLOW : BLACK))) {
                    ++wrong;
                    ADD_FAILURE() << "voxel (" << column << ", " << row << ") at window (" << wx
                                  << ", " << wy << ") is " << seen.r << "," << seen.g << ","
                                  << seen.b << (set ? ", not yellow" : ", not black");
                }
            }
        }
    }

    // The yellow pixels fill exactly the box the picture's front face projects to, give or take
    // one pixel of rasterisation on each side, and nothing else in the frame is yellow or
    // anything but black.
    void expect_extent(const VoxelSprite& sprite, double left) const {
        int min_column = 16;
        int max_column = -1;
        int min_row = 16;
        int max_row = -1;
        for (int i = 0; i < 256; ++i) {
            if (sprite.indices[i] != 0) {
                min_column = std::min(min_column, i % 16);
                max_column = std::max(max_column, i % 16);
                min_row = std::min(min_row, 15 - i / 16);
                max_row = std::max(max_row, 15 - i / 16);
            }
        }
        double x0 = 0.0;
        double y0 = 0.0;
        double x1 = 0.0;
        double y1 = 0.0;
        project(left + min_column * 0.5, min_row * 0.5, -49.5, &x0, &y0);
        project(left + (max_column + 1) * 0.5, (max_row + 1) * 0.5, -49.5, &x1, &y1);

        int seen_x0 = offscreen_gl::WIDTH;
        int seen_x1 = -1;
        int seen_y0 = offscreen_gl::HEIGHT;
        int seen_y1 = -1;
        int other = 0;
        for (int y = 0; y < offscreen_gl::HEIGHT; ++y) {
            for (int x = 0; x < offscreen_gl::WIDTH; ++x) {
                const Rgb c = at(x, y);
                if (c == YELLOW) {
                    seen_x0 = std::min(seen_x0, x);
                    seen_x1 = std::max(seen_x1, x);
                    seen_y0 = std::min(seen_y0, y);
                    seen_y1 = std::max(seen_y1, y);
                } else if (!(c == BLACK)) {
                    ++other;
                }
            }
        }
        EXPECT_EQ(other, 0) << "pixels neither yellow nor black";
        EXPECT_NEAR(seen_x0, first_pixel_from(x0), 1);
        EXPECT_NEAR(seen_x1, first_pixel_from(x1) - 1, 1);
        EXPECT_NEAR(seen_y0, first_pixel_from(y0), 1);
        EXPECT_NEAR(seen_y1, first_pixel_from(y1) - 1, 1);
    }

    std::vector<std::uint8_t> pixels;
};

TEST_F(WalkImage, FramebufferHasTheShowsSixteenBitFormats) {
    const offscreen_gl::Bits bits = offscreen_gl::bits();
    EXPECT_EQ(bits.red, 5);
    EXPECT_EQ(bits.green, 6);
    EXPECT_EQ(bits.blue, 5);
    EXPECT_EQ(bits.depth, 16);
}

// At the start of each two-second lap the disc faces right with its left edge at x = -20.
TEST_F(WalkImage, DiscAtTheLeftEndFacingRight) {
    draw_walk_frame(0);
    expect_voxels(sprite_chomper_right, -20.0);
    expect_extent(sprite_chomper_right, -20.0);
}

// Half-way back (u = 1500) it faces left with its left edge at x = -5, across the middle.
TEST_F(WalkImage, DiscHalfWayBackFacingLeft) {
    draw_walk_frame(1500);
    expect_voxels(sprite_chomper_left, -5.0);
    expect_extent(sprite_chomper_left, -5.0);
}

} // namespace
