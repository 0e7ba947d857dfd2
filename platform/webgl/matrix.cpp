#include "platform/webgl/matrix.h"

#include <cmath>

namespace webgl {

namespace {

const double PI = 3.14159265358979323846;

// Element (row, column) of a matrix stored column after column.
float& at(Matrix& m, int row, int column) {
    return m.m[column * 4 + row];
}

} // namespace

Matrix identity_matrix() {
    return Matrix{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
}

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix p;
    for (int row = 0; row < 4; ++row) {
        const float a0 = a.m[row];
        const float a1 = a.m[4 + row];
        const float a2 = a.m[8 + row];
        const float a3 = a.m[12 + row];
        for (int column = 0; column < 4; ++column) {
            const float* b_column = &b.m[column * 4];
            p.m[column * 4 + row] =
                a0 * b_column[0] + a1 * b_column[1] + a2 * b_column[2] + a3 * b_column[3];
        }
    }
    return p;
}

void translate(Matrix& m, float x, float y, float z) {
    for (int row = 0; row < 4; ++row) {
        m.m[12 + row] = m.m[row] * x + m.m[4 + row] * y + m.m[8 + row] * z + m.m[12 + row];
    }
}

void rotate(Matrix& m, float degrees, float x, float y, float z) {
    // The angle in radians is rounded to float before its sine and cosine are taken in float.
    const float radians = static_cast<float>(degrees * PI / 180.0);
    const float s = std::sin(radians);
    const float c = std::cos(radians);
    Matrix r = identity_matrix();
    if (x == 0.0f && y == 0.0f && z != 0.0f) {
        at(r, 0, 0) = c;
        at(r, 1, 1) = c;
        at(r, 0, 1) = z < 0.0f ? s : -s;
        at(r, 1, 0) = z < 0.0f ? -s : s;
    } else if (x == 0.0f && z == 0.0f && y != 0.0f) {
        at(r, 0, 0) = c;
        at(r, 2, 2) = c;
        at(r, 0, 2) = y < 0.0f ? -s : s;
        at(r, 2, 0) = y < 0.0f ? s : -s;
    } else if (y == 0.0f && z == 0.0f && x != 0.0f) {
        at(r, 1, 1) = c;
        at(r, 2, 2) = c;
        at(r, 1, 2) = x < 0.0f ? s : -s;
        at(r, 2, 1) = x < 0.0f ? -s : s;
    } else {
        // Any other axis, normalised; an axis too short to have a direction rotates nothing.
        const float length = std::sqrt(x * x + y * y + z * z);
        if (length <= 1.0e-4f) {
            return;
        }
        x /= length;
        y /= length;
        z /= length;
        const float xx = x * x;
        const float yy = y * y;
        const float zz = z * z;
        const float xy = x * y;
        const float yz = y * z;
        const float zx = z * x;
        const float xs = x * s;
        const float ys = y * s;
        const float zs = z * s;
        const float one_c = 1.0f - c;
        at(r, 0, 0) = (one_c * xx) + c;
        at(r, 0, 1) = (one_c * xy) - zs;
        at(r, 0, 2) = (one_c * zx) + ys;
        at(r, 1, 0) = (one_c * xy) + zs;
        at(r, 1, 1) = (one_c * yy) + c;
        at(r, 1, 2) = (one_c * yz) - xs;
        at(r, 2, 0) = (one_c * zx) - ys;
        at(r, 2, 1) = (one_c * yz) + xs;
        at(r, 2, 2) = (one_c * zz) + c;
    }
    m = multiply(m, r);
}

} // namespace webgl
