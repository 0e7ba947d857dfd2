#include "gfx/sprites.h"
#include "show/scenes.h"
#include "tests/support/gl_recorder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// The generator as the show defines it, kept apart from the program's own so the tests can say
// which values a banner must have drawn.
struct ReferenceGenerator {
    std::uint32_t state;
    int next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFFu);
    }
};

// The state to leave the generator in so that its next value is `value`: pick the state that
// yields it and undo one step with the multiplier's inverse modulo 2^32.
std::uint32_t state_before_value(int value) {
    const std::uint32_t multiplier = 214013u;
    std::uint32_t inverse = multiplier; // correct to 3 bits for any odd number
    for (int i = 0; i < 5; ++i) {
        inverse *= 2u - multiplier * inverse; // each step doubles the correct bits
    }
    const std::uint32_t wanted = static_cast<std::uint32_t>(value) << 16 | 0x4321u;
    return (wanted - 2531011u) * inverse;
}

float jitter_of(int value) {
    return static_cast<float>((value % 2000) / 200.0);
}

struct Sphere {
    float x;
    float y;
    float z;
    bool operator<(const Sphere& other) const {
        return std::make_pair(x, y) < std::make_pair(other.x, other.y);
    }
};

struct Translation {
    float x;
    float y;
    float z;
};

// Follows the recorded translations through the matrix stack (the banners only translate) and
// returns each sphere's centre in the coordinates the drawing started in.
std::vector<Sphere> sphere_centres() {
    std::vector<Sphere> spheres;
    std::vector<Sphere> stack{{0.0f, 0.0f, 0.0f}};
    for (const GlCall& call : gl_recorder::calls) {
        switch (call.op) {
        case GlOp::PushMatrix:
            stack.push_back(stack.back());
            break;
        case GlOp::PopMatrix:
            stack.pop_back();
            break;
        case GlOp::Translatef:
            stack.back().x += call.f[0];
            stack.back().y += call.f[1];
            stack.back().z += call.f[2];
            break;
        case GlOp::Sphere:
            spheres.push_back(stack.back());
            break;
        default:
            break;
        }
    }
    return spheres;
}

// The per-cell translations, in the order drawn: those made at the deepest matrix level.
std::vector<Translation> cell_translations() {
    std::vector<std::pair<int, Translation>> all;
    int depth = 0;
    int deepest = 0;
    for (const GlCall& call : gl_recorder::calls) {
        depth += call.op == GlOp::PushMatrix ? 1 : call.op == GlOp::PopMatrix ? -1 : 0;
        deepest = depth > deepest ? depth : deepest;
        if (call.op == GlOp::Translatef) {
            all.push_back({depth, {call.f[0], call.f[1], call.f[2]}});
        }
    }
    std::vector<Translation> cells;
    for (const auto& translation : all) {
        if (translation.first == deepest) {
            cells.push_back(translation.second);
        }
    }
    return cells;
}

class SphereBanner : public ::testing::Test {
  protected:
    void SetUp() override {
        quadric_sphere = gluNewQuadric();
        gl_recorder::reset();
        random_state = 1;
    }
};

std::vector<SphereBannerCell> empty_grid(int letters) {
    return std::vector<SphereBannerCell>(static_cast<std::size_t>(8 * 7 * letters), 0);
}

TEST_F(SphereBanner, EverySetCellIsOneSphereAtItsPixel) {
    std::vector<SphereBannerCell> grid = empty_grid(2);
    // Row 0 column 0 (top left), row 7 column 13 (bottom right), row 3 column 8.
    grid[0] = 1;
    grid[7 * 14 + 13] = 1;
    grid[3 * 14 + 8] = 1;
    draw_sphere_banner(grid.data(), 2);

    const std::vector<GlCall> drawn = gl_recorder::of(GlOp::Sphere);
    ASSERT_EQ(drawn.size(), 3u);
    for (const GlCall& call : drawn) {
        EXPECT_EQ(call.quadric, quadric_sphere);
        EXPECT_EQ(call.d[0], 0.8);
        EXPECT_EQ(call.i[0], 8);
        EXPECT_EQ(call.i[1], 8);
    }
    // Two letters start at x = -8; the pitch is 2 and the top row stands at y = 14.
    const std::vector<Sphere> centres = sphere_centres();
    EXPECT_EQ(centres[0].x, -8.0f);
    EXPECT_EQ(centres[0].y, 14.0f);
    EXPECT_EQ(centres[1].x, 8.0f);
    EXPECT_EQ(centres[1].y, 8.0f);
    EXPECT_EQ(centres[2].x, 18.0f);
    EXPECT_EQ(centres[2].y, 0.0f);

    EXPECT_EQ(gl_recorder::count(GlOp::PushMatrix), 1u + 112u);
    EXPECT_EQ(gl_recorder::matrix_depth, 0);
    EXPECT_EQ(gl_recorder::min_matrix_depth, 0);
    EXPECT_EQ(gl_recorder::count(GlOp::Color3f), 0u) << "the spheres keep the current colour";
}

