// The show's ten pictures: their palettes, the shapes their descriptions promise, and the
// creature whose four quarters make one picture.
#include "gfx/sprites.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// Palette index at stored row (0 = top) and column (0 = left).
int at(const VoxelSprite& sprite, int row, int column) {
    return sprite.indices[16 * row + column];
}

// The palette indices used in stored rows [row0, row1] and columns [column0, column1].
std::set<int> used(const VoxelSprite& sprite, int row0, int row1, int column0 = 0,
                   int column1 = 15) {
    std::set<int> indices;
    for (int row = row0; row <= row1; ++row) {
        for (int column = column0; column <= column1; ++column) {
            if (at(sprite, row, column) != 0) {
                indices.insert(at(sprite, row, column));
            }
        }
    }
    return indices;
}

struct Entry {
    const char* name;
    const VoxelSprite* sprite;
    ColorRgb stored[3];
    PackedColor drawn[3];
};

const Entry CATALOGUE[] = {
    {"figure",
     &sprite_figure,
     {{1.0f, 0.0f, 0.0f}, {0.6f, 0.6f, 0.0f}, {0.8f, 0.8f, 0.0f}},
     {0xFF0000, 0x999900, 0xCCCC00}},
    {"mushroom creature",
     &sprite_mushroom_creature,
     {{1.0f, 0.0f, 0.0f}, {0.2f, 0.2f, 0.0f}, {0.8f, 0.8f, 0.8f}},
     {0xFF0000, 0x333300, 0xCCCCCC}},
    {"tank",
     &sprite_tank,
     {{0.64f, 0.5f, 0.0f}, {1.0f, 0.6f, 0.25f}, {1.0f, 0.9f, 0.5f}},
     {0xA37F00, 0xFF993F, 0xFFE57F}},
    {"spotted mushroom",
     &sprite_spotted_mushroom,
     {{0.92f, 0.4f, 0.08f}, {0.95f, 0.88f, 0.77f}, {1.0f, 1.0f, 1.0f}},
     {0xEA6614, 0xF2E0C4, 0xFFFFFF}},
    {"chomper right",
     &sprite_chomper_right,
     {{1.0f, 1.0f, 0.0f}, {0.6f, 0.6f, 0.0f}, {0.8f, 0.8f, 0.0f}},
     {0xFFFF00, 0x999900, 0xCCCC00}},
    {"chomper left",
     &sprite_chomper_left,
     {{1.0f, 1.0f, 0.0f}, {0.6f, 0.6f, 0.0f}, {0.8f, 0.8f, 0.0f}},
     {0xFFFF00, 0x999900, 0xCCCC00}},
    {"beast top left",
     &sprite_beast_top_left,
     {{1.0f, 0.5f, 0.0f}, {1.0f, 1.0f, 1.0f}, {0.5f, 0.8f, 0.0f}},
     {0xFF7F00, 0xFFFFFF, 0x7FCC00}},
    {"beast bottom left",
     &sprite_beast_bottom_left,
     {{1.0f, 0.5f, 0.0f}, {1.0f, 1.0f, 1.0f}, {0.5f, 0.8f, 0.0f}},
     {0xFF7F00, 0xFFFFFF, 0x7FCC00}},
    {"beast top right",
     &sprite_beast_top_right,
     {{1.0f, 0.5f, 0.0f}, {1.0f, 1.0f, 1.0f}, {0.5f, 0.8f, 0.0f}},
     {0xFF7F00, 0xFFFFFF, 0x7FCC00}},
    {"beast bottom right",
     &sprite_beast_bottom_right,
     {{1.0f, 0.5f, 0.0f}, {1.0f, 1.0f, 1.0f}, {0.5f, 0.8f, 0.0f}},
     {0xFF7F00, 0xFFFFFF, 0x7FCC00}},
};

