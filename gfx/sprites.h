// Colours, the cube, 16 x 16 voxel sprites and their catalogue, and the sphere banners.
#pragma once

#include "platform/gl.h"

#include <cstdint>

struct ColorRgb {
    float r;
    float g;
    float b;
};

// 0x00RRGGBB.
typedef std::uint32_t PackedColor;

// A 16 x 16 picture drawn as a wall of cubes. indices holds 16 rows of 16 palette indices, the
// top row first; 0 is an empty pixel. Palette entry 0 is never read.
struct VoxelSprite {
    std::uint8_t indices[256];
    ColorRgb palette[4];
};
static_assert(sizeof(VoxelSprite) == 304, "a voxel sprite is 256 index bytes and 4 colours");

void unpack_color(PackedColor packed, float brightness, ColorRgb* out);
PackedColor pack_color(const ColorRgb& color);
void set_gl_color(const ColorRgb& color);
void set_gl_color_packed(PackedColor color);
// One cube from (x, y, 0) to (x + size, y + size, size), six flat-coloured quads.
void draw_cube(float x, float y, float size, PackedColor color);
void draw_voxel(int column, int row, float size, PackedColor color);

// Draws the sprite with its lower-left corner at the current origin, facing +z.
void draw_voxel_sprite(const VoxelSprite& sprite, float size);

// The voxel edge of the small sprites in the fountain, orbit and falling scenes.
extern const float sprite_voxel_size;

extern const VoxelSprite sprite_figure;
extern const VoxelSprite sprite_mushroom_creature;
extern const VoxelSprite sprite_tank;
extern const VoxelSprite sprite_spotted_mushroom;
extern const VoxelSprite sprite_chomper_right;
extern const VoxelSprite sprite_chomper_left;
extern const VoxelSprite sprite_beast_top_left;
extern const VoxelSprite sprite_beast_bottom_left;
extern const VoxelSprite sprite_beast_top_right;
extern const VoxelSprite sprite_beast_bottom_right;

// The one pseudo-random generator of the show: state 1 at start, never reseeded. Returns 0..32767.
int next_random();
// The generator's state, exposed so tests can follow the sequence.
extern std::uint32_t random_state;

// GLU quadrics with default settings for the spheres and cylinders of the scenes: made once by
// the program's start-up, before the first frame, and kept for the life of the process.
extern GLUquadric* quadric_main;   // every cylinder but the ring
extern GLUquadric* quadric_ring;   // the ring around the orbit scene's tube
extern GLUquadric* quadric_sphere; // every sphere

// A line of letters as 8 rows of 7 * letter_count cells, the top row first; 1 places a sphere.
typedef std::int32_t SphereBannerCell;

void draw_sphere_banner(const SphereBannerCell* grid, int letter_count);

extern const SphereBannerCell banner_1[8 * 7 * 4];
extern const SphereBannerCell banner_2[8 * 7 * 6];
extern const SphereBannerCell banner_3[8 * 7 * 2];
extern const SphereBannerCell banner_4[8 * 7 * 6];
