#include "platform/win32/letterbox.h"

#include <gtest/gtest.h>

namespace {

void expect_rect(const win32::PixelRect& rect, int x, int y, int width, int height) {
    EXPECT_EQ(rect.x, x);
    EXPECT_EQ(rect.y, y);
    EXPECT_EQ(rect.width, width);
    EXPECT_EQ(rect.height, height);
}

TEST(Letterbox, SameShapeFillsTheSurface) {
    expect_rect(win32::letterbox(640, 480, 1024, 768), 0, 0, 1024, 768);
    expect_rect(win32::letterbox(640, 480, 640, 480), 0, 0, 640, 480);
    // A HiDPI window: twice the pixels.
    expect_rect(win32::letterbox(640, 480, 1280, 960), 0, 0, 1280, 960);
}

TEST(Letterbox, WideScreensGetBarsAtTheSides) {
    // 4:3 on 16:9: 1440 wide, 240 black on each side.
    expect_rect(win32::letterbox(640, 480, 1920, 1080), 240, 0, 1440, 1080);
    // 4:3 on 16:10.
    expect_rect(win32::letterbox(640, 480, 1280, 800), 106, 0, 1067, 800);
}

TEST(Letterbox, TallScreensGetBarsAboveAndBelow) {
    // 4:3 on 5:4.
    expect_rect(win32::letterbox(640, 480, 1280, 1024), 0, 32, 1280, 960);
    // A portrait screen.
    expect_rect(win32::letterbox(640, 480, 768, 1024), 0, 224, 768, 576);
}

TEST(Letterbox, NothingToShowOnAnEmptySurface) {
    expect_rect(win32::letterbox(640, 480, 0, 0), 0, 0, 0, 0);
    expect_rect(win32::letterbox(0, 480, 1024, 768), 0, 0, 0, 0);
    // A sliver of a window still gets a picture at least a pixel high.
    expect_rect(win32::letterbox(640, 480, 1000, 1), 499, 0, 1, 1);
}

TEST(Letterbox, LargeSurfacesDoNotOverflow) {
    expect_rect(win32::letterbox(65535, 1, 32768, 32768), 0, 16383, 32768, 1);
    expect_rect(win32::letterbox(640, 480, 30720, 17280), 3840, 0, 23040, 17280);
}

TEST(SharpLetterbox, WholeNumberScalesKeepEveryPixelSquare) {
    // A window of twice the pixels (a device-pixel ratio of 2), and one of three.
    expect_rect(win32::sharp_letterbox(640, 480, 1280, 960), 0, 0, 1280, 960);
    expect_rect(win32::sharp_letterbox(640, 480, 1920, 1440), 0, 0, 1920, 1440);
    // A 16:9 screen: twice, with bars all round, rather than 2.25 times.
    expect_rect(win32::sharp_letterbox(640, 480, 1920, 1080), 320, 60, 1280, 960);
    // One and a half times the picture: once, two thirds of the letterbox exactly.
    expect_rect(win32::sharp_letterbox(640, 480, 960, 720), 160, 120, 640, 480);
    // Just under three times: twice.
    expect_rect(win32::sharp_letterbox(640, 480, 1919, 1439), 319, 239, 1280, 960);
}

TEST(SharpLetterbox, FillsTheLetterboxWhereNoWholeNumberFitsWell) {
    // A phone held upright (390 CSS pixels at a ratio of 3): once would fill barely half.
    expect_rect(win32::sharp_letterbox(640, 480, 1170, 900), 0, 11, 1170, 878);
    expect_rect(win32::sharp_letterbox(640, 480, 1366, 768), 171, 0, 1024, 768);
    // Smaller than the picture.
    expect_rect(win32::sharp_letterbox(640, 480, 320, 240), 0, 0, 320, 240);
    expect_rect(win32::sharp_letterbox(640, 480, 0, 0), 0, 0, 0, 0);
}

} // namespace