TEST(SpriteCatalogue, EveryPictureUsesIndicesZeroToThreeAndHasItsPalette) {
    EXPECT_EQ(sprite_voxel_size, 0.5f);
    for (const Entry& entry : CATALOGUE) {
        SCOPED_TRACE(entry.name);
        const VoxelSprite& sprite = *entry.sprite;
        int set = 0;
        for (std::uint8_t index : sprite.indices) {
            EXPECT_LE(index, 3);
            set += index != 0 ? 1 : 0;
        }
        EXPECT_GT(set, 0);
        EXPECT_EQ(sprite.palette[0].r, 0.0f);
        EXPECT_EQ(sprite.palette[0].g, 0.0f);
        EXPECT_EQ(sprite.palette[0].b, 0.0f);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(sprite.palette[k + 1].r, entry.stored[k].r) << "entry " << k + 1;
            EXPECT_EQ(sprite.palette[k + 1].g, entry.stored[k].g) << "entry " << k + 1;
            EXPECT_EQ(sprite.palette[k + 1].b, entry.stored[k].b) << "entry " << k + 1;
            EXPECT_EQ(pack_color(sprite.palette[k + 1]), entry.drawn[k]) << "entry " << k + 1;
        }
    }
}

// A red cap, a face and hair in the two yellows, red overalls and a dark-yellow shirt with
// bright-yellow hands at both sides, then legs and dark-yellow shoes.
TEST(SpriteCatalogue, FigureStandsCapToShoes) {
    const VoxelSprite& s = sprite_figure;
    EXPECT_EQ(used(s, 0, 1), (std::set<int>{1}));
    EXPECT_EQ(used(s, 2, 6), (std::set<int>{2, 3}));
    EXPECT_EQ(used(s, 7, 12), (std::set<int>{1, 2, 3}));
    EXPECT_EQ(used(s, 7, 12, 0, 4).count(3), 1u) << "hand on the left";
    EXPECT_EQ(used(s, 7, 12, 11, 15).count(3), 1u) << "hand on the right";
    EXPECT_FALSE(used(s, 13, 14).empty());
    EXPECT_EQ(used(s, 15, 15), (std::set<int>{2})) << "shoes";
}

// A red head with grey-and-olive eyes over an olive body standing on two grey feet.
TEST(SpriteCatalogue, MushroomCreatureHasHeadBodyAndFeet) {
    const VoxelSprite& s = sprite_mushroom_creature;
    EXPECT_EQ(used(s, 0, 9), (std::set<int>{1, 2, 3}));
    EXPECT_EQ(used(s, 10, 15).count(1), 0u);
    EXPECT_EQ(used(s, 10, 11), (std::set<int>{2}));
    EXPECT_EQ(used(s, 12, 14), (std::set<int>{2, 3}));
    EXPECT_EQ(used(s, 15, 15), (std::set<int>{3}));
    EXPECT_FALSE(used(s, 12, 15, 0, 7).empty());
    EXPECT_FALSE(used(s, 12, 15, 8, 15).empty());
}

// Two striped tracks, and the gun a single column rising above the hull.
TEST(SpriteCatalogue, TankHasStripedTracksAndOneColumnGun) {
    const VoxelSprite& s = sprite_tank;
    for (int left : {1, 11}) {
        for (int row = 4; row <= 14; ++row) {
            for (int column = left; column < left + 3; ++column) {
                EXPECT_NE(at(s, row, column), 0) << row << ", " << column;
            }
            if (row > 4) {
                EXPECT_NE(at(s, row, left + 1), at(s, row - 1, left + 1)) << "stripe " << row;
            }
        }
        EXPECT_TRUE(used(s, 0, 3, left, left + 2).empty());
        EXPECT_TRUE(used(s, 15, 15, left, left + 2).empty());
    }
    for (int row = 2; row <= 6; ++row) {
        EXPECT_NE(at(s, row, 7), 0) << "barrel row " << row;
    }
    EXPECT_TRUE(used(s, 0, 1).empty());
    EXPECT_TRUE(used(s, 2, 3, 0, 6).empty());
    EXPECT_TRUE(used(s, 2, 3, 8, 15).empty());
}

// An orange cap with beige spots over a white stem.
TEST(SpriteCatalogue, SpottedMushroomHasSpottedCapOnWhiteStem) {
    const VoxelSprite& s = sprite_spotted_mushroom;
    EXPECT_EQ(used(s, 0, 10), (std::set<int>{1, 2}));
    EXPECT_EQ(used(s, 11, 15), (std::set<int>{3}));
}

