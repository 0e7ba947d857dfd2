// The window procedure's message table: what it answers itself, what it hands to the default
// procedure, the key states and the frame tick.
#include "shell_fixture.h"

#include <array>

namespace {

using fake_win32::Call;
using fake_win32::calls;
using fake_win32::script;

// A result the default procedure never gives by chance, so a handled message is told apart.
const LRESULT default_answer = 0x5EED;

class WindowProcTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        script.default_result = default_answer;
        device_context = fake_win32::dc;
        window_handle = fake_win32::window;
        startup_finished = true;
    }

    static LRESULT send(UINT message, WPARAM wparam, LPARAM lparam = 0) {
        return window_proc(fake_win32::window, message, wparam, lparam);
    }

    static std::array<unsigned char, 256> keys() {
        std::array<unsigned char, 256> copy{};
        std::memcpy(copy.data(), key_down, sizeof key_down);
        return copy;
    }
};

TEST_F(WindowProcTest, SizeSetsTheViewportFromTheUnsignedWords) {
    EXPECT_EQ(send(WM_SIZE, SIZE_RESTORED, (480 << 16) | 640), 0);
    // Words of 0x8000 and more are sizes, not negative numbers.
    EXPECT_EQ(send(WM_SIZE, SIZE_MAXIMIZED, static_cast<LPARAM>(0x8000FFFFu)), 0);
    // A minimised window reports 0 x 0.
    EXPECT_EQ(send(WM_SIZE, SIZE_MINIMIZED, 0), 0);

    const std::vector<GlCall> viewports = gl_recorder::of(GlOp::Viewport);
    ASSERT_EQ(viewports.size(), 3u);
    EXPECT_EQ(viewports[0].i[2], 640);
    EXPECT_EQ(viewports[0].i[3], 480);
    EXPECT_EQ(viewports[1].i[2], 65535);
    EXPECT_EQ(viewports[1].i[3], 32768);
    EXPECT_EQ(viewports[2].i[2], 0);
    EXPECT_EQ(viewports[2].i[3], 1);
    EXPECT_EQ(gl_recorder::of(GlOp::Perspective).at(0).d[1], 640.0 / 480.0);
    EXPECT_TRUE(calls.empty()) << fake_win32::trace();
}

TEST_F(WindowProcTest, ActivationIsAnsweredWithoutDefaultProcessing) {
    EXPECT_EQ(send(WM_ACTIVATE, WA_ACTIVE), 0);
    EXPECT_EQ(send(WM_ACTIVATE, WA_INACTIVE), 0);
    EXPECT_TRUE(calls.empty()) << fake_win32::trace();
}

