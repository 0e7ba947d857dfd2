// Where a picture goes when a host shows it scaled on a surface of another size: a window that
// covers the display under a virtual mode, or one a host shows larger (fullscreen in a page).
#pragma once

namespace win32 {

struct PixelRect {
    int x;
    int y;
    int width;
    int height;
};

// The largest rectangle of the picture's aspect ratio that fits the surface, centred, in whole
// pixels; the rest of the surface shows black bars. Empty when either size is empty.
PixelRect letterbox(int picture_width, int picture_height, int surface_width, int surface_height);

// As letterbox, but with every pixel of the picture shown as the same square of surface pixels:
// the picture scaled by the largest whole number that fits. Where that whole number would leave
// the picture smaller than two thirds of the letterbox (a surface between one and a half and two
// times the picture, as on a phone held upright) or the picture does not fit once, the letterbox
// itself.
PixelRect sharp_letterbox(int picture_width, int picture_height, int surface_width,
                          int surface_height);

} // namespace win32
