// The show's timeline: the frame driver, its clock and camera, and the scene functions.
#pragma once

#include "gfx/sprites.h"

#include <cstdint>
#include <functional>

// Clock, in milliseconds from GetTickCount. demo_start_ms is the tick count at which the music
// started; the others are signed offsets from it.
extern std::uint32_t demo_start_ms;
extern std::int32_t demo_time_ms;
extern std::int32_t scene_start_ms;
extern std::int32_t scene_time_ms;
extern std::int32_t scene_index;

// A slot of the timeline: how long it lasts and the scene function that draws it, which takes the
// time since the slot's first frame and leaves the model-view matrix as found.
struct Scene {
    const char* name;
    std::int32_t duration_ms;
    void (*draw)(std::int32_t scene_time_ms); // null: the cleared background alone
};

// The timeline, the one table of the scenes. Slot 0 shows only the background; slot 11 ends the
// show on its first frame.
constexpr int SCENE_COUNT = 12;
extern const Scene scenes[SCENE_COUNT];

// The timeline's one rule: slot `scene` runs on until a frame comes more than its duration after
// the slot's start; that frame starts the next slot, at its own time. At most one step a frame.
inline bool slot_is_over(std::int32_t scene, std::int64_t time_in_slot_ms) {
    return time_in_slot_ms > scenes[scene].duration_ms;
}

// The timeline played over a run of frames drawn from the show's time 0: for each slot, the frame
// that starts it and its start in show time. The frame that starts the last slot ends the show.
struct ShowTimeline {
    std::int64_t start_frame[SCENE_COUNT];
    std::int64_t start_ms[SCENE_COUNT];
};
// `frame_time_ms(k)`: the show time at which frame k (from 0) is drawn, never decreasing.
ShowTimeline play_timeline(const std::function<std::int64_t(std::int64_t)>& frame_time_ms);

// The show time at which the timeline runs out by the durations alone; each slot runs over by up
// to a frame, so the real end comes a little later, depending on the frame times.
std::int64_t nominal_show_end_ms();

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

// The scenes of the timeline's table.
void draw_scene_walk(std::int32_t scene_time_ms);
void draw_scene_flicker(std::int32_t scene_time_ms);
void draw_scene_spin(std::int32_t scene_time_ms);
void draw_scene_fountain(std::int32_t scene_time_ms);
void draw_scene_orbit(std::int32_t scene_time_ms);
void draw_scene_falling(std::int32_t scene_time_ms);
// The four closing scenes: each holds one line of sphere lettering still, ignoring the time.
void draw_banner_scene_1(std::int32_t scene_time_ms);
void draw_banner_scene_2(std::int32_t scene_time_ms);
void draw_banner_scene_3(std::int32_t scene_time_ms);
void draw_banner_scene_4(std::int32_t scene_time_ms);
// The last slot: the end of the show. The process ends here, without tearing the window down.
[[noreturn]] void end_show(std::int32_t scene_time_ms);

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
