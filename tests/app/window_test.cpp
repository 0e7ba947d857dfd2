// The window and its GL context against the scripted Win32 stand-in: every failure box, the
// fullscreen and windowed paths, the teardown that goes on past its own failures, and the
// projection and GL start state.
#include "shell_fixture.h"

namespace {

using fake_win32::Call;
using fake_win32::calls;
using fake_win32::script;
using Names = std::vector<std::string>;

const char* const title = "Kelo's Solid Object Tutorial";
const char* const fullscreen_question = "The Requested Fullscreen Mode Is Not Supported By\nYour "
                                        "Video Card. Use Windowed Mode Instead?";

bool open_show_window() {
    return open_window(title, 640, 480, 16, true);
}

void expect_box(const Call& box, const char* text, const char* caption, std::intptr_t flags) {
    EXPECT_EQ(box.name, "MessageBoxA");
    EXPECT_EQ(box.args[0], 0) << "message boxes have no owner window";
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, caption);
    EXPECT_EQ(box.args[1], flags) << text;
}

// A failure after the window class is registered, and the teardown calls expected between the
// failing call and the box: close_window walks back from the stage that was reached.
struct LateFailure {
    const char* failing_call;
    void (*arrange)();
    const char* text;
    Names teardown;
};

const Names restore_mode = {"ChangeDisplaySettingsA", "ShowCursor"};

Names with_restore(Names rest) {
    Names all = restore_mode;
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
}

const LateFailure late_failures[] = {
    {"CreateWindowExA", [] { script.create_window = false; }, "Window Creation Error.",
     with_restore({"UnregisterClassA"})},
    {"GetDC", [] { script.get_dc = false; }, "Can't Create A GL Device Context.",
     with_restore({"DestroyWindow", "UnregisterClassA"})},
    {"ChoosePixelFormat", [] { script.choose_pixel_format = 0; },
     "Can't Find A Suitable PixelFormat.",
     with_restore({"ReleaseDC", "DestroyWindow", "UnregisterClassA"})},
    {"SetPixelFormat", [] { script.set_pixel_format = FALSE; }, "Can't Set The PixelFormat.",
     with_restore({"ReleaseDC", "DestroyWindow", "UnregisterClassA"})},
    {"wglCreateContext", [] { script.create_context = false; },
     "Can't Create A GL Rendering Context.",
     with_restore({"ReleaseDC", "DestroyWindow", "UnregisterClassA"})},
    {"wglMakeCurrent", [] { script.make_current = FALSE; },
     "Can't Activate The GL Rendering Context.",
     with_restore(
         {"wglMakeCurrent", "wglDeleteContext", "ReleaseDC", "DestroyWindow", "UnregisterClassA"})},
};

class LateFailureTest : public ShellTest, public ::testing::WithParamInterface<LateFailure> {};

TEST_P(LateFailureTest, TearsDownBeforeTheErrorBox) {
    const LateFailure& row = GetParam();
    row.arrange();

    EXPECT_FALSE(open_show_window());

    const int failed_at = fake_win32::index_of(row.failing_call);
    ASSERT_GE(failed_at, 0) << fake_win32::trace();
    Names expected = row.teardown;
    expected.push_back("MessageBoxA");
    EXPECT_EQ(names_from(failed_at + 1), expected) << fake_win32::trace();
    expect_box(calls.back(), row.text, "ERROR", 0x30);
    EXPECT_EQ(fake_win32::named("MessageBoxA").size(), 1u);

    // The display mode is given back with the null mode, and the cursor shown again.
    const std::vector<Call> mode_changes = fake_win32::named("ChangeDisplaySettingsA");
    ASSERT_EQ(mode_changes.size(), 2u);
    EXPECT_EQ(mode_changes[1].args[0], 0);
    EXPECT_EQ(mode_changes[1].args[1], 0);
    const std::vector<Call> cursor = fake_win32::named("ShowCursor");
    ASSERT_EQ(cursor.size(), 2u);
    EXPECT_EQ(cursor[1].args[0], TRUE);
    EXPECT_EQ(gl_context, nullptr);
    EXPECT_EQ(fake_win32::index_of("ShowWindow"), -1);
}