TEST_F(SphereBanner, FirstColumnFollowsTheLetterCount) {
    // n = 1 puts the first column at x = 0 and the last at 12; n = 2 at -8 and 18.
    const std::pair<int, std::pair<float, float>> cases[] = {{1, {0.0f, 12.0f}},
                                                             {2, {-8.0f, 18.0f}}};
    for (const auto& c : cases) {
        gl_recorder::reset();
        std::vector<SphereBannerCell> grid(static_cast<std::size_t>(56 * c.first), 1);
        draw_sphere_banner(grid.data(), c.first);
        const std::vector<Sphere> centres = sphere_centres();
        ASSERT_EQ(centres.size(), grid.size());
        EXPECT_EQ(centres.front().x, c.second.first) << c.first << " letters";
        EXPECT_EQ(centres.front().y, 14.0f);
        EXPECT_EQ(centres.back().x, c.second.second) << c.first << " letters";
        EXPECT_EQ(centres.back().y, 0.0f);
    }
}

TEST_F(SphereBanner, EveryCellDrawsOneValueWhatEverItHolds) {
    // Values other than 1 leave the pixel empty, but each cell still takes its random depth
    // before it is tested, in storage order.
    std::vector<SphereBannerCell> grid(56, 2);
    grid[10] = 0;
    grid[11] = -1;
    grid[40] = 1;
    random_state = 12345;
    ReferenceGenerator reference{12345};
    draw_sphere_banner(grid.data(), 1);

    ASSERT_EQ(gl_recorder::count(GlOp::Sphere), 1u);
    std::vector<float> expected_jitter;
    expected_jitter.reserve(56);
    for (int i = 0; i < 56; ++i) {
        expected_jitter.push_back(jitter_of(reference.next()));
    }
    EXPECT_EQ(random_state, reference.state) << "one value per cell, 56 in all";
    const std::vector<Translation> cells = cell_translations();
    ASSERT_EQ(cells.size(), 56u);
    for (int i = 0; i < 56; ++i) {
        EXPECT_EQ(cells[i].z, expected_jitter[i]) << "cell " << i;
    }
    EXPECT_EQ(sphere_centres()[0].z, expected_jitter[40]);
}

TEST_F(SphereBanner, AnEmptyGridStillAdvancesTheGenerator) {
    const std::vector<SphereBannerCell> grid = empty_grid(3);
    random_state = 777;
    ReferenceGenerator reference{777};
    for (int i = 0; i < 56 * 3; ++i) {
        reference.next();
    }
    draw_sphere_banner(grid.data(), 3);
    EXPECT_EQ(gl_recorder::count(GlOp::Sphere), 0u);
    EXPECT_EQ(random_state, reference.state);
}

TEST_F(SphereBanner, NoLettersDrawNothingAndDrawNoValues) {
    random_state = 99;
    // No cell exists, so the grid is never read.
    draw_sphere_banner(nullptr, 0);
    EXPECT_EQ(random_state, 99u);
    EXPECT_EQ(gl_recorder::count(GlOp::Sphere), 0u);
    EXPECT_EQ(gl_recorder::count(GlOp::Translatef), 1u);
    EXPECT_EQ(gl_recorder::matrix_depth, 0);
}

TEST_F(SphereBanner, JitterIsTheValueModulo2000Over200) {
    const std::pair<int, float> cases[] = {
        {1999, static_cast<float>(9.995)},
        {2000, 0.0f},
        {0, 0.0f},
        {3999, static_cast<float>(9.995)},
        {32767, static_cast<float>(3.835)},
    };
    std::vector<SphereBannerCell> grid = empty_grid(1);
    grid[0] = 1;
    for (const auto& c : cases) {
        random_state = state_before_value(c.first);
        ReferenceGenerator check{random_state};
        ASSERT_EQ(check.next(), c.first) << "the test's own state search";
        gl_recorder::reset();
        draw_sphere_banner(grid.data(), 1);
        ASSERT_EQ(gl_recorder::count(GlOp::Sphere), 1u);
        EXPECT_EQ(sphere_centres()[0].z, c.second) << "value " << c.first;
    }
}

