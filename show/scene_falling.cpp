#include "show/scenes.h"

#include "platform/gl.h"

FallingSprite falling_sprites[falling_sprite_count] = {};

namespace {

// The sprites are thrown in this order, over and over.
const VoxelSprite* const thrown_sprites[4] = {
    &sprite_figure,
    &sprite_mushroom_creature,
    &sprite_tank,
    &sprite_spotted_mushroom,
};

constexpr std::int32_t THROW_INTERVAL_MS = 400;

// A thrown sprite flies off to the left on a falling parabola from (0, 20) and spins once every
// 500 ms, record j a further 3 j ms along in its turn. Drawn only between its throw and 20 s on.
void draw_thrown_sprite(const FallingSprite& record, std::int32_t j, std::int32_t t) {
    const std::int32_t d = t - record.start_ms;
    const float f = static_cast<float>(d);
    if (!(f > 0.0f)) {
        return;
    }
    const float s = static_cast<float>(static_cast<double>(f) / 1000.0);
    if (!(s < 20.0f)) {
        return;
    }
    const double sd = static_cast<double>(s);
    glTranslatef(static_cast<float>(-40.0 * sd), static_cast<float>(20.0 - 20.0 * (sd * sd)), 0.0f);
    const std::int32_t turn_ms = (d + 3 * j) % 500;
    glRotatef(static_cast<float>(static_cast<double>(turn_ms) * 360.0 / 500.0), 0.0f, 1.0f, 0.0f);
    glTranslatef(-3.0f, 0.0f, 0.0f);
    draw_voxel_sprite(*record.sprite, sprite_voxel_size);
}

} // namespace

void init_falling_sprites() {
    const std::int32_t groups = falling_sprite_count >> 2;
    for (std::int32_t g = 0; g < groups; ++g) {
        for (std::int32_t k = 0; k < 4; ++k) {
            const std::int32_t j = 4 * g + k;
            falling_sprites[j].start_ms = THROW_INTERVAL_MS * j;
            falling_sprites[j].sprite = thrown_sprites[k];
        }
    }
}

void draw_scene_falling(std::int32_t t) {
    // For the first 4 s the group stands 50 units out; then it jumps back to 130 and recedes.
    const float z = t < 4000 ? -50.0f : static_cast<float>(-90.0 - static_cast<double>(t) * 0.01);
    // The creature's quarters are 16 voxels of 1.5 units each.
    const float edge = static_cast<float>(static_cast<double>(sprite_voxel_size) * 3.0);
    const float quarter = static_cast<float>(static_cast<double>(edge) * 16.0);

    glPushMatrix();
    {
        glTranslatef(30.0f, -10.0f, z);

        for (std::int32_t j = 0; j < falling_sprite_count; ++j) {
            glPushMatrix();
            { draw_thrown_sprite(falling_sprites[j], j, t); }
            glPopMatrix();
        }

        // The creature, its four quarters round a 2 x 2 square: top-left, bottom-left,
        // bottom-right, top-right.
        glPushMatrix();
        {
            glTranslatef(-2.0f, 20.0f, 0.0f);
            draw_voxel_sprite(sprite_beast_top_left, edge);
            glTranslatef(0.0f, -quarter, 0.0f);
            draw_voxel_sprite(sprite_beast_bottom_left, edge);
            glTranslatef(quarter, 0.0f, 0.0f);
            draw_voxel_sprite(sprite_beast_bottom_right, edge);
            glTranslatef(0.0f, quarter, 0.0f);
            draw_voxel_sprite(sprite_beast_top_right, edge);
        }
        glPopMatrix();

        // The pole hangs straight down from (43.2, 0); its green stays current after the frame.
        glPushMatrix();
        {
            glTranslatef(static_cast<float>(static_cast<double>(quarter) * 1.8),
                         static_cast<float>(12.0 - static_cast<double>(quarter) * 0.5), 0.0f);
            glPushMatrix();
            {
                glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
                glColor3f(0.3f, 0.9f, 0.4f);
                gluCylinder(quadric_main, 3.0, 3.0, 90.0, 60, 60);
            }
            glPopMatrix();
        }
        glPopMatrix();
    }
    glPopMatrix();
}
