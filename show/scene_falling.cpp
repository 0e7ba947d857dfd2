#include "show/scenes.h"

void draw_scene_falling(std::int32_t) {}

FallingSprite falling_sprites[falling_sprite_count] = {};

void init_falling_sprites() {}
