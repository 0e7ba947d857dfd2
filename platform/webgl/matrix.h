// 4 x 4 float matrices as OpenGL keeps them (column after column), and the operations of its
// matrix stack, rounded exactly as Mesa rounds them: every product and sum in float, the
// rotation's sine and cosine in float. glGetFloatv on Mesa returns the very same bits.
#pragma once

namespace webgl {

struct Matrix {
    float m[16];
};

Matrix identity_matrix();

// a × b: b is applied to a vertex first.
Matrix multiply(const Matrix& a, const Matrix& b);

// m × translation(x, y, z).
void translate(Matrix& m, float x, float y, float z);

// m × rotation by `degrees` about the axis (x, y, z).
void rotate(Matrix& m, float degrees, float x, float y, float z);

} // namespace webgl
