// The program's start-up order, its message loop and the ways the process ends, against the
// scripted Win32 stand-in.
#include "shell_fixture.h"

#include <cstddef>

namespace {

using fake_win32::Call;
using fake_win32::calls;
using fake_win32::script;
using Names = std::vector<std::string>;

// Set by a test to make the allocation of the song's WAV image fail; counts the attempts.
bool fail_song_allocation = false;
int song_allocations = 0;

} // namespace

#ifdef SOLID_TEST_WRAPS_MALLOC
// The linker routes the program's malloc calls here (--wrap=malloc), which leaves the program's
// code as it ships.
// The names are the linker's.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" void* __real_malloc(std::size_t size);
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" void* __wrap_malloc(std::size_t size) {
    if (size == SONG_IMAGE_BYTES) {
        ++song_allocations;
        if (fail_song_allocation) {
            return nullptr;
        }
    }
    return __real_malloc(size);
}
#endif

namespace {

int run_program() {
    return program_main(nullptr, nullptr, nullptr, 0);
}

MSG message(UINT number, WPARAM wparam = 0, LPARAM lparam = 0) {
    MSG msg{};
    msg.hwnd = fake_win32::window;
    msg.message = number;
    msg.wParam = wparam;
    msg.lParam = lparam;
    return msg;
}

const Names close_steps = {"ChangeDisplaySettingsA", "ShowCursor", "wglMakeCurrent",
                           "wglDeleteContext",       "ReleaseDC",  "DestroyWindow",
                           "UnregisterClassA"};

class ProgramTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        fail_song_allocation = false;
        song_allocations = 0;
    }
    void TearDown() override {
        fail_song_allocation = false;
        ShellTest::TearDown();
    }
};

TEST_F(ProgramTest, StartsUpInOrderAndTearsDownAfterTheLoop) {
    fake_win32::record_tick_reads = true;
    fake_win32::tick_count = 0x89ABCDEFu;
    demo_time_ms = 5;
    scene_start_ms = 6;
    scene_time_ms = 7;
    // How many quadrics GLU had made when each Win32 call happened.
    std::vector<std::size_t> quadrics_at;
    fake_win32::on_call = [&](const Call&) {
        quadrics_at.push_back(gl_recorder::count(GlOp::NewQuadric));
    };

    EXPECT_EQ(run_program(), 0);

    const int played = fake_win32::index_of("sndPlaySoundA");
    ASSERT_GT(played, 0) << fake_win32::trace();
    // The window is complete (shown and focused) before the soundtrack is made.
    EXPECT_EQ(calls.at(static_cast<std::size_t>(played) - 1).name, "SetFocus");
    EXPECT_EQ(calls[3].text, "OpenGL");
    EXPECT_EQ(fake_win32::named("CreateWindowExA").at(0).text, "Kelo's Solid Object Tutorial");
    EXPECT_EQ(fake_win32::named("ChangeDisplaySettingsA").at(0).args[4], 640);
    EXPECT_EQ(fake_win32::named("ChangeDisplaySettingsA").at(0).args[5], 480);
    EXPECT_EQ(fake_win32::named("ChangeDisplaySettingsA").at(0).args[6], 16);

    Names after_sound = {"sndPlaySoundA", "GetTickCount", "PeekMessageA"};
    after_sound.insert(after_sound.end(), close_steps.begin(), close_steps.end());
    EXPECT_EQ(names_from(played), after_sound) << fake_win32::trace();

    // The image: its header copied from the template, played from memory, asynchronously.
    ASSERT_NE(song_buffer, nullptr);
    EXPECT_EQ(std::memcmp(song_buffer, wav_header_template, WAV_HEADER_BYTES), 0);
    EXPECT_EQ(std::memcmp(song_buffer, "RIFF", 4), 0);
    EXPECT_EQ(std::memcmp(song_buffer + 8, "WAVE", 4), 0);
    EXPECT_EQ(sample_data, song_buffer + 44);
    const Call& play = calls[static_cast<std::size_t>(played)];
    EXPECT_EQ(play.args[0], as_int(song_buffer));
    EXPECT_EQ(play.args[1], 7) << "SND_ASYNC | SND_NODEFAULT | SND_MEMORY";

    // The clock starts right after playback, and every time of the show starts at 0.
    EXPECT_EQ(demo_start_ms, 0x89ABCDEFu);
    EXPECT_EQ(demo_time_ms, 0);
    EXPECT_EQ(scene_start_ms, 0);
    EXPECT_EQ(scene_time_ms, 0);
    EXPECT_EQ(scene_index, 0);

    // Three quadrics, made after the clock and before the loop, in the order main, ring, sphere.
    const std::size_t tick_read = static_cast<std::size_t>(played) + 1;
    EXPECT_EQ(quadrics_at.at(tick_read), 0u);
    EXPECT_EQ(quadrics_at.at(tick_read + 1), 3u);
    const std::vector<GlCall> made = gl_recorder::of(GlOp::NewQuadric);
    ASSERT_EQ(made.size(), 3u);
    EXPECT_EQ(made[0].quadric, quadric_main);
    EXPECT_EQ(made[1].quadric, quadric_ring);
    EXPECT_EQ(made[2].quadric, quadric_sphere);
    EXPECT_NE(quadric_main, quadric_ring);
    EXPECT_NE(quadric_ring, quadric_sphere);

    const Call peek = fake_win32::named("PeekMessageA").at(0);
    EXPECT_EQ(peek.args[0], 0) << "any window of the thread";
    EXPECT_EQ(peek.args[1], 0);
    EXPECT_EQ(peek.args[2], 0);
    EXPECT_EQ(peek.args[3], PM_REMOVE);
}

