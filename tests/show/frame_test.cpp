// The frame driver: its clock, the timeline's advance rule, the end of the show, the camera keys
// and the background colour cycle.
#include "app/window.h"
#include "show/scenes.h"
#include "tests/support/fake_win32.h"
#include "tests/support/gl_recorder.h"
#include "tests/support/show_state.h"

#include <gtest/gtest.h>

namespace {

// The timeline's durations in milliseconds, scene 0 to scene 10.
const std::int32_t durations[11] = {0,     8500, 4000, 1800, 10000, 10000,
                                    10000, 2000, 2000, 2000, 2000};

class FrameTest : public ::testing::Test {
  protected:
    // The show's start-up, once, before any frame.
    static void SetUpTestSuite() {
        start_show();
    }

    void SetUp() override {
        fake_win32::reset();
        gl_recorder::reset();
        reset_show_state();
    }

    void TearDown() override {
        fake_win32::reset();
        gl_recorder::reset();
    }

    // Draws the frame whose tick count is demo_ms after the start of the show.
    static int frame_at(std::int64_t demo_ms) {
        fake_win32::tick_count = static_cast<DWORD>(demo_start_ms + demo_ms);
        gl_recorder::reset();
        return draw_frame();
    }

    // The clear colour this frame handed to GL.
    static GlCall clear_color() {
        const std::vector<GlCall> colors = gl_recorder::of(GlOp::ClearColor);
        EXPECT_EQ(colors.size(), 1u);
        return colors.empty() ? GlCall{} : colors[0];
    }

    static void expect_clear_color(float r, float g, float b) {
        const GlCall color = clear_color();
        EXPECT_EQ(color.f[0], r);
        EXPECT_EQ(color.f[1], g);
        EXPECT_EQ(color.f[2], b);
        EXPECT_EQ(color.f[3], 1.0f);
        EXPECT_EQ(background_color.r, r);
        EXPECT_EQ(background_color.g, g);
        EXPECT_EQ(background_color.b, b);
    }