INSTANTIATE_TEST_SUITE_P(EachSetUpStep, LateFailureTest, ::testing::ValuesIn(late_failures),
                         [](const ::testing::TestParamInfo<LateFailure>& row) {
                             return std::string(row.param.failing_call);
                         });

TEST_F(ShellTest, FailedClassRegistrationIsReportedWithoutTeardown) {
    script.register_class = 0;

    EXPECT_FALSE(open_show_window());

    EXPECT_EQ(names(), (Names{"GetModuleHandleA", "LoadIconA", "LoadCursorA", "RegisterClassA",
                              "MessageBoxA"}));
    expect_box(calls.back(), "Failed To Register The Window Class.", "ERROR", 0x30);
}

TEST_F(ShellTest, DecliningWindowedModeClosesWithoutTeardown) {
    // IDNO, and any other answer that is not IDYES.
    for (int answer : {IDNO, IDCANCEL, 0}) {
        SCOPED_TRACE(answer);
        fake_win32::reset();
        script.change_display = DISP_CHANGE_BADMODE;
        script.message_box_answer = answer;

        EXPECT_FALSE(open_show_window());

        const int asked = fake_win32::index_of("MessageBoxA");
        ASSERT_GE(asked, 0) << fake_win32::trace();
        EXPECT_EQ(names_from(asked - 1),
                  (Names{"ChangeDisplaySettingsA", "MessageBoxA", "MessageBoxA"}));
        expect_box(calls[static_cast<std::size_t>(asked)], fullscreen_question, "Kelo GL", 0x34);
        expect_box(calls.back(), "Program Will Now Close.", "ERROR", 0x10);
        // The class stays registered and nothing was hidden or created.
        EXPECT_EQ(fake_win32::index_of("UnregisterClassA"), -1);
        EXPECT_EQ(fake_win32::index_of("ShowCursor"), -1);
    }
}

