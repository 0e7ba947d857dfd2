// The show's pictures. Each is written as its rows, top first: '.' is an empty pixel and '1' to
// '3' pick palette entries 1 to 3. The rows are turned into index bytes while compiling, so a
// stray character or a row of the wrong length stops the build.
#include "gfx/sprites.h"

#include <cstddef>

const float sprite_voxel_size = 0.5f;

namespace {

constexpr std::uint8_t pixel_index(char pixel) {
    return pixel == '.'                     ? 0
           : (pixel >= '1' && pixel <= '3') ? static_cast<std::uint8_t>(pixel - '0')
                                            : throw "a picture pixel is '.', '1', '2' or '3'";
}

// The 16 x 16 block of a square picture whose top-left pixel is at (left, top), with the colours
// of palette entries 1 to 3 (entry 0 stays black and is never drawn).
template <std::size_t N>
constexpr VoxelSprite picture(const char* const (&rows)[N], std::size_t left, std::size_t top,
                              const ColorRgb (&colors)[3]) {
    VoxelSprite sprite{};
    for (std::size_t r = 0; r < N; ++r) {
        for (std::size_t c = 0; c < N; ++c) {
            if (rows[r][c] == '\0') {
                throw "a picture row is as long as the picture is high";
            }
        }
        if (rows[r][N] != '\0') {
            throw "a picture row is as long as the picture is high";
        }
    }
    for (std::size_t r = 0; r < 16; ++r) {
        for (std::size_t c = 0; c < 16; ++c) {
            sprite.indices[16 * r + c] = pixel_index(rows[top + r][left + c]);
        }
    }
    sprite.palette[0] = {0.0f, 0.0f, 0.0f};
    for (std::size_t k = 0; k < 3; ++k) {
        sprite.palette[k + 1] = colors[k];
    }
    return sprite;
}

template <std::size_t N>
constexpr VoxelSprite picture(const char* const (&rows)[N], const ColorRgb (&colors)[3]) {
    static_assert(N == 16, "a whole sprite is 16 rows");
    return picture(rows, 0, 0, colors);
}

// Red cap and overalls, dark-yellow hair, shirt and shoes, bright-yellow skin.
constexpr ColorRgb FIGURE_COLORS[3] = {{1.0f, 0.0f, 0.0f}, {0.6f, 0.6f, 0.0f}, {0.8f, 0.8f, 0.0f}};
// clang-format off
constexpr const char* FIGURE[16] = {
    ".....11111......",
    "....111111111...",
    "....22233323....",
    "...23233332333..",
    "...232233333333.",
    "...22333332222..",
    ".....33333333...",
    "....22122122....",
    "...2221221222...",
    "..222211112222..",
    "..332112211233..",
    "..333111111333..",
    "..331111111133..",
    "....111..111....",
    "....222...222...",
    "....2222..2222..",
};
// clang-format on

// Red head, dark-olive pupils, brows and body, light-grey eyes and feet.
constexpr ColorRgb MUSHROOM_CREATURE_COLORS[3] = {
    {1.0f, 0.0f, 0.0f}, {0.2f, 0.2f, 0.0f}, {0.8f, 0.8f, 0.8f}};
// clang-format off
constexpr const char* MUSHROOM_CREATURE[16] = {
    "......1111......",
    "....11111111....",
    "...1111111111...",
    "..112211112211..",
    ".11133111133111.",
    "1111321111231111",
    "1111321111231111",
    "1111111111111111",
    ".11111111111111.",
    "..111111111111..",
    ".....222222.....",
    "....22222222....",
    "..332222222233..",
    ".33332222223333.",
    ".33333222233333.",
    ".3333......3333.",
};
// clang-format on

// Seen from above, gun to the top: brown and pale-yellow track links, orange hull.
constexpr ColorRgb TANK_COLORS[3] = {{0.64f, 0.5f, 0.0f}, {1.0f, 0.6f, 0.25f}, {1.0f, 0.9f, 0.5f}};
// clang-format off
constexpr const char* TANK[16] = {
    "................",
    "................",
    ".......1........",
    ".......1........",
    ".333...1...333..",
    ".1112221222111..",
    ".3332221222333..",
    ".1112211122111..",
    ".3332133312333..",
    ".1112131312111..",
    ".3332133312333..",
    ".1112211122111..",
    ".3332222222333..",
    ".1112121212111..",
    ".333.......333..",
    "................",
};
// clang-format on

// Orange cap with beige spots on a white stem shaded beige.
constexpr ColorRgb SPOTTED_MUSHROOM_COLORS[3] = {
    {0.92f, 0.4f, 0.08f}, {0.95f, 0.88f, 0.77f}, {1.0f, 1.0f, 1.0f}};
// clang-format off
constexpr const char* SPOTTED_MUSHROOM[16] = {
    ".....111111.....",
    "...1112222111...",
    "..111222222111..",
    ".11111222211111.",
    ".12211111111221.",
    "1222111111112221",
    "1222111221112221",
    "1221112222111221",
    "1111112222111111",
    "1111111221111111",
    ".11111111111111.",
    "....33333333....",
    "...3333333333...",
    "...3333333333...",
    "...3333333333...",
    "....33333333....",
};
// clang-format on

// Only entry 1 is drawn; the two darker yellows are in the palette but no pixel uses them.
constexpr ColorRgb CHOMPER_COLORS[3] = {{1.0f, 1.0f, 0.0f}, {0.6f, 0.6f, 0.0f}, {0.8f, 0.8f, 0.0f}};
// clang-format off
constexpr const char* CHOMPER_RIGHT[16] = {
    ".....111111.....",
    "...1111111111...",
    "..111111111111..",
    ".11111111111111.",
    ".11111111111111.",
    "1111111111111111",
    "111111111111....",
    "11111111........",
    "11111111........",
    "111111111111....",
    "1111111111111111",
    ".11111111111111.",
    ".11111111111111.",
    "..111111111111..",
    "...1111111111...",
    ".....111111.....",
};
// clang-format on
// The same disc mirrored, column for column.
// clang-format off
constexpr const char* CHOMPER_LEFT[16] = {
    ".....111111.....",
    "...1111111111...",
    "..111111111111..",
    ".11111111111111.",
    ".11111111111111.",
    "1111111111111111",
    "....111111111111",
    "........11111111",
    "........11111111",
    "....111111111111",
    "1111111111111111",
    ".11111111111111.",
    ".11111111111111.",
    "..111111111111..",
    "...1111111111...",
    ".....111111.....",
};
// clang-format on

// Orange mane, belly and shell rim, white horns, teeth, spikes and claws, green hide. The scene
// draws it as four 16 x 16 quarters; the bottom-left quarter is empty below its top eight rows and
// the top-right quarter above its bottom eight.
constexpr ColorRgb BEAST_COLORS[3] = {{1.0f, 0.5f, 0.0f}, {1.0f, 1.0f, 1.0f}, {0.5f, 0.8f, 0.0f}};
// clang-format off
constexpr const char* BEAST[32] = {
    "...2.....2......................",
    "...22....22..1..................",
    "....22...22.11..................",
    "...333333331111.................",
    "..31111133331111................",
    ".3322223333111..................",
    ".33332233331111.................",
    "3333322333331111................",
    "33333333333111.........2...2....",
    "313333333331111....2..222.222...",
    "3333333333331111..2223333333..2.",
    "3333333333331133..33313333133222",
    "1212121212131113.33331323313333.",
    "11111111111322222323312223133233",
    ".1212121211311111222313333132223",
    ".3333333333311111333313333133333",
    "..333333333322222333313333133333",
    "...33333333311111111111111111111",
    ".....333333311111331333313333133",
    "...22233333333222231332313323123",
    ".....333333333111221322213222222",
    "..222333333333111331333313333133",
    ".....233333333222331333313333133",
    "...222....3311111331333313333133",
    "................1111111111111111",
    ".................11111111111111.",
    ".................33333...33333..",
    ".................33333...33333..",
    ".................33333...33333..",
    ".................33333...33333..",
    "................3333333.3333333.",
    "................2.2.2...2.2.2...",
};
// clang-format on

} // namespace

constexpr VoxelSprite sprite_figure = picture(FIGURE, FIGURE_COLORS);
constexpr VoxelSprite sprite_mushroom_creature =
    picture(MUSHROOM_CREATURE, MUSHROOM_CREATURE_COLORS);
constexpr VoxelSprite sprite_tank = picture(TANK, TANK_COLORS);
constexpr VoxelSprite sprite_spotted_mushroom = picture(SPOTTED_MUSHROOM, SPOTTED_MUSHROOM_COLORS);
constexpr VoxelSprite sprite_chomper_right = picture(CHOMPER_RIGHT, CHOMPER_COLORS);
constexpr VoxelSprite sprite_chomper_left = picture(CHOMPER_LEFT, CHOMPER_COLORS);
constexpr VoxelSprite sprite_beast_top_left = picture(BEAST, 0, 0, BEAST_COLORS);
constexpr VoxelSprite sprite_beast_bottom_left = picture(BEAST, 0, 16, BEAST_COLORS);
constexpr VoxelSprite sprite_beast_top_right = picture(BEAST, 16, 0, BEAST_COLORS);
constexpr VoxelSprite sprite_beast_bottom_right = picture(BEAST, 16, 16, BEAST_COLORS);
