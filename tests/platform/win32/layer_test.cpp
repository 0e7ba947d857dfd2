// The Win32 layer's rules over a scripted backend: the messages windows get and their order, the
// message loop, the display mode, the cursor, message boxes, WGL's bookkeeping and sound.
#include "platform/win32/backend.h"
#include "platform/win32/message_queue.h"
#include "platform/win32/wav_image.h"
#include "tests/support/wav_builder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// What the scripted backend does and what it was asked.
struct Script {
    bool display = true;
    int display_width = 1920;
    int display_height = 1080;
    DWORD clock = 5000;
    bool screen_saver_allowed = true;
    bool cursor_shown = true;
    bool make_current_works = true;
    int answer = IDNO;
    std::vector<std::string> calls;
    std::vector<long> idles;
    bool play_works = true;
    int plays_for_asks = 0; // sound_playing answers true this many times after a play
    int playing_left = 0;
    std::vector<std::uint8_t> played; // the samples of the last play
    const std::uint8_t* played_from = nullptr;
};
Script script;

// What the window procedure received, and how it answers.
struct Received {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};
std::vector<Received> received;
bool refuse_nccreate = false;
bool refuse_screen_saver = false;

LRESULT CALLBACK test_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    received.push_back({message, wparam, lparam});
    if (message == WM_NCCREATE && refuse_nccreate) {
        return FALSE;
    }
    if (message == WM_SYSCOMMAND && wparam == SC_SCREENSAVE && refuse_screen_saver) {
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

std::vector<UINT> messages() {
    std::vector<UINT> numbers;
    numbers.reserve(received.size());
    for (const Received& r : received) {
        numbers.push_back(r.message);
    }
    return numbers;
}

int native_window = 0;
int native_context = 0;

class Layer : public ::testing::Test {
  protected:
    void SetUp() override {
        script = Script{};
        received.clear();
        refuse_nccreate = false;
        refuse_screen_saver = false;
        WNDCLASSA window_class{};
        window_class.lpfnWndProc = test_proc;
        window_class.lpszClassName = "test";
        ASSERT_NE(RegisterClassA(&window_class), 0);
    }

    void TearDown() override {
        win32::release_windows();
        ChangeDisplaySettingsA(nullptr, 0);
        // Whatever a test left in the queue.
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        EXPECT_TRUE(UnregisterClassA("test", nullptr));
    }

    static HWND make_window(DWORD style = WS_OVERLAPPEDWINDOW) {
        return CreateWindowExA(0, "test", "title", style, 3, 4, 320, 200, nullptr, nullptr, nullptr,
                               nullptr);
    }
};

// Windows' order as user32's message tests record it (leaving out the non-client, painting and
// position-change messages), with the layer's own screen-saver questions after the activation.
TEST_F(Layer, WindowsGetTheirLifeMessagesInWindowsOrder) {
    // WmCreateOverlappedSeq: no size or place yet.
    const HWND window = make_window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(messages(), (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));

    // WmShowOverlappedSeq, whose WM_SIZE and WM_MOVE come with a window's first showing.
    received.clear();
    ShowWindow(window, SW_SHOW);
    EXPECT_EQ(messages(),
              (std::vector<UINT>{WM_SHOWWINDOW, WM_ACTIVATEAPP, WM_ACTIVATE, WM_SETFOCUS,
                                 WM_SYSCOMMAND, WM_SYSCOMMAND, WM_SIZE, WM_MOVE}));
    EXPECT_EQ(received[4].wparam, static_cast<WPARAM>(SC_SCREENSAVE));
    EXPECT_EQ(received[5].wparam, static_cast<WPARAM>(SC_MONITORPOWER));
    EXPECT_EQ(received[6].wparam, static_cast<WPARAM>(SIZE_RESTORED));
    EXPECT_EQ(received[6].lparam, MAKELPARAM(320, 200));
    EXPECT_EQ(received[7].lparam, MAKELPARAM(3, 4));
    EXPECT_TRUE(script.screen_saver_allowed);

    // WmHideOverlappedSeq, then showing again: no second WM_SIZE.
    received.clear();
    ShowWindow(window, SW_HIDE);
    EXPECT_EQ(messages(),
              (std::vector<UINT>{WM_SHOWWINDOW, WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS}));
    received.clear();
    ShowWindow(window, SW_SHOW);
    EXPECT_EQ(messages(), (std::vector<UINT>{WM_SHOWWINDOW, WM_ACTIVATEAPP, WM_ACTIVATE,
                                             WM_SETFOCUS, WM_SYSCOMMAND, WM_SYSCOMMAND}));

    // WmDestroyOverlappedSeq
    received.clear();
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(messages(), (std::vector<UINT>{WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS, WM_DESTROY,
                                             WM_NCDESTROY}));
    EXPECT_EQ(received[0].wparam, static_cast<WPARAM>(WA_INACTIVE));
    EXPECT_EQ(received[1].wparam, static_cast<WPARAM>(FALSE));
    EXPECT_EQ(script.calls,
              (std::vector<std::string>{"create", "show", "hide", "show", "hide", "destroy"}));
    EXPECT_EQ(win32::find_window(window), nullptr);

    // WmCreateInvisiblePopupSeq: a popup hears its size and place as it is made, and only then.
    received.clear();
    const HWND popup = make_window(WS_POPUP);
    EXPECT_EQ(messages(), (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}));
    EXPECT_EQ(received[2].lparam, MAKELPARAM(320, 200));
    received.clear();
    ShowWindow(popup, SW_SHOW);
    EXPECT_EQ(messages(), (std::vector<UINT>{WM_SHOWWINDOW, WM_ACTIVATEAPP, WM_ACTIVATE,
                                             WM_SETFOCUS, WM_SYSCOMMAND, WM_SYSCOMMAND}));
}

