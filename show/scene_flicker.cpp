#include "show/scenes.h"

void draw_scene_flicker(std::int32_t) {}

std::int32_t flicker_phase = 0;
