#include "gfx/sprites.h"

void draw_banner_scene_1(std::int32_t) {}
void draw_banner_scene_2(std::int32_t) {}
void draw_banner_scene_3(std::int32_t) {}
void draw_banner_scene_4(std::int32_t) {}