TEST_F(Layer, ARefusedCreationLeavesNoWindow) {
    refuse_nccreate = true;
    EXPECT_EQ(make_window(), nullptr);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"create", "destroy"}));
    // Without a host window there is no window at all, and no message.
    script = Script{};
    script.display = false;
    received.clear();
    EXPECT_EQ(make_window(), nullptr);
    EXPECT_TRUE(received.empty());
}

// The show keeps the screen saver off by refusing the question; it comes back when the window
// is no longer active.
TEST_F(Layer, ARefusedScreenSaverStaysOffWhileTheWindowIsActive) {
    refuse_screen_saver = true;
    const HWND window = make_window();
    ShowWindow(window, SW_SHOW);
    EXPECT_FALSE(script.screen_saver_allowed);
    win32::set_active(window, false);
    EXPECT_TRUE(script.screen_saver_allowed);
}

TEST_F(Layer, AltF4AndTheCloseButtonDestroyTheWindowByDefault) {
    HWND window = make_window();
    win32::post(window, WM_SYSKEYDOWN, VK_F4, 0x20000001);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    DispatchMessageA(&msg);
    EXPECT_EQ(win32::find_window(window), nullptr);

    window = make_window();
    received.clear();
    win32::post(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    DispatchMessageA(&msg);
    EXPECT_EQ(received[1].message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(win32::find_window(window), nullptr);
}

// The loop asks the backend for events first, then takes posted messages, WM_QUIT and timers by
// the backend's clock, and lets the backend idle when there is nothing.
TEST_F(Layer, TheLoopTakesMessagesByTheBackendsClockAndIdlesWhenEmpty) {
    const HWND window = make_window();
    ASSERT_EQ(SetTimer(window, 7, 10, nullptr), 1u);
    MSG msg{};
    script.calls.clear();
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(script.calls, (std::vector<std::string>{"pump"}));
    EXPECT_EQ(script.idles, (std::vector<long>{10}));

    script.clock += 25;
    PostQuitMessage(3);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(msg.wParam, 7u);
    // One tick however late, then none until the next period; a backend that moves its clock a
    // frame at a time makes every timer due at once.
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    win32::thread_queue().fire_timers(script.clock);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Layer, APopupMadeInTheDisplayModeCoversTheDisplayUntilTheModeEnds) {
    DEVMODEA mode{};
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmPelsWidth = 640;
    mode.dmPelsHeight = 480;
    mode.dmBitsPerPel = 8;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);
    mode.dmBitsPerPel = 16;
    mode.dmPelsWidth = 4000;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);
    mode.dmPelsWidth = 640;
    script.display = false;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);
    script.display = true;
    ASSERT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);

    const HWND popup = make_window(WS_POPUP);
    const HWND overlapped = make_window();
    EXPECT_TRUE(win32::find_window(popup)->covers_screen);
    EXPECT_FALSE(win32::find_window(overlapped)->covers_screen);
    // The program's client size, not the display's.
    EXPECT_EQ(win32::find_window(popup)->client_width, 320);
    script.calls.clear();
    ChangeDisplaySettingsA(nullptr, 0);
    EXPECT_FALSE(win32::find_window(popup)->covers_screen);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"uncover"}));
}

TEST_F(Layer, TheCursorShowsWhileItsCounterIsNotNegative) {
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_FALSE(script.cursor_shown);
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_FALSE(script.cursor_shown);
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_TRUE(script.cursor_shown);
}

