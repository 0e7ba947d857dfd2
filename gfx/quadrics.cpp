#include "gfx/sprites.h"

// Null until the program's start-up makes them with gluNewQuadric.
GLUquadric* quadric_main = nullptr;
GLUquadric* quadric_ring = nullptr;
GLUquadric* quadric_sphere = nullptr;