TEST_F(ShellTest, FullscreenIsAPopupAtTheOriginWithTheCursorHidden) {
    std::vector<std::size_t> gl_calls_at;
    fake_win32::on_call = [&](const Call&) { gl_calls_at.push_back(gl_recorder::calls.size()); };

    ASSERT_TRUE(open_show_window()) << fake_win32::trace();

    EXPECT_EQ(names(), (Names{"GetModuleHandleA", "LoadIconA", "LoadCursorA", "RegisterClassA",
                              "ChangeDisplaySettingsA", "ShowCursor", "AdjustWindowRectEx",
                              "CreateWindowExA", "SetTimer", "GetDC", "ChoosePixelFormat",
                              "SetPixelFormat", "wglCreateContext", "wglMakeCurrent", "ShowWindow",
                              "SetForegroundWindow", "SetFocus"}));
    EXPECT_TRUE(fullscreen);

    EXPECT_EQ(calls[0].args[0], 0);
    EXPECT_EQ(calls[1].args[0], 0);
    EXPECT_EQ(calls[1].args[1], as_int(IDI_WINLOGO));
    EXPECT_EQ(calls[2].args[0], 0);
    EXPECT_EQ(calls[2].args[1], as_int(IDC_ARROW));
    const Call& window_class = calls[3];
    EXPECT_EQ(window_class.text, "OpenGL");
    EXPECT_EQ(window_class.args[0], 0x23) << "CS_HREDRAW | CS_VREDRAW | CS_OWNDC";
    EXPECT_EQ(window_class.args[1], 0);
    EXPECT_EQ(window_class.args[2], 0);
    EXPECT_EQ(window_class.args[3], 0) << "no background brush";
    EXPECT_EQ(window_class.args[4], as_int(fake_win32::instance));
    EXPECT_EQ(window_class.args[5], 0x5501) << "the icon LoadIconA gave";
    EXPECT_EQ(window_class.args[6], 0x5502) << "the cursor LoadCursorA gave";
    EXPECT_EQ(window_class.args[7], 0) << "no menu";
    EXPECT_EQ(fake_win32::registered_proc, &window_proc);

    // 640 x 480 x 16 with nothing else asked for, not even a refresh rate.
    const Call& mode_change = calls[4];
    EXPECT_NE(mode_change.args[0], 0);
    EXPECT_EQ(mode_change.args[1], 4) << "CDS_FULLSCREEN";
    DEVMODEA expected_mode;
    std::memset(&expected_mode, 0, sizeof expected_mode);
    expected_mode.dmSize = 156;
    expected_mode.dmFields = 0x1C0000;
    expected_mode.dmPelsWidth = 640;
    expected_mode.dmPelsHeight = 480;
    expected_mode.dmBitsPerPel = 16;
    EXPECT_EQ(std::memcmp(&fake_win32::last_display_mode, &expected_mode, sizeof expected_mode), 0);
    EXPECT_EQ(fake_win32::last_display_mode.dmDisplayFrequency, 0u);

    EXPECT_EQ(calls[5].args[0], FALSE);
    const Call& adjust = calls[6];
    EXPECT_EQ(adjust.args[0], static_cast<std::intptr_t>(0x80000000u)) << "WS_POPUP";
    EXPECT_EQ(adjust.args[1], FALSE);
    EXPECT_EQ(adjust.args[2], 0x40000) << "WS_EX_APPWINDOW";
    const Call& create = calls[7];
    EXPECT_EQ(create.args[0], 0x40000);
    EXPECT_EQ(create.args[1], static_cast<std::intptr_t>(0x86000000u))
        << "WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN";
    EXPECT_EQ(create.args[2], 0);
    EXPECT_EQ(create.args[3], 0);
    EXPECT_EQ(create.args[4], 640);
    EXPECT_EQ(create.args[5], 480);
    EXPECT_EQ(create.args[6], 0) << "no parent, menu or creation data";
    EXPECT_EQ(create.args[7], as_int(fake_win32::instance));
    EXPECT_EQ(create.caption, "OpenGL");
    EXPECT_EQ(create.text, title);

    // The 10 ms frame timer with identifier 0 and no callback.
    const Call& timer = calls[8];
    EXPECT_EQ(timer.args[0], as_int(fake_win32::window));
    EXPECT_EQ(timer.args[1], 0);
    EXPECT_EQ(timer.args[2], 10);
    EXPECT_EQ(timer.args[3], 0);

    EXPECT_EQ(calls[9].args[0], as_int(fake_win32::window));
    EXPECT_EQ(calls[10].args[0], as_int(fake_win32::dc));
    EXPECT_EQ(calls[10].args[1], as_int(&pixel_format_desc));
    EXPECT_EQ(calls[11].args[0], as_int(fake_win32::dc));
    EXPECT_EQ(calls[11].args[1], 7) << "the format ChoosePixelFormat found";
    EXPECT_EQ(calls[11].args[2], as_int(&pixel_format_desc));
    EXPECT_EQ(calls[12].args[0], as_int(fake_win32::dc));
    EXPECT_EQ(calls[13].args[0], as_int(fake_win32::dc));
    EXPECT_EQ(calls[13].args[1], as_int(fake_win32::context));
    EXPECT_EQ(calls[14].args[0], as_int(fake_win32::window));
    EXPECT_EQ(calls[14].args[1], SW_SHOW);
    EXPECT_EQ(calls[15].args[0], as_int(fake_win32::window));
    EXPECT_EQ(calls[16].args[0], as_int(fake_win32::window));

    EXPECT_EQ(instance_handle, fake_win32::instance);
    EXPECT_EQ(window_handle, fake_win32::window);
    EXPECT_EQ(device_context, fake_win32::dc);
    EXPECT_EQ(gl_context, fake_win32::context);

    // Projection and GL state are set once the window is shown and focused, for the requested
    // 640 x 480.
    const std::size_t after_focus = gl_calls_at.back();
    ASSERT_EQ(gl_recorder::calls.size() - after_focus, 12u);
    const GlCall& viewport = gl_recorder::calls[after_focus];
    EXPECT_EQ(viewport.op, GlOp::Viewport);
    EXPECT_EQ(viewport.i[2], 640);
    EXPECT_EQ(viewport.i[3], 480);
    EXPECT_EQ(gl_recorder::calls[after_focus + 6].op, GlOp::ShadeModel);
    EXPECT_EQ(fake_win32::index_of("MessageBoxA"), -1);
}