TEST_F(Layer, MessageBoxesAreAskedOrAnsweredWithTheirFirstButton) {
    EXPECT_EQ(MessageBoxA(nullptr, "text", nullptr, MB_YESNO), IDNO);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"ask Error: text"}));
    testing::internal::CaptureStderr();
    EXPECT_EQ(win32::answer_unasked("Kelo GL", "Use Windowed Mode?", MB_YESNO, "no display"),
              IDYES);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Kelo GL: Use Windowed Mode?\n"
              "Kelo GL: cannot show a dialog (no display), answering Yes\n");
}

TEST_F(Layer, WglKeepsOneContextCurrentOnOneWindow) {
    const HWND window = make_window();
    const HDC dc = GetDC(window);
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.dwFlags = PFD_SUPPORT_OPENGL | PFD_DRAW_TO_WINDOW | PFD_DOUBLEBUFFER;
    pfd.cColorBits = 16;
    EXPECT_EQ(wglCreateContext(dc), nullptr) << "no context before the pixel format";
    ASSERT_TRUE(SetPixelFormat(dc, ChoosePixelFormat(dc, &pfd), &pfd));
    EXPECT_FALSE(SetPixelFormat(dc, ChoosePixelFormat(dc, &pfd), &pfd)) << "set once";
    const HGLRC context = wglCreateContext(dc);
    ASSERT_NE(context, nullptr);
    EXPECT_FALSE(SwapBuffers(dc)) << "nothing current";

    script.calls.clear();
    ASSERT_TRUE(wglMakeCurrent(dc, context));
    ASSERT_TRUE(wglMakeCurrent(dc, context));
    EXPECT_TRUE(SwapBuffers(dc));
    EXPECT_EQ(script.calls, (std::vector<std::string>{"current first", "current", "present"}));

    script.make_current_works = false;
    script.calls.clear();
    EXPECT_FALSE(wglMakeCurrent(dc, context));
    EXPECT_EQ(script.calls, (std::vector<std::string>{"current", "release"}));
    EXPECT_FALSE(SwapBuffers(dc)) << "a failed call leaves no context current";
    EXPECT_TRUE(wglDeleteContext(context));
    EXPECT_FALSE(wglDeleteContext(context));
}

// A window going away takes the current context off it before the host's window goes, and at the
// end of the process every context is deleted before the windows.
TEST_F(Layer, ContextsLetGoOfWindowsThatGo) {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.dwFlags = PFD_SUPPORT_OPENGL | PFD_DRAW_TO_WINDOW | PFD_DOUBLEBUFFER;
    const HWND window = make_window();
    const HDC dc = GetDC(window);
    ASSERT_TRUE(SetPixelFormat(dc, ChoosePixelFormat(dc, &pfd), &pfd));
    const HGLRC context = wglCreateContext(dc);
    ASSERT_TRUE(wglMakeCurrent(dc, context));
    script.calls.clear();
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_EQ(script.calls, (std::vector<std::string>{"release", "destroy"}));

    const HWND other = make_window();
    const HDC other_dc = GetDC(other);
    ASSERT_TRUE(SetPixelFormat(other_dc, ChoosePixelFormat(other_dc, &pfd), &pfd));
    ASSERT_TRUE(wglMakeCurrent(other_dc, context));
    EXPECT_NE(wglCreateContext(other_dc), nullptr);
    script.calls.clear();
    win32::release_windows();
    EXPECT_EQ(script.calls, (std::vector<std::string>{"release", "delete", "delete", "destroy"}));
    EXPECT_FALSE(wglDeleteContext(context)) << "deleted already";
}

// 16-bit mono at 8000 Hz with the samples given, in a block of exactly its size.
std::vector<std::uint8_t> sound_image(const std::vector<std::uint8_t>& samples) {
    return WavBuilder().riff().fmt(1, 1, 8000, 16).data(samples).riff_size_fits().build();
}

LPCSTR as_sound(const std::vector<std::uint8_t>& image) {
    return reinterpret_cast<LPCSTR>(image.data());
}

constexpr UINT show_flags = SND_ASYNC | SND_NODEFAULT | SND_MEMORY;

// The backend is handed the image's samples at its rate; a new sound stops the one playing first, a
// null pointer stops it, and an image without samples plays nothing.
TEST_F(Layer, SoundPlaysTheSamplesAndReplacesOrStopsThePlayingOne) {
    const std::vector<std::uint8_t> image = sound_image({1, 2, 3, 4, 5, 6});
    ASSERT_EQ(sndPlaySoundA(as_sound(image), show_flags), TRUE);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"stop", "play 3 at 8000"}));
    EXPECT_EQ(script.played, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(script.played_from, image.data() + image.size() - 6);

    script.calls.clear();
    const std::vector<std::uint8_t> next = sound_image({7, 8});
    ASSERT_EQ(sndPlaySoundA(as_sound(next), show_flags), TRUE);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"stop", "play 1 at 8000"}));

    script.calls.clear();
    EXPECT_EQ(sndPlaySoundA(nullptr, 0), TRUE);
    EXPECT_EQ(sndPlaySoundA(as_sound(sound_image({})), show_flags), TRUE);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"stop", "stop"}));
}

