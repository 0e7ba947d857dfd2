// The show's timeline: the frame driver, its clock and camera, and the scene functions.
#pragma once

#include "gfx/sprites.h"

#include <cstdint>

// Clock, in milliseconds from GetTickCount. demo_start_ms is the tick count at which the music
// started; the others are signed offsets from it.
extern std::uint32_t demo_start_ms;
extern std::int32_t demo_time_ms;
extern std::int32_t scene_start_ms;
extern std::int32_t scene_time_ms;
extern std::int32_t scene_index;

constexpr int SCENE_COUNT = 12;
extern const std::int32_t scene_durations[SCENE_COUNT];

struct CameraOffset {
    float x;
    float y;
    float z;
};

// The held keys the camera follows: one entry per virtual-key code, 1 from the key's WM_KEYDOWN
// to its WM_KEYUP (the window procedure writes them).
extern unsigned char key_down[256];

extern bool background_cycle_on;
extern ColorRgb background_color;
extern CameraOffset camera_offset;

// Draws one frame: clock, camera keys, clear, background, timeline, one scene. Returns 1; in the
// frame that enters the last slot it ends the process instead.
int draw_frame();

// Every scene takes the time since its first frame and leaves the model-view matrix as found.
void draw_scene_walk(std::int32_t scene_time_ms);
void draw_scene_flicker(std::int32_t scene_time_ms);
void draw_scene_spin(std::int32_t scene_time_ms);
void draw_scene_fountain(std::int32_t scene_time_ms);
void draw_scene_orbit(std::int32_t scene_time_ms);
void draw_scene_falling(std::int32_t scene_time_ms);

// Scene 2's jitter, 0 or 1, flipped on every call.
extern std::int32_t flicker_phase;

// Where a fountain sphere sits in its plane, given u, its place in the one-second cycle: u wraps
// back by 1 only once it passes 1, r = 16 u out from the axis, height 1 - (r - 10)^2.
struct FountainPoint {
    float r;
    float height;
};
FountainPoint fountain_point(float u);

// Multiplies the placement of a point on the orbit helix onto the current matrix.
void orbit_transform(std::int32_t radius, std::int32_t time_ms);

struct FallingSprite {
    std::int32_t start_ms; // scene time at which the sprite is thrown
    const VoxelSprite* sprite;
};

constexpr std::int32_t falling_sprite_count = 1024;
extern FallingSprite falling_sprites[falling_sprite_count];

void init_falling_sprites();