TEST_F(SphereBanner, FramesKeepThePlacesAndChangeTheDepths) {
    draw_sphere_banner(banner_2, 6);
    const std::vector<Sphere> first = sphere_centres();
    gl_recorder::reset();
    draw_sphere_banner(banner_2, 6);
    const std::vector<Sphere> second = sphere_centres();

    ASSERT_EQ(first.size(), second.size());
    ASSERT_FALSE(first.empty());
    int depth_changes = 0;
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].x, second[i].x);
        EXPECT_EQ(first[i].y, second[i].y);
        depth_changes += first[i].z != second[i].z ? 1 : 0;
    }
    EXPECT_GT(depth_changes, static_cast<int>(first.size()) / 2);
}

struct BannerScene {
    void (*draw)(std::int32_t);
    const SphereBannerCell* table;
    int letters;
};

const BannerScene banner_scenes[] = {
    {draw_banner_scene_1, banner_1, 4},
    {draw_banner_scene_2, banner_2, 6},
    {draw_banner_scene_3, banner_3, 2},
    {draw_banner_scene_4, banner_4, 6},
};

int set_cells(const SphereBannerCell* table, int letters) {
    int count = 0;
    for (int i = 0; i < 56 * letters; ++i) {
        count += table[i] == 1 ? 1 : 0;
    }
    return count;
}

TEST_F(SphereBanner, EachSceneDrawsItsTable90UnitsAway) {
    for (const BannerScene& scene : banner_scenes) {
        gl_recorder::reset();
        ReferenceGenerator reference{random_state};
        for (int i = 0; i < 56 * scene.letters; ++i) {
            reference.next();
        }
        scene.draw(1234);

        const std::vector<GlCall>& calls = gl_recorder::calls;
        ASSERT_GE(calls.size(), 2u);
        EXPECT_EQ(calls[0].op, GlOp::PushMatrix);
        ASSERT_EQ(calls[1].op, GlOp::Translatef);
        EXPECT_EQ(calls[1].f[0], 0.0f);
        EXPECT_EQ(calls[1].f[1], 0.0f);
        EXPECT_EQ(calls[1].f[2], -90.0f);
        EXPECT_EQ(calls.back().op, GlOp::PopMatrix);
        EXPECT_EQ(gl_recorder::matrix_depth, 0);
        EXPECT_EQ(gl_recorder::min_matrix_depth, 0);
        EXPECT_EQ(gl_recorder::count(GlOp::Color3f), 0u);
        EXPECT_EQ(random_state, reference.state) << scene.letters << " letters";

        const std::vector<Sphere> centres = sphere_centres();
        EXPECT_EQ(static_cast<int>(centres.size()), set_cells(scene.table, scene.letters));
        for (const Sphere& centre : centres) {
            EXPECT_GE(centre.z, -90.0f);
            EXPECT_LE(centre.z, static_cast<float>(-80.005));
            EXPECT_GE(centre.x, static_cast<float>(8 - 8 * scene.letters));
            EXPECT_LE(centre.x, static_cast<float>(6 + 6 * scene.letters));
        }
    }
}

TEST_F(SphereBanner, ScenesContinueTheGeneratorsSequence) {
    // Whatever the scenes before left in the generator, the next banner carries on from there,
    // and one banner scene hands on to the next without a break.
    const std::uint32_t left_by_earlier_scenes = 0x9E3779B9u;
    random_state = left_by_earlier_scenes;
    ReferenceGenerator reference{left_by_earlier_scenes};
    std::vector<float> expected;
    expected.reserve(56 * (4 + 6));
    for (int i = 0; i < 56 * (4 + 6); ++i) {
        expected.push_back(jitter_of(reference.next()));
    }
    draw_banner_scene_1(0);
    draw_banner_scene_2(0);

    const std::vector<Translation> cells = cell_translations();
    ASSERT_EQ(cells.size(), 224u + 336u);
    std::vector<float> depths;
    depths.reserve(cells.size());
    for (const Translation& cell : cells) {
        depths.push_back(cell.z);
    }
    EXPECT_EQ(depths, expected);
}