TEST_F(ShellTest, ClosingFullscreenRestoresTheModeAndCursorFirst) {
    ASSERT_TRUE(open_show_window());
    calls.clear();

    close_window();

    EXPECT_EQ(names(),
              (Names{"ChangeDisplaySettingsA", "ShowCursor", "wglMakeCurrent", "wglDeleteContext",
                     "ReleaseDC", "DestroyWindow", "UnregisterClassA"}));
    EXPECT_EQ(calls[0].args[0], 0) << "the null mode: back to the registry's";
    EXPECT_EQ(calls[0].args[1], 0);
    EXPECT_EQ(calls[1].args[0], TRUE);
}

TEST_F(ShellTest, WindowedModeAfterARefusedModeChange) {
    script.change_display = DISP_CHANGE_FAILED;
    script.message_box_answer = IDYES;
    std::vector<std::size_t> viewports_at;
    fake_win32::on_call = [&](const Call&) {
        viewports_at.push_back(gl_recorder::count(GlOp::Viewport));
    };

    ASSERT_TRUE(open_show_window()) << fake_win32::trace();

    // An overlapped window hears of its size from its first ShowWindow, with the context current;
    // open_window then sets the requested size itself.
    const std::vector<GlCall> viewports = gl_recorder::of(GlOp::Viewport);
    ASSERT_EQ(viewports.size(), 2u);
    EXPECT_EQ(viewports_at.at(static_cast<std::size_t>(fake_win32::index_of("ShowWindow"))), 0u);
    EXPECT_EQ(viewports[1].i[2], 640);
    EXPECT_EQ(viewports[1].i[3], 480);

    EXPECT_FALSE(fullscreen);
    ASSERT_EQ(fake_win32::named("MessageBoxA").size(), 1u);
    expect_box(fake_win32::named("MessageBoxA")[0], fullscreen_question, "Kelo GL", 0x34);
    EXPECT_TRUE(fake_win32::named("ShowCursor").empty()) << "the cursor stays visible";

    const Call adjust = fake_win32::named("AdjustWindowRectEx").at(0);
    EXPECT_EQ(adjust.args[0], 0xCF0000) << "WS_OVERLAPPEDWINDOW";
    EXPECT_EQ(adjust.args[1], FALSE);
    EXPECT_EQ(adjust.args[2], 0x40100) << "WS_EX_APPWINDOW | WS_EX_WINDOWEDGE";
    EXPECT_EQ(adjust.args[3], 0);
    EXPECT_EQ(adjust.args[4], 0);
    EXPECT_EQ(adjust.args[5], 640);
    EXPECT_EQ(adjust.args[6], 480);

    // The stand-in's frame around a 640 x 480 client area, as the system would report it.
    RECT outer{0, 0, 640, 480};
    AdjustWindowRectEx(&outer, 0xCF0000, FALSE, 0x40100);
    ASSERT_GT(outer.right - outer.left, 640) << "the stand-in must draw a frame";

    const Call create = fake_win32::named("CreateWindowExA").at(0);
    EXPECT_EQ(create.args[0], 0x40100);
    EXPECT_EQ(create.args[1], 0x6CF0000)
        << "WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN";
    EXPECT_EQ(create.args[2], 0);
    EXPECT_EQ(create.args[3], 0);
    EXPECT_EQ(create.args[4], outer.right - outer.left);
    EXPECT_EQ(create.args[5], outer.bottom - outer.top);

    calls.clear();
    close_window();
    EXPECT_EQ(names(), (Names{"wglMakeCurrent", "wglDeleteContext", "ReleaseDC", "DestroyWindow",
                              "UnregisterClassA"}))
        << "the display mode and cursor are left alone";
}