TEST_F(ProgramTest, LoopDispatchesUntilTheWindowIsClosed) {
    // Only the quit that WM_CLOSE posts may end the loop; a loop that ignored it would spin.
    fake_win32::quit_when_empty = false;
    int peeks = 0;
    fake_win32::on_call = [&](const Call& call) {
        if (call.name == "PeekMessageA" && ++peeks > 100) {
            fake_win32::quit_when_empty = true;
        }
    };
    fake_win32::queue.push_back(message(WM_KEYDOWN, VK_ESCAPE));
    fake_win32::queue.push_back(message(WM_TIMER, 0));
    fake_win32::queue.push_back(message(WM_KEYUP, VK_ESCAPE));
    fake_win32::queue.push_back(message(WM_CLOSE));

    EXPECT_EQ(run_program(), 0);
    EXPECT_LE(peeks, 100) << "the loop did not end on the posted WM_QUIT";

    const int first_peek = fake_win32::index_of("PeekMessageA");
    ASSERT_GE(first_peek, 0);
    Names expected;
    for (int i = 0; i < 4; ++i) {
        expected.insert(expected.end(), {"PeekMessageA", "TranslateMessage", "DispatchMessageA"});
        if (i == 1) {
            expected.insert(expected.end(), {"SwapBuffers", "DefWindowProcA"});
        }
        if (i == 3) {
            expected.push_back("PostQuitMessage");
        }
    }
    expected.push_back("PeekMessageA");
    expected.insert(expected.end(), close_steps.begin(), close_steps.end());
    EXPECT_EQ(names_from(first_peek), expected) << fake_win32::trace();

    const std::vector<Call> dispatched = fake_win32::named("DispatchMessageA");
    ASSERT_EQ(dispatched.size(), 4u);
    EXPECT_EQ(dispatched[0].args[0], WM_KEYDOWN);
    EXPECT_EQ(dispatched[1].args[0], WM_TIMER);
    EXPECT_EQ(dispatched[2].args[0], WM_KEYUP);
    EXPECT_EQ(dispatched[3].args[0], WM_CLOSE);
    EXPECT_EQ(gl_recorder::count(GlOp::Clear), 1u) << "the one timer tick drew one frame";
    // Fullscreen is left before program_main returns.
    EXPECT_EQ(fake_win32::named("ChangeDisplaySettingsA").at(1).args[0], 0);
    EXPECT_EQ(fake_win32::named("ShowCursor").at(1).args[0], TRUE);
}

TEST_F(ProgramTest, ReturnsZeroWhenTheWindowCannotOpen) {
    void (*const failures[])() = {
        [] { script.register_class = 0; },
        [] {
            script.change_display = DISP_CHANGE_BADMODE;
            script.message_box_answer = IDNO;
        },
        [] { script.create_window = false; },
        [] { script.get_dc = false; },
        [] { script.choose_pixel_format = 0; },
        [] { script.set_pixel_format = FALSE; },
        [] { script.create_context = false; },
        [] { script.make_current = FALSE; },
    };
    for (std::size_t i = 0; i < sizeof failures / sizeof failures[0]; ++i) {
        SCOPED_TRACE(i);
        fake_win32::reset();
        gl_recorder::reset();
        fake_win32::record_tick_reads = true;
        failures[i]();

        EXPECT_EQ(run_program(), 0);

        // Nothing after the window: no song, no clock, no quadrics, no loop.
        EXPECT_EQ(song_allocations, 0);
        EXPECT_EQ(song_buffer, nullptr);
        EXPECT_EQ(fake_win32::index_of("sndPlaySoundA"), -1);
        EXPECT_EQ(fake_win32::index_of("GetTickCount"), -1);
        EXPECT_EQ(fake_win32::index_of("PeekMessageA"), -1);
        EXPECT_EQ(gl_recorder::count(GlOp::NewQuadric), 0u);
        EXPECT_EQ(calls.back().name, "MessageBoxA");
    }
}

