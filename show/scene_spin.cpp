#include "show/scenes.h"

#include "platform/gl.h"

// The disc turns about the vertical line x = -5, z = -50, once every 300 ms, while its voxels
// grow from 0.5 to 1.4 over the scene's 1.8 s, so it swings ever wider about that line.
void draw_scene_spin(std::int32_t time_ms) {
    background_cycle_on = true;

    const double t = static_cast<double>(time_ms);
    const float angle_deg = static_cast<float>(static_cast<double>(time_ms % 300) * 360.0 / 300.0);
    const float voxel_size = static_cast<float>(t / 2000.0 + 0.5);

    glPushMatrix();
    {
        glTranslatef(-5.0f, 0.0f, -50.0f);
        glRotatef(angle_deg, 0.0f, 1.0f, 0.0f);
        // The turning line runs 4 units in from the sprite's left edge.
        glTranslatef(-4.0f, 0.0f, 0.0f);
        draw_voxel_sprite(sprite_chomper_right, voxel_size);
    }
    glPopMatrix();
}