TEST_F(ShellTest, PixelFormatDescriptorIsFilledOnceWithTheFirstDepth) {
    ASSERT_TRUE(open_window(title, 640, 480, 16, false));

    PIXELFORMATDESCRIPTOR expected;
    std::memset(&expected, 0, sizeof expected);
    expected.nSize = 40;
    expected.nVersion = 1;
    expected.dwFlags = 0x25;
    expected.iPixelType = 0;
    expected.cColorBits = 16;
    expected.cDepthBits = 16;
    expected.iLayerType = 0;
    EXPECT_EQ(std::memcmp(&pixel_format_desc, &expected, sizeof expected), 0);
    EXPECT_EQ(pixel_format_desc.dwFlags, 0x25u);
    EXPECT_EQ(pixel_format_desc.cColorBits, 16);
    EXPECT_EQ(pixel_format_desc.cDepthBits, 16);

    close_window();
    ASSERT_TRUE(open_window(title, 640, 480, 32, false));
    EXPECT_EQ(pixel_format_desc.cColorBits, 16) << "not updated by a later call";
}

// Each teardown step that can fail, by the script that makes it fail and the box it shows.
struct TeardownFailure {
    const char* failing_call;
    void (*arrange)();
    const char* text;
};

const TeardownFailure teardown_failures[] = {
    {"wglMakeCurrent", [] { script.release_current = FALSE; }, "Release Of DC And RC Failed."},
    {"wglDeleteContext", [] { script.delete_context = FALSE; },
     "Release Rendering Context Failed."},
    {"ReleaseDC", [] { script.release_dc = 0; }, "Release Device Context Failed."},
    {"DestroyWindow", [] { script.destroy_window = FALSE; }, "Could Not Release hWnd."},
    {"UnregisterClassA", [] { script.unregister_class = FALSE; }, "Could Not Unregister Class."},
};

const Names teardown_steps = {"ChangeDisplaySettingsA", "ShowCursor", "wglMakeCurrent",
                              "wglDeleteContext",       "ReleaseDC",  "DestroyWindow",
                              "UnregisterClassA"};

class TeardownFailureTest : public ShellTest,
                            public ::testing::WithParamInterface<TeardownFailure> {};

TEST_P(TeardownFailureTest, ReportsAndGoesOn) {
    ASSERT_TRUE(open_show_window());
    GetParam().arrange();
    calls.clear();

    close_window();

    Names expected;
    for (const std::string& step : teardown_steps) {
        expected.push_back(step);
        if (step == GetParam().failing_call) {
            expected.push_back("MessageBoxA");
        }
    }
    EXPECT_EQ(names(), expected) << fake_win32::trace();
    expect_box(fake_win32::named("MessageBoxA").at(0), GetParam().text, "SHUTDOWN ERROR", 0x40);
    EXPECT_EQ(gl_context, nullptr);
}

INSTANTIATE_TEST_SUITE_P(EachStep, TeardownFailureTest, ::testing::ValuesIn(teardown_failures),
                         [](const ::testing::TestParamInfo<TeardownFailure>& row) {
                             return std::string(row.param.failing_call);
                         });

TEST_F(ShellTest, TeardownWithEveryStepFailingStillRunsEveryStep) {
    ASSERT_TRUE(open_show_window());
    for (const TeardownFailure& row : teardown_failures) {
        row.arrange();
    }
    calls.clear();

    close_window();

    EXPECT_EQ(names(),
              (Names{"ChangeDisplaySettingsA", "ShowCursor", "wglMakeCurrent", "MessageBoxA",
                     "wglDeleteContext", "MessageBoxA", "ReleaseDC", "MessageBoxA", "DestroyWindow",
                     "MessageBoxA", "UnregisterClassA", "MessageBoxA"}));
    const std::vector<Call> boxes = fake_win32::named("MessageBoxA");
    ASSERT_EQ(boxes.size(), 5u);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        expect_box(boxes[i], teardown_failures[i].text, "SHUTDOWN ERROR", 0x40);
    }
    // The context is deleted even though releasing it failed, and every handle is the one made.
    const Call release = fake_win32::named("wglMakeCurrent").at(0);
    EXPECT_EQ(release.args[0], 0);
    EXPECT_EQ(release.args[1], 0);
    EXPECT_EQ(fake_win32::named("wglDeleteContext").at(0).args[0], as_int(fake_win32::context));
    EXPECT_EQ(fake_win32::named("ReleaseDC").at(0).args[0], as_int(fake_win32::window));
    EXPECT_EQ(fake_win32::named("ReleaseDC").at(0).args[1], as_int(fake_win32::dc));
    EXPECT_EQ(fake_win32::named("DestroyWindow").at(0).args[0], as_int(fake_win32::window));
    const Call unregister = fake_win32::named("UnregisterClassA").at(0);
    EXPECT_EQ(unregister.text, "OpenGL");
    EXPECT_EQ(unregister.args[0], as_int(fake_win32::instance));
}

