#include "show/scenes.h"

#include "platform/gl.h"

std::int32_t flicker_phase = 0;

// The disc jumps between two places on every frame, whatever the time; the background starts
// cycling.
void draw_scene_flicker(std::int32_t) {
    background_cycle_on = true;

    glPushMatrix();
    {
        const float x = flicker_phase != 0 ? static_cast<float>(-6.2) : -5.0f;
        glTranslatef(x, 0.0f, -50.0f);
        draw_voxel_sprite(sprite_chomper_right, 0.5f);
        flicker_phase = (flicker_phase - 1) & 1;
    }
    glPopMatrix();
}