// What cannot be played is refused with FALSE before the host is asked to play it, and a host that
// cannot play leaves nothing playing.
TEST_F(Layer, SoundRefusesWhatItCannotPlay) {
    const std::vector<std::uint8_t> image = sound_image({1, 2});
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(sndPlaySoundA("song.wav", SND_ASYNC | SND_NODEFAULT), FALSE);
    EXPECT_EQ(sndPlaySoundA(as_sound(image), show_flags | SND_LOOP), FALSE);
    std::vector<std::uint8_t> not_pcm = image;
    not_pcm[20] = 3; // IEEE float
    EXPECT_EQ(sndPlaySoundA(as_sound(not_pcm), show_flags), FALSE);
    const std::vector<std::uint8_t> no_image = {'x'};
    EXPECT_EQ(sndPlaySoundA(as_sound(no_image), show_flags), FALSE);
    EXPECT_TRUE(script.calls.empty());

    script.play_works = false;
    EXPECT_EQ(sndPlaySoundA(as_sound(image), show_flags), FALSE);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"stop", "play 1 at 8000", "stop"}));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("sound: only in-memory images played once are supported"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("sound: cannot play the image: not a RIFF image"), std::string::npos)
        << said;
}

// Without SND_ASYNC the call returns once the host has played the sound, and stops it; a host that
// plays in the background without telling (the page) returns at once.
TEST_F(Layer, SoundWithoutAsyncWaitsUntilPlayed) {
    const std::vector<std::uint8_t> image = sound_image({1, 2});
    script.plays_for_asks = 3;
    ASSERT_EQ(sndPlaySoundA(as_sound(image), SND_MEMORY), TRUE);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"stop", "play 1 at 8000", "playing?",
                                                      "playing?", "playing?", "playing?", "stop"}));

    script.plays_for_asks = 0;
    script.calls.clear();
    ASSERT_EQ(sndPlaySoundA(as_sound(image), SND_MEMORY), TRUE);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"stop", "play 1 at 8000", "playing?"}));
    script.calls.clear();
    ASSERT_EQ(sndPlaySoundA(as_sound(image), show_flags), TRUE);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"stop", "play 1 at 8000"}));
}

} // namespace

// The scripted backend.
namespace backend {

DWORD tick_count() {
    return script.clock;
}

void pump_events() {
    script.calls.push_back("pump");
}

void idle(long ms_until_timer) {
    script.idles.push_back(ms_until_timer);
}

bool display_size(int* width, int* height) {
    *width = script.display_width;
    *height = script.display_height;
    return script.display;
}

bool create_window(win32::Window& window, const char*, int, int) {
    script.calls.push_back("create");
    window.native = &native_window;
    return script.display;
}

void destroy_window(win32::Window&) {
    script.calls.push_back("destroy");
}

void change_window(win32::Window&, win32::WindowChange change) {
    const char* const names[] = {"show",     "hide",    "raise",  "minimize",
                                 "maximize", "restore", "uncover"};
    script.calls.push_back(names[static_cast<int>(change)]);
}

void show_cursor(bool shown) {
    script.cursor_shown = shown;
}

void allow_screen_saver(bool allowed) {
    script.screen_saver_allowed = allowed;
}

void* create_context(win32::Window&) {
    return &native_context;
}

bool make_current(win32::Window* window, void* context, bool first_use) {
    script.calls.push_back(window == nullptr ? "release" : first_use ? "current first" : "current");
    return context == nullptr || script.make_current_works;
}

void delete_context(void*) {
    script.calls.push_back("delete");
}

bool present(win32::Window&, void*) {
    script.calls.push_back("present");
    return true;
}

int ask(const win32::Window*, const char* caption, const char* text, UINT) {
    script.calls.push_back(std::string("ask ") + caption + ": " + text);
    return script.answer;
}

bool play_sound(const win32::WavSamples& sound) {
    script.calls.push_back("play " + std::to_string(sound.frames) + " at " +
                           std::to_string(sound.rate));
    const std::size_t bytes = sound.frames * static_cast<std::size_t>(sound.channels) *
                              static_cast<std::size_t>(sound.bits / 8);
    script.played.assign(sound.data, sound.data + bytes);
    script.played_from = sound.data;
    script.playing_left = script.plays_for_asks;
    return script.play_works;
}

void stop_sound() {
    script.calls.push_back("stop");
    script.playing_left = 0;
}

bool sound_playing() {
    script.calls.push_back("playing?");
    return script.playing_left-- > 0;
}

void exit_process(UINT) {
    std::abort();
}

} // namespace backend
