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

} // namespace win32
