#include "platform/win32/window_events.h"

#include <gtest/gtest.h>

namespace {

using win32::SizeEvent;

win32::Window window_of(int width, int height, bool covers_screen) {
    win32::Window window;
    window.client_width = width;
    window.client_height = height;
    window.covers_screen = covers_screen;
    return window;
}

TEST(WindowEvents, SizeChangesReportTheNewClientSizeOnce) {
    win32::Window window = window_of(640, 480, false);
    win32::SizeReport report{};
    ASSERT_TRUE(win32::size_report(SizeEvent::resized, 800, 600, false, &window, &report));
    EXPECT_EQ(report.kind, static_cast<WPARAM>(SIZE_RESTORED));
    EXPECT_EQ(report.width, 800);
    EXPECT_EQ(report.height, 600);
    EXPECT_EQ(window.client_width, 800);
    EXPECT_EQ(window.client_height, 600);
    // The same size again is no change.
    EXPECT_FALSE(win32::size_report(SizeEvent::resized, 800, 600, false, &window, &report));
    ASSERT_TRUE(win32::size_report(SizeEvent::resized, 1920, 1080, true, &window, &report));
    EXPECT_EQ(report.kind, static_cast<WPARAM>(SIZE_MAXIMIZED));
}

TEST(WindowEvents, AWindowCoveringTheScreenKeepsTheModesSize) {
    win32::Window window = window_of(640, 480, true);
    win32::SizeReport report{};
    EXPECT_FALSE(win32::size_report(SizeEvent::resized, 1920, 1080, false, &window, &report));
    EXPECT_EQ(window.client_width, 640);
    EXPECT_EQ(window.client_height, 480);
}

TEST(WindowEvents, MinimisingReportsZeroAndRestoringTheKeptSize) {
    win32::Window window = window_of(640, 480, false);
    win32::SizeReport report{};
    ASSERT_TRUE(win32::size_report(SizeEvent::minimized, 0, 0, false, &window, &report));
    EXPECT_EQ(report.kind, static_cast<WPARAM>(SIZE_MINIMIZED));
    EXPECT_EQ(report.width, 0);
    EXPECT_EQ(report.height, 0);
    EXPECT_FALSE(win32::size_report(SizeEvent::minimized, 0, 0, false, &window, &report));
    // What the window manager reports while the window is an icon is not the client size.
    EXPECT_FALSE(win32::size_report(SizeEvent::resized, 160, 24, false, &window, &report));

    ASSERT_TRUE(win32::size_report(SizeEvent::maximized, 0, 0, true, &window, &report));
    EXPECT_EQ(report.kind, static_cast<WPARAM>(SIZE_MAXIMIZED));
    EXPECT_EQ(report.width, 640);
    EXPECT_EQ(report.height, 480);
    // Restoring a window that is not minimised is left to the size change that follows.
    EXPECT_FALSE(win32::size_report(SizeEvent::restored, 0, 0, false, &window, &report));
}

} // namespace
