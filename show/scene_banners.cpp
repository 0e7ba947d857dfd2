#include "show/scenes.h"

#include "platform/gl.h"

namespace {

// The banner scenes set the lettering this far in front of the camera.
const double BANNER_DEPTH = -90.0;

void draw_banner_scene(const SphereBannerCell* grid, int letter_count) {
    glPushMatrix();
    {
        glTranslatef(0.0f, 0.0f, static_cast<float>(BANNER_DEPTH));
        draw_sphere_banner(grid, letter_count);
    }
    glPopMatrix();
}

} // namespace

// The four closing scenes each hold one line of lettering still and ignore the time.
void draw_banner_scene_1(std::int32_t) {
    draw_banner_scene(banner_1, 4);
}

void draw_banner_scene_2(std::int32_t) {
    draw_banner_scene(banner_2, 6);
}

void draw_banner_scene_3(std::int32_t) {
    draw_banner_scene(banner_3, 2);
}

void draw_banner_scene_4(std::int32_t) {
    draw_banner_scene(banner_4, 6);
}