    // A frame that draws no scene: the clear, the clear colour and the camera, nothing more.
    static void expect_only_the_frame_itself() {
        const std::vector<GlCall>& gl = gl_recorder::calls;
        ASSERT_EQ(gl.size(), 4u);
        EXPECT_EQ(gl[0].op, GlOp::Clear);
        EXPECT_EQ(gl[0].i[0], 0x4100) << "GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT";
        EXPECT_EQ(gl[1].op, GlOp::ClearColor);
        EXPECT_EQ(gl[2].op, GlOp::LoadIdentity);
        EXPECT_EQ(gl[3].op, GlOp::Translatef);
    }
};

TEST_F(FrameTest, SceneZeroShowsOnlyTheBackground) {
    EXPECT_EQ(frame_at(0), 1);

    EXPECT_EQ(scene_index, 0);
    EXPECT_EQ(scene_time_ms, 0);
    expect_only_the_frame_itself();
    expect_clear_color(0.0f, 0.0f, 0.0f);
}

TEST_F(FrameTest, EachSceneRunsUntilItsDurationIsExceeded) {
    // The last scene ends the process; the others hand over to the next one.
    for (std::int32_t scene = 0; scene <= 10; ++scene) {
        SCOPED_TRACE(scene);
        SetUp();
        demo_start_ms = 1000;
        scene_index = scene;
        scene_start_ms = 30000;

        frame_at(30000 + durations[scene]);
        EXPECT_EQ(scene_index, scene) << "a time equal to the duration does not advance";
        EXPECT_EQ(scene_time_ms, durations[scene]);
        EXPECT_EQ(scene_start_ms, 30000);

        if (scene == 10) {
            EXPECT_THROW(frame_at(30000 + durations[scene] + 1), fake_win32::ProcessExit);
            EXPECT_EQ(scene_index, 11);
            continue;
        }
        EXPECT_EQ(frame_at(30000 + durations[scene] + 1), 1);
        EXPECT_EQ(scene_index, scene + 1);
        EXPECT_EQ(scene_time_ms, 0) << "the new scene's first frame is drawn at time 0";
        EXPECT_EQ(scene_start_ms, 30000 + durations[scene] + 1);
    }
    EXPECT_EQ(scenes[11].duration_ms, 2000000);
}

TEST_F(FrameTest, ALateFrameAdvancesOneSceneAndDropsTheOverrun) {
    // Far past the whole timeline, scene 0 still only hands over to scene 1.
    frame_at(60000);
    EXPECT_EQ(scene_index, 1);
    EXPECT_EQ(scene_time_ms, 0);
    EXPECT_EQ(scene_start_ms, 60000);

    frame_at(60010);
    EXPECT_EQ(scene_index, 1);
    EXPECT_EQ(scene_time_ms, 10);

    // Scene 1 overrun by 5 s: scene 2 starts at this frame with time 0, then counts from here.
    frame_at(60000 + 8500 + 5000);
    EXPECT_EQ(scene_index, 2);
    EXPECT_EQ(scene_time_ms, 0);
    frame_at(60000 + 8500 + 5000 + 4000);
    EXPECT_EQ(scene_index, 2);
    EXPECT_EQ(scene_time_ms, 4000);
}

TEST_F(FrameTest, EnteringTheLastSlotEndsTheProcessBeforeDrawingOrSwapping) {
    scene_index = 10;
    scene_start_ms = 50300;
    device_context = fake_win32::dc;
    fake_win32::tick_count = 50300 + 2001;

    bool exited = false;
    try {
        window_proc(fake_win32::window, WM_TIMER, 0, 0);
    } catch (const fake_win32::ProcessExit& exit) {
        exited = true;
        EXPECT_EQ(exit.code, 0u);
    }

    ASSERT_TRUE(exited);
    EXPECT_EQ(scene_index, 11);
    // Cleared, but no scene drawn, no swap, nothing after.
    expect_only_the_frame_itself();
    ASSERT_EQ(fake_win32::calls.size(), 1u) << fake_win32::trace();
    EXPECT_EQ(fake_win32::calls[0].name, "ExitProcess");
    EXPECT_EQ(fake_win32::calls[0].args[0], 0);
}

TEST_F(FrameTest, BackgroundStaysBlackThroughScenesZeroAndOne) {
    for (std::int64_t t : {0, 1, 10, 4000, 8501, 8502}) {
        SCOPED_TRACE(t);
        frame_at(t);
        expect_clear_color(0.0f, 0.0f, 0.0f);
        if (scene_index < 2) {
            EXPECT_FALSE(background_cycle_on);
        }
    }
    // Scene 2 began in the last frame, after that frame's colour was chosen.
    EXPECT_EQ(scene_index, 2);

    // Once scene 2 has switched the cycle on, the next frame takes its colour from the clock:
    // 8512 mod 3000 = 2512, on the blue-to-red leg.
    background_cycle_on = true;
    frame_at(8512);
    expect_clear_color(0x1.0624dep-2f, 0.0f, 0x1.f3b644p-3f);
}

TEST_F(FrameTest, ClearUsesThePreviousFramesColour) {
    background_cycle_on = true;
    frame_at(1000);

    const std::vector<GlCall>& gl = gl_recorder::calls;
    ASSERT_GE(gl.size(), 2u);
    EXPECT_EQ(gl[0].op, GlOp::Clear);
    EXPECT_EQ(gl[1].op, GlOp::ClearColor);
    EXPECT_EQ(gl[1].f[1], 0.5f);
}

TEST_F(FrameTest, ColourCycleRedGreenBlue) {
    struct Expected {
        std::int64_t demo_ms;
        float r, g, b;
    };
    // e = q / 1000 rounded to float; each leg fades (1 - e) * 0.5 out and e * 0.5 in. For q = 999
    // these are 0x1.0624p-11 (0.0005 less a little) and 0x1.ff7ceep-2 (0.4995).
    const float fading = 0x1.0624p-11f;
    const float rising = 0x1.ff7ceep-2f;
    const Expected table[] = {
        {0, 0.5f, 0.0f, 0.0f},
        {999, fading, rising, 0.0f},
        {1000, 0.0f, 0.5f, 0.0f},
        {1999, 0.0f, fading, rising},
        {2000, 0.0f, 0.0f, 0.5f},
        {2999, rising, 0.0f, fading},
        {3000, 0.5f, 0.0f, 0.0f},
        {3000 * 7 + 999, fading, rising, 0.0f},
        {288, 0x1.6c8b44p-2f, 0x1.26e978p-3f, 0.0f},
    };
    background_cycle_on = true;
    for (const Expected& row : table) {
        SCOPED_TRACE(row.demo_ms);
        frame_at(row.demo_ms);
        expect_clear_color(row.r, row.g, row.b);
    }
}

TEST_F(FrameTest, ColourCycleFollowsTheShowClockNotTheScene) {
    background_cycle_on = true;
    scene_index = 4;
    scene_start_ms = 400;

    frame_at(1000);

    EXPECT_EQ(scene_time_ms, 600);
    expect_clear_color(0.0f, 0.5f, 0.0f);
}

TEST_F(FrameTest, ColourIsKeptWhenTheCycleIsOffOrTheClockNegative) {
    background_color = ColorRgb{0.25f, 0.5f, 0.75f};
    frame_at(1000);
    expect_clear_color(0.25f, 0.5f, 0.75f);

    // A tick count before the start of the show: p < 0 changes nothing.
    background_cycle_on = true;
    demo_start_ms = 5000;
    frame_at(-1000);
    EXPECT_EQ(demo_time_ms, -1000);
    expect_clear_color(0.25f, 0.5f, 0.75f);
}

TEST_F(FrameTest, EachCameraKeyMovesItsAxisOneStepAFrame) {
    struct Key {
        int code;
        float x, y, z;
    };
    const Key table[] = {
        {VK_RIGHT, 0.1f, 0.0f, 0.0f}, {VK_LEFT, -0.1f, 0.0f, 0.0f}, {VK_UP, 0.0f, 0.1f, 0.0f},
        {VK_DOWN, 0.0f, -0.1f, 0.0f}, {VK_PRIOR, 0.0f, 0.0f, 0.1f}, {VK_NEXT, 0.0f, 0.0f, -0.1f},
    };
    for (const Key& key : table) {
        SCOPED_TRACE(key.code);
        SetUp();
        key_down[key.code] = 1;

        frame_at(0);

        EXPECT_EQ(camera_offset.x, key.x);
        EXPECT_EQ(camera_offset.y, key.y);
        EXPECT_EQ(camera_offset.z, key.z);
        // The frame is drawn from the moved camera.
        const GlCall shift = gl_recorder::of(GlOp::Translatef).at(0);
        EXPECT_EQ(shift.f[0], key.x);
        EXPECT_EQ(shift.f[1], key.y);
        EXPECT_EQ(shift.f[2], key.z);
    }

    // One step per frame, however far apart the frames are; no other key moves the camera.
    SetUp();
    key_down[VK_RIGHT] = 1;
    key_down[VK_HOME] = 1;
    key_down[static_cast<unsigned char>('A')] = 1;
    frame_at(0);
    frame_at(1);
    frame_at(5000);
    EXPECT_EQ(camera_offset.x, 0x1.333334p-2f);
    EXPECT_EQ(camera_offset.y, 0.0f);
    EXPECT_EQ(camera_offset.z, 0.0f);
}

TEST_F(FrameTest, OpposingKeysCancelWithinFloatRounding) {
    // Right first: float(0.1) - 0.1 in double leaves float(1.49e-9). Left first, or a step
    // rounded to float, would give the negative or exactly 0.
    key_down[VK_LEFT] = 1;
    key_down[VK_RIGHT] = 1;
    key_down[VK_UP] = 1;
    key_down[VK_DOWN] = 1;
    key_down[VK_PRIOR] = 1;
    key_down[VK_NEXT] = 1;

    frame_at(0);

    EXPECT_EQ(camera_offset.x, 0x1.99999ap-30f);
    EXPECT_EQ(camera_offset.y, 0x1.99999ap-30f);
    EXPECT_EQ(camera_offset.z, 0x1.99999ap-30f);
    const GlCall shift = gl_recorder::of(GlOp::Translatef).at(0);
    EXPECT_EQ(shift.f[0], 0x1.99999ap-30f);
}

TEST_F(FrameTest, ClockWrapsPastTheTopOfTheTickCount) {
    // The show starts 4096 ms before GetTickCount wraps to 0.
    demo_start_ms = 0xFFFFF000u;
    demo_time_ms = 123456; // a stale value: the frame reads the clock itself

    frame_at(1);
    EXPECT_EQ(demo_time_ms, 1);
    EXPECT_EQ(scene_index, 1);
    EXPECT_EQ(scene_start_ms, 1);

    // Tick 0x2000 is 4096 + 8192 ms into the show.
    fake_win32::tick_count = 0x2000u;
    gl_recorder::reset();
    draw_frame();
    EXPECT_EQ(demo_time_ms, 12288);
    EXPECT_EQ(scene_index, 2);
    EXPECT_EQ(scene_start_ms, 12288);

    background_cycle_on = true;
    fake_win32::tick_count = 0x2000u + 4001u;
    gl_recorder::reset();
    draw_frame();
    EXPECT_EQ(demo_time_ms, 16289);
    EXPECT_EQ(scene_index, 3);
    EXPECT_EQ(scene_time_ms, 0);
    // 16289 mod 3000 = 1289: the green-to-blue leg, e = 0.289.
    expect_clear_color(0.0f, 0x1.6c083p-2f, 0x1.27ef9ep-3f);
}

} // namespace
