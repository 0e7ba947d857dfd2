// The one place the program gets the Win32 API from: the real one on Windows, the subset the
// host layer supplies elsewhere.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <mmsystem.h>
#include <windows.h>
#else
#include "platform/linux/win32_subset.h"
#endif
