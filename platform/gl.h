// The one place the program gets OpenGL 1.1 and GLU from (after the Win32 header, which the
// Windows GL headers need).
#pragma once

#include "platform/win32.h"

#include <GL/gl.h>
#include <GL/glu.h>
