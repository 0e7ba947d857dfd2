#include "tests/show/scene_calls.h"

#include <sstream>

namespace scene_calls {

namespace {

GlCall blank(GlOp op) {
    return GlCall{op, {}, {}, {}, nullptr};
}

} // namespace

GlCall push() {
    return blank(GlOp::PushMatrix);
}

GlCall pop() {
    return blank(GlOp::PopMatrix);
}

GlCall translate(float x, float y, float z) {
    GlCall call = blank(GlOp::Translatef);
    call.f[0] = x;
    call.f[1] = y;
    call.f[2] = z;
    return call;
}

GlCall rotate(float angle, float x, float y, float z) {
    GlCall call = blank(GlOp::Rotatef);
    call.f[0] = angle;
    call.f[1] = x;
    call.f[2] = y;
    call.f[3] = z;
    return call;
}

GlCall color(float r, float g, float b) {
    GlCall call = blank(GlOp::Color3f);
    call.f[0] = r;
    call.f[1] = g;
    call.f[2] = b;
    return call;
}

GlCall cylinder(const void* quadric, double base, double top, double height, int slices,
                int stacks) {
    GlCall call = blank(GlOp::Cylinder);
    call.quadric = quadric;
    call.d[0] = base;
    call.d[1] = top;
    call.d[2] = height;
    call.i[0] = slices;
    call.i[1] = stacks;
    return call;
}

bool same_call(const GlCall& a, const GlCall& b) {
    if (a.op != b.op || a.quadric != b.quadric) {
        return false;
    }
    for (int k = 0; k < 4; ++k) {
        if (a.f[k] != b.f[k] || a.d[k] != b.d[k] || a.i[k] != b.i[k]) {
            return false;
        }
    }
    return true;
}

std::string describe(const GlCall& call) {
    std::ostringstream text;
    text.precision(9);
    text << gl_recorder::name(call.op) << " f(" << call.f[0] << ", " << call.f[1] << ", "
         << call.f[2] << ", " << call.f[3] << ") d(" << call.d[0] << ", " << call.d[1] << ", "
         << call.d[2] << ") i(" << call.i[0] << ", " << call.i[1] << ") q " << call.quadric;
    return text.str();
}

::testing::AssertionResult same_calls(const Calls& actual, const Calls& expected) {
    const std::size_t common = actual.size() < expected.size() ? actual.size() : expected.size();
    for (std::size_t k = 0; k < common; ++k) {
        if (!same_call(actual[k], expected[k])) {
            return ::testing::AssertionFailure() << "call " << k << " is " << describe(actual[k])
                                                 << ", expected " << describe(expected[k]);
        }
    }
    if (actual.size() != expected.size()) {
        return ::testing::AssertionFailure()
               << actual.size() << " calls, expected " << expected.size();
    }
    return ::testing::AssertionSuccess();
}

std::vector<Calls> blocks(const Calls& calls, std::size_t begin, std::size_t end) {
    std::vector<Calls> result;
    int depth = 0;
    for (std::size_t k = begin; k < end; ++k) {
        const GlOp op = calls[k].op;
        if (op == GlOp::PushMatrix && depth++ == 0) {
            result.emplace_back();
            continue;
        }
        if (op == GlOp::PopMatrix && --depth == 0) {
            continue;
        }
        if (depth > 0) {
            result.back().push_back(calls[k]);
        }
    }
    return result;
}

Calls sprite_calls(const VoxelSprite& sprite, float size) {
    Calls kept;
    kept.swap(gl_recorder::calls);
    draw_voxel_sprite(sprite, size);
    Calls drawn;
    drawn.swap(gl_recorder::calls);
    gl_recorder::calls.swap(kept);
    return drawn;
}

Calls joined(std::initializer_list<Calls> parts) {
    Calls result;
    for (const Calls& part : parts) {
        result.insert(result.end(), part.begin(), part.end());
    }
    return result;
}

} // namespace scene_calls