TEST_F(WindowProcTest, CloseOnlyPostsTheQuit) {
    EXPECT_EQ(send(WM_CLOSE, 0), 0);

    ASSERT_EQ(calls.size(), 1u) << fake_win32::trace();
    EXPECT_EQ(calls[0].name, "PostQuitMessage");
    EXPECT_EQ(calls[0].args[0], 0);
    ASSERT_EQ(fake_win32::queue.size(), 1u);
    EXPECT_EQ(fake_win32::queue.front().message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(fake_win32::queue.front().wParam, 0u);
    // Window, context and handles stay for close_window.
    EXPECT_EQ(window_handle, fake_win32::window);
    EXPECT_EQ(device_context, fake_win32::dc);
}

TEST_F(WindowProcTest, KeyStatesFollowKeyDownAndUp) {
    std::array<unsigned char, 256> expected{};

    EXPECT_EQ(send(WM_KEYDOWN, VK_LEFT, 0x014B0001), 0);
    expected[VK_LEFT] = 1;
    EXPECT_EQ(keys(), expected);

    // Auto-repeat: further WM_KEYDOWN for a held key.
    EXPECT_EQ(send(WM_KEYDOWN, VK_LEFT, 0x414B0001), 0);
    EXPECT_EQ(send(WM_KEYDOWN, 255), 0);
    EXPECT_EQ(send(WM_KEYDOWN, 0), 0);
    expected[255] = 1;
    expected[0] = 1;
    EXPECT_EQ(keys(), expected);

    EXPECT_EQ(send(WM_KEYUP, VK_LEFT), 0);
    expected[VK_LEFT] = 0;
    EXPECT_EQ(keys(), expected);
    // A key-up for a key never pressed leaves it 0.
    EXPECT_EQ(send(WM_KEYUP, VK_RIGHT), 0);
    EXPECT_EQ(keys(), expected);

    EXPECT_TRUE(calls.empty()) << fake_win32::trace();
}

TEST_F(WindowProcTest, KeyCodesOutsideTheTableAreIgnored) {
    key_down[VK_LEFT] = 1;
    key_down[0] = 0;
    const std::array<unsigned char, 256> before = keys();
    const ColorRgb background_before = background_color;
    const CameraOffset camera_before = camera_offset;
    const std::int32_t scene_before = scene_index;

    // A code truncated to its low byte would land on VK_LEFT (0x125) or on 0 (0x100).
    for (WPARAM code :
         {WPARAM{256}, WPARAM{0x125}, WPARAM{0x1000}, WPARAM{0xFFFFFFFFu}, ~WPARAM{0}}) {
        SCOPED_TRACE(code);
        send(WM_KEYDOWN, code);
        send(WM_KEYUP, code);
        send(WM_KEYDOWN, code);
        EXPECT_EQ(keys(), before);
    }
    EXPECT_EQ(std::memcmp(&background_color, &background_before, sizeof background_before), 0);
    EXPECT_EQ(std::memcmp(&camera_offset, &camera_before, sizeof camera_before), 0);
    EXPECT_EQ(scene_index, scene_before);
}

TEST_F(WindowProcTest, ScreenSaverAndMonitorPowerDownAreRefused) {
    EXPECT_EQ(send(WM_SYSCOMMAND, SC_SCREENSAVE), 0);
    EXPECT_EQ(send(WM_SYSCOMMAND, SC_MONITORPOWER, 2), 0);
    EXPECT_EQ(send(WM_SYSCOMMAND, SC_MONITORPOWER, 1), 0);
    EXPECT_TRUE(calls.empty()) << fake_win32::trace();
}

TEST_F(WindowProcTest, EverythingElseGoesToTheDefaultProcedure) {
    struct Sent {
        UINT message;
        WPARAM wparam;
        LPARAM lparam;
    };
    // Other system commands, the whole wParam compared; Alt and F10 keys; messages not handled.
    const Sent others[] = {
        {WM_SYSCOMMAND, SC_CLOSE, 0},
        {WM_SYSCOMMAND, SC_KEYMENU, 'f'},
        {WM_SYSCOMMAND, SC_SCREENSAVE + 1, 0},
        {WM_SYSCOMMAND, SC_MONITORPOWER | 0x10000, 2},
        {WM_SYSKEYDOWN, VK_F4, 0x203E0001},
        {WM_SYSKEYDOWN, VK_F10, 0x00440001},
        {WM_SYSKEYUP, VK_F4, static_cast<LPARAM>(0xE03E0001u)},
        {WM_SYSKEYDOWN, VK_LEFT, 0x204B0001},
        {WM_CHAR, 'a', 0x001E0001},
        {WM_MOVE, 0, 0},
        {WM_SETFOCUS, 0, 0},
        {WM_NULL, 0, 0},
    };
    for (const Sent& sent : others) {
        SCOPED_TRACE(sent.message);
        SCOPED_TRACE(sent.wparam);
        calls.clear();

        EXPECT_EQ(send(sent.message, sent.wparam, sent.lparam), default_answer);

        ASSERT_EQ(calls.size(), 1u) << fake_win32::trace();
        EXPECT_EQ(calls[0].name, "DefWindowProcA");
        EXPECT_EQ(calls[0].args[0], as_int(fake_win32::window));
        EXPECT_EQ(calls[0].args[1], static_cast<std::intptr_t>(sent.message));
        EXPECT_EQ(calls[0].args[2], static_cast<std::intptr_t>(sent.wparam));
        EXPECT_EQ(calls[0].args[3], sent.lparam);
    }
    EXPECT_EQ(keys(), (std::array<unsigned char, 256>{})) << "system keys are not recorded";
}

TEST_F(WindowProcTest, TimerDrawsOneFrameThenSwapsThenDefaults) {
    std::vector<std::size_t> clears_at;
    fake_win32::on_call = [&](const Call&) {
        clears_at.push_back(gl_recorder::count(GlOp::Clear));
    };

    EXPECT_EQ(send(WM_TIMER, 0, 0), default_answer);

    ASSERT_EQ(calls.size(), 2u) << fake_win32::trace();
    EXPECT_EQ(calls[0].name, "SwapBuffers");
    EXPECT_EQ(calls[0].args[0], as_int(fake_win32::dc));
    EXPECT_EQ(clears_at[0], 1u) << "the frame is drawn before the swap";
    EXPECT_EQ(calls[1].name, "DefWindowProcA");
    EXPECT_EQ(calls[1].args[1], WM_TIMER);
    EXPECT_EQ(calls[1].args[2], 0);
    EXPECT_EQ(gl_recorder::count(GlOp::Clear), 1u);
    EXPECT_EQ(gl_recorder::of(GlOp::Clear).at(0).i[0], 0x4100);
}

} // namespace
