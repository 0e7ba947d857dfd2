// The lettering of the four closing scenes, one table per scene. Each row is written as text so
// the letters can be read here: '#' places a sphere, '.' leaves the pixel empty.
//
// The font: each letter owns a cell 7 pixels wide and 8 tall. The glyph uses the cell's first 6
// columns and leaves the 7th as the gap to the next letter. Capitals and ascenders stand in rows
// 0 to 6, the lower-case body in rows 2 to 6, and row 7 holds only descenders.
#include "gfx/sprites.h"

#include <cstddef>

namespace {

// One pixel of a text row. A row of the wrong width or a character other than '#' and '.' is
// not a constant expression, so the table that holds it fails to compile.
template <std::size_t N>
constexpr SphereBannerCell pixel(const char (&row)[N], std::size_t width, std::size_t column) {
    if (N - 1 != width) {
        throw "banner row of the wrong width";
    }
    if (row[column] != '#' && row[column] != '.') {
        throw "banner pixel is neither '#' nor '.'";
    }
    return row[column] == '#' ? 1 : 0;
}

} // namespace

#define LETTER_ROW(row, width, first)                                                              \
    pixel(row, width, (first)), pixel(row, width, (first) + 1), pixel(row, width, (first) + 2),    \
        pixel(row, width, (first) + 3), pixel(row, width, (first) + 4),                            \
        pixel(row, width, (first) + 5), pixel(row, width, (first) + 6)
#define ROW_14(row) LETTER_ROW(row, 14, 0), LETTER_ROW(row, 14, 7)
#define ROW_28(row)                                                                                \
    LETTER_ROW(row, 28, 0), LETTER_ROW(row, 28, 7), LETTER_ROW(row, 28, 14), LETTER_ROW(row, 28, 21)
#define ROW_42(row)                                                                                \
    LETTER_ROW(row, 42, 0), LETTER_ROW(row, 42, 7), LETTER_ROW(row, 42, 14),                       \
        LETTER_ROW(row, 42, 21), LETTER_ROW(row, 42, 28), LETTER_ROW(row, 42, 35)

// The tables are laid out one text row per line, as they are drawn.
// clang-format off
// "Tiny"
constexpr SphereBannerCell banner_1[8 * 7 * 4] = {
    ROW_28("#####......................."),
    ROW_28("..#......#.................."),
    ROW_28("..#...........#.###..#....#."),
    ROW_28("..#.....##....##...#.#....#."),
    ROW_28("..#......#....#....#.######."),
    ROW_28("..#......#....#....#......#."),
    ROW_28("..#.....###...#....#......#."),
    ROW_28(".....................#####.."),
};

// "Voxels"
constexpr SphereBannerCell banner_2[8 * 7 * 6] = {
    ROW_42("#....#.......................##..........."),
    ROW_42("#....#........................#..........."),
    ROW_42("#....#..####..#....#..####....#.....#####."),
    ROW_42("#....#.#....#..#..#..#....#...#....#......"),
    ROW_42(".#..#..#....#...##...######...#.....####.."),
    ROW_42(".#..#..#....#..#..#..#........#.........#."),
    ROW_42("..##....####..#....#..####...###...#####.."),
    ROW_42(".........................................."),
};

// "by"
constexpr SphereBannerCell banner_3[8 * 7 * 2] = {
    ROW_14("#............."),
    ROW_14("#............."),
    ROW_14("#......#....#."),
    ROW_14("#####..#....#."),
    ROW_14("#....#.######."),
    ROW_14("#....#......#."),
    ROW_14("#####.......#."),
    ROW_14(".......#####.."),
};

// "Coders"
constexpr SphereBannerCell banner_4[8 * 7 * 6] = {
    ROW_42(".####..............#......................"),
    ROW_42("#....#.............#......................"),
    ROW_42("#.......####...#####..####..#.###...#####."),
    ROW_42("#......#....#.#....#.#....#.##...#.#......"),
    ROW_42("#......#....#.#....#.######.#.......####.."),
    ROW_42("#....#.#....#.#....#.#......#...........#."),
    ROW_42(".####...####...#####..####..#......#####.."),
    ROW_42(".........................................."),
};
// clang-format on
