// A stand-in for the GL and GLU calls the program makes. Linked instead of the real libraries,
// it keeps every call with its exact arguments, so drawing code can be checked to the float.
// The GLU stand-ins sit in a file of their own (glu_recorder.cpp): a test that links a real GLU
// before this library records the GL calls that GLU makes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class GlOp {
    Begin,
    End,
    Vertex3f,
    Color3f,
    Translatef,
    Rotatef,
    PushMatrix,
    PopMatrix,
    LoadIdentity,
    Clear,
    ClearColor,
    ClearDepth,
    Viewport,
    MatrixMode,
    ShadeModel,
    Enable,
    Disable,
    DepthFunc,
    Hint,
    Perspective,
    NewQuadric,
    Sphere,
    Cylinder,
    Normal3f,
    MultMatrixd,
};

// One call. f holds float arguments in order, d double arguments, i integer arguments (enums,
// sizes, slices and stacks), quadric the quadric handed to a GLU call. glMultMatrixd keeps its
// matrix in gl_recorder::matrices, at index i[0].
struct GlCall {
    GlOp op;
    float f[4];
    double d[4];
    std::int64_t i[4];
    const void* quadric;
};

namespace gl_recorder {

// The calls since the last reset, in order.
extern std::vector<GlCall> calls;
// The matrices handed to glMultMatrixd since the last reset, 16 values each, column after column.
extern std::vector<std::vector<double>> matrices;
// When false the stand-ins do nothing but track the matrix depth (for timing the program's own
// code without the cost of recording).
extern bool recording;
// Model-view pushes minus pops since the last reset, and the lowest it went.
extern int matrix_depth;
extern int min_matrix_depth;

void reset();

// The calls of one kind, in order.
std::vector<GlCall> of(GlOp op);
std::size_t count(GlOp op);

const char* name(GlOp op);

// Appends a call of this kind with no arguments yet, for the stand-ins to fill in.
GlCall& record(GlOp op);

} // namespace gl_recorder
