#include "show/scenes.h"

#include "platform/gl.h"

#include <cmath>

namespace {

// The helix's point at one moment, independent of the radius: half a turn and 8 units of climb
// a second about the axis x = 0, z = -40, and the turn of whatever rides there.
struct HelixPoint {
    float cos_theta;
    float sin_theta;
    float height;
    float turn; // degrees about the vertical, 80 a second
};

const double PI_AS_FLOAT = static_cast<double>(static_cast<float>(3.14159265358979323846));

HelixPoint helix_point(std::int32_t time_ms) {
    const double seconds_exact = static_cast<double>(time_ms) / 1000.0;
    const float s = static_cast<float>(seconds_exact);
    const float a = static_cast<float>(PI_AS_FLOAT * 2.0 * seconds_exact);
    const float theta = static_cast<float>(static_cast<double>(a) * 0.5);
    const float climb = static_cast<float>(8.0 * static_cast<double>(s));
    HelixPoint point;
    point.cos_theta = static_cast<float>(std::cos(static_cast<double>(theta)));
    point.sin_theta = static_cast<float>(std::sin(static_cast<double>(theta)));
    point.height = static_cast<float>(8.0 * static_cast<double>(s) - 20.0);
    point.turn = static_cast<float>(static_cast<double>(climb) * 10.0);
    return point;
}

void place_on_helix(const HelixPoint& point, std::int32_t radius) {
    const double r = static_cast<double>(static_cast<float>(radius));
    glTranslatef(static_cast<float>(r * static_cast<double>(point.cos_theta)), point.height,
                 static_cast<float>(r * static_cast<double>(point.sin_theta) - 40.0));
    glRotatef(point.turn, 0.0f, 1.0f, 0.0f);
}

struct OrbitingSprite {
    std::int32_t radius;
    std::int32_t delay_ms; // how far behind the scene clock the sprite rides the helix
    const VoxelSprite* sprite;
};

// Four sprites 2.5 s apart on the helix, alternating between radius 8 and 7.
const OrbitingSprite orbiting_sprites[4] = {
    {8, 0, &sprite_figure},
    {7, 2500, &sprite_mushroom_creature},
    {8, 5000, &sprite_tank},
    {7, 7500, &sprite_spotted_mushroom},
};

constexpr int SPIRAL_SPOKES = 200;
constexpr int SPOKE_INNER_RADIUS = 4;
constexpr int SPOKE_OUTER_RADIUS = 14;

} // namespace

void orbit_transform(std::int32_t radius, std::int32_t time_ms) {
    place_on_helix(helix_point(time_ms), radius);
}

void draw_scene_orbit(std::int32_t t) {
    for (const OrbitingSprite& orbiting : orbiting_sprites) {
        glPushMatrix();
        {
            orbit_transform(orbiting.radius, t - orbiting.delay_ms);
            draw_voxel_sprite(*orbiting.sprite, sprite_voxel_size);
        }
        glPopMatrix();
    }

    // The spiral staircase: 200 spokes 160 ms apart on the helix, the top one first, each of 11
    // spheres in fresh random colours. All spheres of a spoke share its moment on the helix, so
    // it is worked out once per spoke.
    for (int k = 0; k < SPIRAL_SPOKES; ++k) {
        const HelixPoint spoke = helix_point(t + 3200 - 160 * k);
        for (std::int32_t i = SPOKE_INNER_RADIUS; i <= SPOKE_OUTER_RADIUS; ++i) {
            glPushMatrix();
            {
                place_on_helix(spoke, i);
                const PackedColor red = static_cast<PackedColor>(next_random() % 256);
                const PackedColor green = static_cast<PackedColor>(next_random() % 256);
                const PackedColor blue = static_cast<PackedColor>(next_random() % 256);
                set_gl_color_packed(red * 65536 + green * 256 + blue);
                gluSphere(quadric_sphere, 0.5, 4, 4);
            }
            glPopMatrix();
        }
    }

    // The green tube over the axis and the paler ring round its lower rim; turned 90 degrees
    // about x, each cylinder's axis points straight down.
    glPushMatrix();
    {
        glTranslatef(0.0f, 20.0f, -40.0f);
        glPushMatrix();
        {
            glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
            glColor3f(0.3f, 0.9f, 0.4f);
            gluCylinder(quadric_main, 16.0, 16.0, 18.0, 60, 60);
        }
        glPopMatrix();
        glColor3f(0.5f, 0.8f, 0.5f);
        glTranslatef(0.0f, -18.0f, 0.0f);
        glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
        gluCylinder(quadric_ring, 17.0, 17.0, 3.0, 60, 60);
    }
    glPopMatrix();
}
