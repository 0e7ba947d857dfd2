#include "gfx/sprites.h"

std::uint32_t random_state = 1;

// A linear congruential generator; the state wraps modulo 2^32 and the high bits are returned.
int next_random() {
    random_state = random_state * 214013u + 2531011u;
    return static_cast<int>((random_state >> 16) & 0x7FFFu);
}
