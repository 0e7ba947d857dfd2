// Draws the program's icon from one of its own voxel sprites: the sprite seen from the front,
// each voxel a square of its colour, the empty voxels transparent. Writes it as an RGBA PNG of
// the given size (a multiple of 16, so that every voxel is the same number of pixels).
//
// Usage: make_icon SIZE OUT.png
#include "gfx/sprites.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <png.h>

int main(int argc, char** argv) {
    char* end = nullptr;
    const long size = argc == 3 ? std::strtol(argv[1], &end, 10) : 0;
    if (size < 16 || size > 1024 || size % 16 != 0 || *end != '\0') {
        std::fprintf(stderr, "usage: make_icon SIZE OUT.png (SIZE a multiple of 16 to 1024)\n");
        return 2;
    }
    const VoxelSprite& sprite = sprite_spotted_mushroom;
    const long voxel = size / 16;
    std::vector<png_byte> pixels(static_cast<std::size_t>(size * size * 4), 0);
    for (long y = 0; y < size; ++y) {
        for (long x = 0; x < size; ++x) {
            // The sprite's first row is the top of the picture, as a PNG's is.
            const std::uint8_t index = sprite.indices[16 * (y / voxel) + x / voxel];
            if (index == 0) {
                continue;
            }
            // The colour as the show draws it: through the packed form.
            const PackedColor color = pack_color(sprite.palette[index]);
            png_byte* pixel = &pixels[static_cast<std::size_t>((y * size + x) * 4)];
            pixel[0] = static_cast<png_byte>(color >> 16);
            pixel[1] = static_cast<png_byte>(color >> 8);
            pixel[2] = static_cast<png_byte>(color);
            pixel[3] = 255;
        }
    }

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(size);
    image.height = static_cast<png_uint_32>(size);
    image.format = PNG_FORMAT_RGBA;
    if (png_image_write_to_file(&image, argv[2], 0, pixels.data(), 0, nullptr) == 0) {
        std::fprintf(stderr, "make_icon: cannot write %s: %s\n", argv[2], image.message);
        return 1;
    }
    return 0;
}