TEST_F(ShellTest, ViewportAndProjection) {
    resize_viewport(640, 480);

    const std::vector<GlCall>& gl = gl_recorder::calls;
    ASSERT_EQ(gl.size(), 6u);
    EXPECT_EQ(gl[0].op, GlOp::Viewport);
    EXPECT_EQ(gl[0].i[0], 0);
    EXPECT_EQ(gl[0].i[1], 0);
    EXPECT_EQ(gl[0].i[2], 640);
    EXPECT_EQ(gl[0].i[3], 480);
    EXPECT_EQ(gl[1].op, GlOp::MatrixMode);
    EXPECT_EQ(gl[1].i[0], 0x1701);
    EXPECT_EQ(gl[2].op, GlOp::LoadIdentity);
    EXPECT_EQ(gl[3].op, GlOp::Perspective);
    EXPECT_EQ(gl[3].d[0], 45.0);
    // Divided in double: the float quotient would be 1.3333333730697632.
    EXPECT_EQ(gl[3].d[1], 1.3333333333333333);
    EXPECT_EQ(gl[3].d[2], 0.10000000149011612) << "the single-precision 0.1, widened";
    EXPECT_EQ(gl[3].d[3], 500.0);
    EXPECT_EQ(gl[4].op, GlOp::MatrixMode);
    EXPECT_EQ(gl[4].i[0], 0x1700);
    EXPECT_EQ(gl[5].op, GlOp::LoadIdentity);
}

TEST_F(ShellTest, ZeroHeightViewportUsesOne) {
    resize_viewport(800, 0);

    const std::vector<GlCall> viewports = gl_recorder::of(GlOp::Viewport);
    ASSERT_EQ(viewports.size(), 1u);
    EXPECT_EQ(viewports[0].i[2], 800);
    EXPECT_EQ(viewports[0].i[3], 1);
    EXPECT_EQ(gl_recorder::of(GlOp::Perspective).at(0).d[1], 800.0);
}

TEST_F(ShellTest, GlStartState) {
    EXPECT_TRUE(init_gl_state());

    const std::vector<GlCall>& gl = gl_recorder::calls;
    ASSERT_EQ(gl.size(), 6u);
    EXPECT_EQ(gl[0].op, GlOp::ShadeModel);
    EXPECT_EQ(gl[0].i[0], 0x1D01);
    EXPECT_EQ(gl[1].op, GlOp::ClearColor);
    EXPECT_EQ(gl[1].f[0], 0.0f);
    EXPECT_EQ(gl[1].f[1], 0.0f);
    EXPECT_EQ(gl[1].f[2], 0.0f);
    EXPECT_EQ(gl[1].f[3], 0.5f);
    EXPECT_EQ(gl[2].op, GlOp::ClearDepth);
    EXPECT_EQ(gl[2].d[0], 1.0);
    EXPECT_EQ(gl[3].op, GlOp::Enable);
    EXPECT_EQ(gl[3].i[0], 0x0B71);
    EXPECT_EQ(gl[4].op, GlOp::DepthFunc);
    EXPECT_EQ(gl[4].i[0], 0x0203);
    EXPECT_EQ(gl[5].op, GlOp::Hint);
    EXPECT_EQ(gl[5].i[0], 0x0C50);
    EXPECT_EQ(gl[5].i[1], 0x1102);
}

} // namespace
