#include "gfx/sprites.h"
