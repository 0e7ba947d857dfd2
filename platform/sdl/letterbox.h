// Where a picture goes when it is shown scaled on a surface of another size.
#pragma once

namespace sdl {

struct PixelRect {
    int x;
    int y;
    int width;
    int height;
};

// The largest rectangle of the picture's aspect ratio that fits the surface, centred, in whole
// pixels; the rest of the surface shows black bars. Empty when either size is empty.
PixelRect letterbox(int picture_width, int picture_height, int surface_width, int surface_height);

} // namespace sdl
