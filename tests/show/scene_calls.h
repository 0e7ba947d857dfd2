// Reading a recorded frame: the calls of one matrix block, expected calls built by hand, and the
// calls a voxel sprite makes on its own, for comparing a scene's stream with them exactly.
#pragma once

#include "gfx/sprites.h"
#include "tests/support/gl_recorder.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace scene_calls {

typedef std::vector<GlCall> Calls;

GlCall push();
GlCall pop();
GlCall translate(float x, float y, float z);
GlCall rotate(float angle, float x, float y, float z);
GlCall color(float r, float g, float b);
GlCall cylinder(const void* quadric, double base, double top, double height, int slices,
                int stacks);

// Exact equality: the operation, every argument to the bit, and the quadric.
bool same_call(const GlCall& a, const GlCall& b);
std::string describe(const GlCall& call);
// Fails with the first difference and its position.
::testing::AssertionResult same_calls(const Calls& actual, const Calls& expected);

// The calls of every push/pop block that opens directly at calls[begin..end), each without its
// own push and pop. A block's nested pushes stay inside it.
std::vector<Calls> blocks(const Calls& calls, std::size_t begin, std::size_t end);

// What draw_voxel_sprite sends for this sprite and size, recorded on its own. The calls recorded
// so far are kept.
Calls sprite_calls(const VoxelSprite& sprite, float size);

// The same sequence followed by more calls.
Calls joined(std::initializer_list<Calls> parts);

} // namespace scene_calls