// The two discs are mirror images, pixel for pixel; only the yellow is used. Away from the mouth
// the disc is symmetric left to right; in rows 6 to 9 the mouth leaves the right side open.
TEST(SpriteCatalogue, ChompersAreMirroredDiscsWithTheirMouthsOnOppositeSides) {
    int right_count = 0;
    int left_count = 0;
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < 16; ++column) {
            EXPECT_EQ(at(sprite_chomper_left, row, column),
                      at(sprite_chomper_right, row, 15 - column))
                << row << ", " << column;
            right_count += at(sprite_chomper_right, row, column) != 0 ? 1 : 0;
            left_count += at(sprite_chomper_left, row, column) != 0 ? 1 : 0;
        }
    }
    EXPECT_EQ(right_count, left_count);
    EXPECT_EQ(used(sprite_chomper_right, 0, 15), (std::set<int>{1}));

    const VoxelSprite& s = sprite_chomper_right;
    EXPECT_FALSE(used(s, 0, 0).empty());
    EXPECT_FALSE(used(s, 15, 15).empty());
    for (int row = 0; row < 16; ++row) {
        const bool mouth_row = row >= 6 && row <= 9;
        int mismatched = 0;
        for (int column = 0; column < 8; ++column) {
            mismatched += (at(s, row, column) != 0) != (at(s, row, 15 - column) != 0) ? 1 : 0;
        }
        if (mouth_row) {
            EXPECT_NE(at(s, row, 0), 0) << "left edge of row " << row;
            EXPECT_EQ(at(s, row, 15), 0) << "mouth in row " << row;
        } else {
            EXPECT_EQ(mismatched, 0) << "row " << row;
        }
    }
    EXPECT_NE(at(s, 5, 15), 0);
    EXPECT_NE(at(s, 10, 15), 0);
}

// The four quarters laid out as the falling scene places them make one 32 x 32 picture: one
// shape in all three colours, touching across the seams, with the bottom-left quarter empty
// below its top eight rows and the top-right quarter above its bottom eight.
TEST(SpriteCatalogue, BeastQuartersJoinIntoOneCreature) {
    EXPECT_TRUE(used(sprite_beast_bottom_left, 8, 15).empty());
    EXPECT_FALSE(used(sprite_beast_bottom_left, 0, 7).empty());
    EXPECT_TRUE(used(sprite_beast_top_right, 0, 7).empty());
    EXPECT_FALSE(used(sprite_beast_top_right, 8, 15).empty());

    int picture[32][32] = {};
    const VoxelSprite* quarters[2][2] = {{&sprite_beast_top_left, &sprite_beast_top_right},
                                         {&sprite_beast_bottom_left, &sprite_beast_bottom_right}};
    std::set<int> colours;
    for (int row = 0; row < 32; ++row) {
        for (int column = 0; column < 32; ++column) {
            picture[row][column] = at(*quarters[row / 16][column / 16], row % 16, column % 16);
            if (picture[row][column] != 0) {
                colours.insert(picture[row][column]);
            }
        }
    }
    EXPECT_EQ(colours, (std::set<int>{1, 2, 3}));

    // Flood the shape from its first pixel through the eight neighbours of each pixel.
    bool reached[32][32] = {};
    std::vector<std::pair<int, int>> todo;
    int total = 0;
    for (int row = 0; row < 32; ++row) {
        for (int column = 0; column < 32; ++column) {
            if (picture[row][column] != 0) {
                ++total;
                if (total == 1) {
                    todo.push_back({row, column});
                    reached[row][column] = true;
                }
            }
        }
    }
    int count = 0;
    while (!todo.empty()) {
        const std::pair<int, int> p = todo.back();
        todo.pop_back();
        ++count;
        for (int dr = -1; dr <= 1; ++dr) {
            for (int dc = -1; dc <= 1; ++dc) {
                const int r = p.first + dr;
                const int c = p.second + dc;
                if (r >= 0 && r < 32 && c >= 0 && c < 32 && picture[r][c] != 0 && !reached[r][c]) {
                    reached[r][c] = true;
                    todo.push_back({r, c});
                }
            }
        }
    }
    EXPECT_EQ(count, total) << "pixels not joined to the rest of the creature";
}

} // namespace
