#include "show/scenes.h"

void draw_scene_walk(std::int32_t) {}
