#include "gfx/sprites.h"

// Bottom row first, each row left to right; where two cubes share a face the later one wins the
// less-or-equal depth test. Every colour goes through the packed form, so a palette component is
// drawn as trunc(255 x component) / 255.
void draw_voxel_sprite(const VoxelSprite& sprite, float size) {
    for (int row = 0; row < 16; ++row) {
        const std::uint8_t* stored_row = &sprite.indices[16 * (15 - row)];
        for (int column = 0; column < 16; ++column) {
            const std::uint8_t index = stored_row[column];
            if (index == 0) {
                continue;
            }
            draw_voxel(column, row, size, pack_color(sprite.palette[index]));
        }
    }
}