TEST_F(SphereBanner, DepthsFollowOnFromTheOrbitScene) {
    // The orbit scene's sphere colours and the banners' depths share one sequence: after one
    // orbit frame (6600 values from the start of the show) the first banner carries on from the
    // 6601st value.
    ReferenceGenerator reference{1};
    for (int i = 0; i < 6600; ++i) {
        reference.next();
    }
    std::vector<float> expected;
    expected.reserve(56 * 4);
    for (int i = 0; i < 56 * 4; ++i) {
        expected.push_back(jitter_of(reference.next()));
    }

    draw_scene_orbit(0);
    gl_recorder::reset();
    draw_banner_scene_1(0);

    std::vector<float> depths;
    for (const Translation& cell : cell_translations()) {
        depths.push_back(cell.z);
    }
    EXPECT_EQ(depths, expected);
}

// What each table spells.
struct Lettering {
    const SphereBannerCell* table;
    const char* text;
};

const Lettering letterings[] = {
    {banner_1, "Tiny"},
    {banner_2, "Voxels"},
    {banner_3, "by"},
    {banner_4, "Coders"},
};

std::vector<std::string> glyph_of(const SphereBannerCell* table, int letters, int letter) {
    std::vector<std::string> rows;
    for (int row = 0; row < 8; ++row) {
        std::string line;
        for (int column = 0; column < 7; ++column) {
            line += table[row * 7 * letters + letter * 7 + column] == 1 ? '#' : '.';
        }
        rows.push_back(line);
    }
    return rows;
}

TEST(BannerTables, HoldOnlyZeroAndOne) {
    for (const Lettering& lettering : letterings) {
        const int letters = static_cast<int>(std::strlen(lettering.text));
        for (int i = 0; i < 56 * letters; ++i) {
            const SphereBannerCell cell = lettering.table[i];
            EXPECT_TRUE(cell == 0 || cell == 1) << lettering.text << " cell " << i;
        }
    }
}

TEST(BannerTables, ByIsTheGivenGrid) {
    const char* const rows[8] = {
        "10000000000000", "10000000000000", "10000001000010", "11111001000010",
        "10000101111110", "10000100000010", "11111000000010", "00000001111100",
    };
    for (int row = 0; row < 8; ++row) {
        for (int column = 0; column < 14; ++column) {
            EXPECT_EQ(banner_3[row * 14 + column], rows[row][column] - '0')
                << "row " << row << " column " << column;
        }
    }
}

// The font: glyphs in the first 6 columns of their cell, the 7th left as the gap; bodies in rows
// 0 to 6 with row 7 for descenders only; lower-case letters without ascenders keep rows 0 and 1
// clear (but for the dot of i and j); and a letter looks the same wherever it appears.
TEST(BannerTables, LetteringKeepsToTheFont) {
    const std::string descenders = "gjpqy";
    const std::string x_height_only = "acemnorsuvwxz";
    std::vector<std::pair<char, std::vector<std::string>>> seen;
    for (const Lettering& lettering : letterings) {
        const int letters = static_cast<int>(std::strlen(lettering.text));
        for (int letter = 0; letter < letters; ++letter) {
            const char name = lettering.text[letter];
            const std::vector<std::string> glyph = glyph_of(lettering.table, letters, letter);
            const std::string where = std::string(lettering.text) + " letter '" + name + "'";
            int set = 0;
            for (int row = 0; row < 8; ++row) {
                EXPECT_EQ(glyph[row][6], '.') << where << " row " << row << " fills the gap";
                for (char pixel : glyph[row]) {
                    set += pixel == '#' ? 1 : 0;
                }
            }
            EXPECT_GT(set, 0) << where << " is blank";
            const bool descends = descenders.find(name) != std::string::npos;
            EXPECT_EQ(glyph[7] != ".......", descends) << where << " row 7";
            if (x_height_only.find(name) != std::string::npos) {
                EXPECT_EQ(glyph[0], ".......") << where << " rises above the x-height";
                EXPECT_EQ(glyph[1], ".......") << where << " rises above the x-height";
            }
            for (const auto& earlier : seen) {
                if (earlier.first == name) {
                    EXPECT_EQ(earlier.second, glyph) << where << " drawn two ways";
                }
            }
            seen.emplace_back(name, glyph);
        }
    }
}

} // namespace