// On Windows a message box runs a modal loop, which delivers the frame timer's ticks. When the
// window fails after its timer has started, the boxes come before start-up has set the clock and
// made the quadrics: a tick that drew then would race the timeline through its slots and draw
// spheres with no quadric.
TEST_F(ProgramTest, TicksDuringTheFailureBoxesOfStartUpDrawNothing) {
    void (*const failures[])() = {
        [] { script.get_dc = false; },           [] { script.choose_pixel_format = 0; },
        [] { script.set_pixel_format = FALSE; }, [] { script.create_context = false; },
        [] { script.make_current = FALSE; },
    };
    const auto calls_and_texts = [](bool without_ticks) {
        std::vector<std::string> seen;
        for (const Call& call : calls) {
            if (!(without_ticks && call.name == "DefWindowProcA" && call.args[1] == WM_TIMER)) {
                seen.push_back(call.name + " " + call.text);
            }
        }
        return seen;
    };
    for (std::size_t i = 0; i < sizeof failures / sizeof failures[0]; ++i) {
        SCOPED_TRACE(i);
        std::vector<std::string> untimed;
        for (bool ticks : {false, true}) {
            fake_win32::reset();
            gl_recorder::reset();
            failures[i]();
            // Every teardown step fails too, so the window and its timer outlive every box.
            script.release_current = FALSE;
            script.delete_context = FALSE;
            script.release_dc = 0;
            script.destroy_window = FALSE;
            script.unregister_class = FALSE;
            script.ticks_in_message_boxes = ticks;
            fake_win32::tick_count = 100000;

            EXPECT_EQ(run_program(), 0);

            if (!ticks) {
                untimed = calls_and_texts(false);
                continue;
            }
            const std::size_t boxes = fake_win32::named("MessageBoxA").size();
            EXPECT_GE(boxes, 3u);
            std::size_t ticks_handled = 0;
            for (const Call& call : fake_win32::named("DefWindowProcA")) {
                ticks_handled += call.args[1] == WM_TIMER ? 1 : 0;
            }
            EXPECT_EQ(ticks_handled, boxes) << "each tick goes to the default procedure";
            EXPECT_EQ(gl_recorder::count(GlOp::Clear), 0u);
            EXPECT_EQ(fake_win32::index_of("SwapBuffers"), -1);
            EXPECT_EQ(scene_index, 0);
            // The same calls and boxes, in the same order, as without the ticks.
            EXPECT_EQ(calls_and_texts(true), untimed) << fake_win32::trace();
        }
    }
}

TEST_F(ProgramTest, WindowedRunReturnsZero) {
    script.change_display = DISP_CHANGE_FAILED;
    script.message_box_answer = IDYES;

    EXPECT_EQ(run_program(), 0);
    EXPECT_NE(fake_win32::index_of("sndPlaySoundA"), -1);
    EXPECT_NE(fake_win32::index_of("UnregisterClassA"), -1);
}

TEST_F(ProgramTest, RunsSilentWhenTheSongImageCannotBeAllocated) {
#ifndef SOLID_TEST_WRAPS_MALLOC
    GTEST_SKIP() << "the allocation cannot be made to fail on this toolchain";
#endif
    fail_song_allocation = true;
    fake_win32::record_tick_reads = true;

    EXPECT_EQ(run_program(), 0);

    EXPECT_EQ(song_allocations, 1) << "the seam did not see the image's allocation";
    EXPECT_EQ(song_buffer, nullptr);
    EXPECT_EQ(fake_win32::index_of("sndPlaySoundA"), -1) << "nothing to play";
    // The show goes on: clock, quadrics, loop and teardown.
    const int clock = fake_win32::index_of("GetTickCount");
    ASSERT_GE(clock, 0);
    EXPECT_EQ(calls.at(static_cast<std::size_t>(clock) - 1).name, "SetFocus");
    EXPECT_EQ(gl_recorder::count(GlOp::NewQuadric), 3u);
    EXPECT_NE(fake_win32::index_of("PeekMessageA", clock), -1);
    EXPECT_NE(fake_win32::index_of("UnregisterClassA", clock), -1);
}

TEST_F(ProgramTest, EndOfTheTimelineExitsFromInsideTheLoopWithZero) {
    // The show is in its last scene; the first tick comes just after that scene's 2000 ms.
    scene_index = 10;
    fake_win32::tick_count = 0xFFFFFF00u;
    fake_win32::tick_step = 2001;
    // The loop ends only through the frame driver; a driver that never ends it would spin.
    fake_win32::quit_when_empty = false;
    int peeks = 0;
    fake_win32::on_call = [&](const Call& call) {
        if (call.name == "PeekMessageA" && ++peeks > 100) {
            fake_win32::quit_when_empty = true;
        }
    };
    fake_win32::queue.push_back(message(WM_TIMER, 0));

    bool exited = false;
    try {
        run_program();
    } catch (const fake_win32::ProcessExit& exit) {
        exited = true;
        EXPECT_EQ(exit.code, 0u);
    }

    ASSERT_TRUE(exited) << fake_win32::trace();
    EXPECT_EQ(scene_index, 11);
    EXPECT_EQ(calls.back().name, "ExitProcess");
    // No swap and no teardown: the process ends inside the frame.
    EXPECT_EQ(fake_win32::index_of("SwapBuffers"), -1);
    EXPECT_EQ(fake_win32::index_of("UnregisterClassA"), -1);
    EXPECT_EQ(fake_win32::named("ChangeDisplaySettingsA").size(), 1u);
}

} // namespace
