#include "gfx/sprites.h"

#include "platform/gl.h"

void unpack_color(PackedColor packed, float brightness, ColorRgb* out) {
    const double scale = static_cast<double>(brightness);
    out->r = static_cast<float>(static_cast<double>((packed >> 16) & 0xFFu) / 255.0 * scale);
    out->g = static_cast<float>(static_cast<double>((packed >> 8) & 0xFFu) / 255.0 * scale);
    out->b = static_cast<float>(static_cast<double>(packed & 0xFFu) / 255.0 * scale);
}

namespace {

// 255 x component, truncated toward zero: every k/255 comes back as k, anything between two
// such steps falls to the lower one. A component outside 0..1 (none in the program's data) is
// held to 0..255 so it cannot spill into the neighbouring channel.
PackedColor to_channel(float component) {
    const double scaled = static_cast<double>(component) * 255.0;
    if (!(scaled > 0.0)) {
        return 0;
    }
    if (scaled >= 255.0) {
        return 255;
    }
    return static_cast<PackedColor>(scaled);
}

} // namespace

PackedColor pack_color(const ColorRgb& color) {
    return to_channel(color.r) << 16 | to_channel(color.g) << 8 | to_channel(color.b);
}

void set_gl_color(const ColorRgb& color) {
    glColor3f(color.r, color.g, color.b);
}

void set_gl_color_packed(PackedColor color) {
    ColorRgb rgb;
    unpack_color(color, 1.0f, &rgb);
    glColor3f(rgb.r, rgb.g, rgb.b);
}

void draw_cube(float x, float y, float size, PackedColor color) {
    ColorRgb rgb;
    unpack_color(color, 1.0f, &rgb);
    set_gl_color(rgb);

    const float x0 = x;
    const float x1 = static_cast<float>(static_cast<double>(x) + static_cast<double>(size));
    const float y0 = y;
    const float y1 = static_cast<float>(static_cast<double>(y) + static_cast<double>(size));
    const float z0 = 0.0f;
    const float z1 = size;

    // Each face counter-clockwise seen from outside the cube.
    glBegin(GL_QUADS);
    {
        // Top, y = y1.
        glVertex3f(x1, y1, z0);
        glVertex3f(x0, y1, z0);
        glVertex3f(x0, y1, z1);
        glVertex3f(x1, y1, z1);
        // Bottom, y = y0.
        glVertex3f(x1, y0, z1);
        glVertex3f(x0, y0, z1);
        glVertex3f(x0, y0, z0);
        glVertex3f(x1, y0, z0);
        // Front, z = z1, toward the viewer.
        glVertex3f(x1, y1, z1);
        glVertex3f(x0, y1, z1);
        glVertex3f(x0, y0, z1);
        glVertex3f(x1, y0, z1);
        // Back, z = z0.
        glVertex3f(x1, y0, z0);
        glVertex3f(x0, y0, z0);
        glVertex3f(x0, y1, z0);
        glVertex3f(x1, y1, z0);
        // Left, x = x0.
        glVertex3f(x0, y1, z1);
        glVertex3f(x0, y1, z0);
        glVertex3f(x0, y0, z0);
        glVertex3f(x0, y0, z1);
        // Right, x = x1.
        glVertex3f(x1, y1, z0);
        glVertex3f(x1, y1, z1);
        glVertex3f(x1, y0, z1);
        glVertex3f(x1, y0, z0);
    }
    glEnd();
}

void draw_voxel(int column, int row, float size, PackedColor color) {
    const float x = static_cast<float>(static_cast<double>(column) * static_cast<double>(size));
    const float y = static_cast<float>(static_cast<double>(row) * static_cast<double>(size));
    draw_cube(x, y, size, color);
}
