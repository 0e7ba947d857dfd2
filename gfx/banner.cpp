#include "gfx/sprites.h"

#include "platform/gl.h"

namespace {

const int BANNER_ROWS = 8;
const int LETTER_COLUMNS = 7;
// Pixel pitch 2 with radius 0.8 leaves a gap of 0.4 between neighbouring spheres.
const double PIXEL_PITCH = 2.0;
const double SPHERE_RADIUS = 0.8;
const int SPHERE_SLICES = 8;
const int SPHERE_STACKS = 8;

} // namespace

// Every cell takes its own random depth of 0 to 9.995 toward the viewer, drawn before the cell
// is looked at, so a banner of n letters always consumes 56 n values of the generator whatever
// its letters are. The rows stay put in x and y: the lettering shimmers only in depth.
void draw_sphere_banner(const SphereBannerCell* grid, int letter_count) {
    const int columns = LETTER_COLUMNS * letter_count;
    const int cells = BANNER_ROWS * columns;
    glPushMatrix();
    {
        // The first column sits at 8 - 8 n, so the banner's middle is at x = 7 - n.
        glTranslatef(static_cast<float>(8.0 - 8.0 * letter_count), 0.0f, 0.0f);
        for (int i = 0; i < cells; ++i) {
            glPushMatrix();
            {
                const int row = i / columns;
                const int column = i % columns;
                const double jitter = (next_random() % 2000) / 200.0;
                // Row 0 is the top, at y = 14; row 7 sits on y = 0.
                glTranslatef(static_cast<float>(PIXEL_PITCH * column),
                             static_cast<float>(PIXEL_PITCH * (BANNER_ROWS - 1 - row)),
                             static_cast<float>(jitter));
                if (grid[i] == 1) {
                    gluSphere(quadric_sphere, SPHERE_RADIUS, SPHERE_SLICES, SPHERE_STACKS);
                }
            }
            glPopMatrix();
        }
    }
    glPopMatrix();
}
