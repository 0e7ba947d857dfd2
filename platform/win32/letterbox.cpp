#include "platform/win32/letterbox.h"

#include <algorithm>
#include <cstdint>

namespace win32 {

PixelRect letterbox(int picture_width, int picture_height, int surface_width, int surface_height) {
    if (picture_width <= 0 || picture_height <= 0 || surface_width <= 0 || surface_height <= 0) {
        return PixelRect{0, 0, 0, 0};
    }
    const std::int64_t pw = picture_width;
    const std::int64_t ph = picture_height;
    const std::int64_t sw = surface_width;
    const std::int64_t sh = surface_height;
    int width = surface_width;
    int height = surface_height;
    // Compare the aspect ratios without dividing: pw/ph against sw/sh.
    if (pw * sh > sw * ph) {
        // Wider than the surface: full width, bars above and below.
        height = static_cast<int>((sw * ph + pw / 2) / pw);
    } else if (pw * sh < sw * ph) {
        // Narrower: full height, bars at the sides.
        width = static_cast<int>((sh * pw + ph / 2) / ph);
    }
    if (width < 1) {
        width = 1;
    }
    if (height < 1) {
        height = 1;
    }
    return PixelRect{(surface_width - width) / 2, (surface_height - height) / 2, width, height};
}

PixelRect sharp_letterbox(int picture_width, int picture_height, int surface_width,
                          int surface_height) {
    const PixelRect fit = letterbox(picture_width, picture_height, surface_width, surface_height);
    if (fit.width == 0) {
        return fit;
    }
    const std::int64_t scale =
        std::min(surface_width / picture_width, surface_height / picture_height);
    if (scale < 1 || 3 * scale * picture_width < 2 * static_cast<std::int64_t>(fit.width)) {
        return fit;
    }
    const int width = static_cast<int>(scale * picture_width);
    const int height = static_cast<int>(scale * picture_height);
    return PixelRect{(surface_width - width) / 2, (surface_height - height) / 2, width, height};
}

} // namespace win32
