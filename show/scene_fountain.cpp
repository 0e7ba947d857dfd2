#include "show/scenes.h"

#include "platform/gl.h"

#include <cmath>

namespace {

constexpr int FOUNTAIN_SPHERES = 200;

// What the fountain's spheres share from frame to frame: each sphere's starting place in its
// one-second cycle, sin(i / 3), and the turn of its vertical plane, i x 1.8 degrees.
struct FountainLayout {
    float start[FOUNTAIN_SPHERES];
    float plane_angle[FOUNTAIN_SPHERES];
};

FountainLayout make_fountain_layout() {
    FountainLayout layout = {};
    for (int i = 0; i < FOUNTAIN_SPHERES; ++i) {
        const float a = static_cast<float>(static_cast<double>(i) / 3.0);
        layout.start[i] = static_cast<float>(std::sin(static_cast<double>(a)));
        layout.plane_angle[i] = static_cast<float>(static_cast<double>(i) / 200.0 * 360.0);
    }
    return layout;
}

const FountainLayout fountain_layout = make_fountain_layout();

struct RisingSprite {
    float x;
    float depth; // how far below the column's rising height the sprite stands
    bool fast_turn;
    const VoxelSprite* sprite;
};

// The column of eight sprites, 12 units apart; the two figures turn once a second, the rest
// once every 750 ms.
const RisingSprite rising_sprites[8] = {
    {0.0f, 6.0f, false, &sprite_figure},  {-8.0f, 18.0f, true, &sprite_mushroom_creature},
    {5.0f, 30.0f, true, &sprite_tank},    {-3.0f, 42.0f, true, &sprite_spotted_mushroom},
    {0.0f, 54.0f, false, &sprite_figure}, {-8.0f, 66.0f, true, &sprite_mushroom_creature},
    {5.0f, 78.0f, true, &sprite_tank},    {-3.0f, 90.0f, true, &sprite_spotted_mushroom},
};

} // namespace

FountainPoint fountain_point(float u) {
    if (u > 1.0f) {
        u = static_cast<float>(static_cast<double>(u) - 1.0);
    }
    const float r = static_cast<float>(static_cast<double>(u) * 16.0);
    const double from_crest = static_cast<double>(r) - 10.0;
    return FountainPoint{r, static_cast<float>(1.0 - from_crest * from_crest)};
}

void draw_scene_fountain(std::int32_t t) {
    const float m = static_cast<float>(t % 1000);
    const float phase = static_cast<float>(static_cast<double>(m) / 1000.0);
    const double rise = static_cast<double>(t) / 150.0;
    const float slow_angle = static_cast<float>(static_cast<double>(m) * 360.0 / 1000.0);
    const float fast_angle = static_cast<float>(static_cast<double>(t % 750) * 360.0 / 750.0);

    // The ring fountain: every sphere rides the parabola y = 1 - (r - 10)^2 in its own plane.
    glPushMatrix();
    {
        glTranslatef(0.0f, -2.0f, -20.0f);
        set_gl_color_packed(0xFFFFFF);
        for (int i = 0; i < FOUNTAIN_SPHERES; ++i) {
            const float u = static_cast<float>(static_cast<double>(fountain_layout.start[i]) +
                                               static_cast<double>(phase));
            const FountainPoint point = fountain_point(u);
            glPushMatrix();
            {
                glRotatef(fountain_layout.plane_angle[i], 0.0f, 1.0f, 0.0f);
                glTranslatef(point.r, point.height, 0.0f);
                gluSphere(quadric_sphere, 0.2, 4, 4);
            }
            glPopMatrix();
        }
    }
    glPopMatrix();

    // The rising column: each sprite spins about a vertical line 3 units in from its left edge.
    glPushMatrix();
    {
        glTranslatef(0.0f, -2.0f, -20.0f);
        for (const RisingSprite& rising : rising_sprites) {
            const float height = static_cast<float>(rise - static_cast<double>(rising.depth));
            glPushMatrix();
            {
                glTranslatef(rising.x, height, 0.0f);
                glRotatef(rising.fast_turn ? fast_angle : slow_angle, 0.0f, 1.0f, 0.0f);
                glTranslatef(-3.0f, 0.0f, 0.0f);
                draw_voxel_sprite(*rising.sprite, sprite_voxel_size);
            }
            glPopMatrix();
        }
    }
    glPopMatrix();
}
