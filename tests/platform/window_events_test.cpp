#include "platform/win32/window_events.h"

#include <gtest/gtest.h>

namespace {

SDL_WindowEvent window_event(Uint8 kind, int data1 = 0, int data2 = 0) {
    SDL_WindowEvent event{};
    event.type = SDL_WINDOWEVENT;
    event.event = kind;
    event.data1 = data1;
    event.data2 = data2;
    return event;
}

host::Window window_of(int width, int height, bool covers_screen) {
    host::Window window;
    window.client_width = width;
    window.client_height = height;
    window.covers_screen = covers_screen;
    return window;
}

TEST(WindowEvents, SizeChangesReportTheNewClientSizeOnce) {
    host::Window window = window_of(640, 480, false);
    host::SizeReport report{};
    ASSERT_TRUE(host::size_report(window_event(SDL_WINDOWEVENT_SIZE_CHANGED, 800, 600), false,
                                  &window, &report));
    EXPECT_EQ(report.kind, static_cast<WPARAM>(SIZE_RESTORED));
    EXPECT_EQ(report.width, 800);
    EXPECT_EQ(report.height, 600);
    EXPECT_EQ(window.client_width, 800);
    EXPECT_EQ(window.client_height, 600);
    // The same size again is no change.
    EXPECT_FALSE(host::size_report(window_event(SDL_WINDOWEVENT_SIZE_CHANGED, 800, 600), false,
                                   &window, &report));
    ASSERT_TRUE(host::size_report(window_event(SDL_WINDOWEVENT_SIZE_CHANGED, 1920, 1080), true,
                                  &window, &report));
    EXPECT_EQ(report.kind, static_cast<WPARAM>(SIZE_MAXIMIZED));
}

TEST(WindowEvents, AWindowCoveringTheScreenKeepsTheModesSize) {
    host::Window window = window_of(640, 480, true);
    host::SizeReport report{};
    EXPECT_FALSE(host::size_report(window_event(SDL_WINDOWEVENT_SIZE_CHANGED, 1920, 1080), false,
                                   &window, &report));
    EXPECT_EQ(window.client_width, 640);
    EXPECT_EQ(window.client_height, 480);
}

TEST(WindowEvents, MinimisingReportsZeroAndRestoringTheKeptSize) {
    host::Window window = window_of(640, 480, false);
    host::SizeReport report{};
    ASSERT_TRUE(
        host::size_report(window_event(SDL_WINDOWEVENT_MINIMIZED), false, &window, &report));
    EXPECT_EQ(report.kind, static_cast<WPARAM>(SIZE_MINIMIZED));
    EXPECT_EQ(report.width, 0);
    EXPECT_EQ(report.height, 0);
    EXPECT_FALSE(
        host::size_report(window_event(SDL_WINDOWEVENT_MINIMIZED), false, &window, &report));
    // What the window manager reports while the window is an icon is not the client size.
    EXPECT_FALSE(host::size_report(window_event(SDL_WINDOWEVENT_SIZE_CHANGED, 160, 24), false,
                                   &window, &report));

    ASSERT_TRUE(host::size_report(window_event(SDL_WINDOWEVENT_MAXIMIZED), true, &window, &report));
    EXPECT_EQ(report.kind, static_cast<WPARAM>(SIZE_MAXIMIZED));
    EXPECT_EQ(report.width, 640);
    EXPECT_EQ(report.height, 480);
    // Restoring a window that is not minimised is left to the size change that follows.
    EXPECT_FALSE(
        host::size_report(window_event(SDL_WINDOWEVENT_RESTORED), false, &window, &report));
    EXPECT_FALSE(
        host::size_report(window_event(SDL_WINDOWEVENT_FOCUS_GAINED), false, &window, &report));
}

} // namespace
