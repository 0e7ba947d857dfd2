#include "show/scenes.h"

#include "platform/gl.h"

// The disc runs its left edge from x = -20 to x = +10 in one second facing right, then back in
// one second facing left.
void draw_scene_walk(std::int32_t time_ms) {
    const std::int32_t u = time_ms % 2000;
    const bool going_right = u < 1000;
    const std::int32_t progress_ms = going_right ? u : 2000 - u;
    const float x = static_cast<float>(static_cast<double>(progress_ms) / 1000.0 * 30.0 - 20.0);
    const VoxelSprite& sprite = going_right ? sprite_chomper_right : sprite_chomper_left;

    glPushMatrix();
    {
        glTranslatef(x, 0.0f, -50.0f);
        draw_voxel_sprite(sprite, 0.5f);
    }
    glPopMatrix();
}
