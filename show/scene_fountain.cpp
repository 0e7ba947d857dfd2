#include "show/scenes.h"

void draw_scene_fountain(std::int32_t) {}
