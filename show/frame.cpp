#include "show/scenes.h"

#include "platform/gl.h"

std::uint32_t demo_start_ms = 0;
std::int32_t demo_time_ms = 0;
std::int32_t scene_start_ms = 0;
std::int32_t scene_time_ms = 0;
std::int32_t scene_index = 0;

bool background_cycle_on = false;
ColorRgb background_color = {0.0f, 0.0f, 0.0f};
CameraOffset camera_offset = {0.0f, 0.0f, 0.0f};
unsigned char key_down[256] = {};

namespace {

const double CAMERA_STEP = 0.1;

// Signed differences of the 32-bit millisecond clock, wrapping as the tick count does.
std::int32_t wrapping_difference(std::uint32_t later, std::uint32_t earlier) {
    return static_cast<std::int32_t>(later - earlier);
}

float stepped(float value, double step) {
    return static_cast<float>(static_cast<double>(value) + step);
}

void move_camera() {
    if (key_down[VK_RIGHT]) {
        camera_offset.x = stepped(camera_offset.x, CAMERA_STEP);
    }
    if (key_down[VK_LEFT]) {
        camera_offset.x = stepped(camera_offset.x, -CAMERA_STEP);
    }
    if (key_down[VK_UP]) {
        camera_offset.y = stepped(camera_offset.y, CAMERA_STEP);
    }
    if (key_down[VK_DOWN]) {
        camera_offset.y = stepped(camera_offset.y, -CAMERA_STEP);
    }
    if (key_down[VK_PRIOR]) {
        camera_offset.z = stepped(camera_offset.z, CAMERA_STEP);
    }
    if (key_down[VK_NEXT]) {
        camera_offset.z = stepped(camera_offset.z, -CAMERA_STEP);
    }
}

// Red to green to blue and back to red at half intensity, one second a leg, following the show
// clock so it runs on unbroken across scene changes.
void step_background_cycle(std::int32_t time_ms) {
    const std::int32_t p = time_ms % 3000;
    const std::int32_t q = p % 1000;
    const double e = static_cast<float>(q / 1000.0);
    const float rising = static_cast<float>(e * 0.5);
    const float falling = static_cast<float>((1.0 - e) * 0.5);
    if (p < 0) {
        return;
    }
    if (p < 1000) {
        background_color = {falling, rising, 0.0f};
    } else if (p < 2000) {
        background_color = {0.0f, falling, rising};
    } else {
        background_color = {rising, 0.0f, falling};
    }
}

} // namespace

int draw_frame() {
    demo_time_ms = wrapping_difference(GetTickCount(), demo_start_ms);
    scene_time_ms = wrapping_difference(static_cast<std::uint32_t>(demo_time_ms),
                                        static_cast<std::uint32_t>(scene_start_ms));

    move_camera();

    // Cleared with the colour the previous frame chose.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (background_cycle_on) {
        step_background_cycle(demo_time_ms);
    }
    glClearColor(background_color.r, background_color.g, background_color.b, 1.0f);

    glLoadIdentity();
    glTranslatef(camera_offset.x, camera_offset.y, camera_offset.z);

    // At most one step a frame; the new scene starts at time 0 in this same frame.
    if (slot_is_over(scene_index, scene_time_ms)) {
        scene_start_ms = demo_time_ms;
        ++scene_index;
        scene_time_ms = 0;
    }

    const Scene& scene = scenes[scene_index];
    if (scene.draw != nullptr) {
        scene.draw(scene_time_ms);
    }
    return 1;
}

void end_show(std::int32_t) {
    ExitProcess(0);
}
