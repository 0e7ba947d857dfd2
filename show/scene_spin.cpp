#include "show/scenes.h"

void draw_scene_spin(std::int32_t) {}
