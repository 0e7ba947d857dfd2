#include "show/scenes.h"

void draw_scene_orbit(std::int32_t) {}

void orbit_transform(std::int32_t, std::int32_t) {}
