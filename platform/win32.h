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
// The Win32, GL and WinMM functions are declared without __declspec(dllimport): the program
// calls each through its import library's thunk (one jump more), and the unit tests' stand-ins
// for them can take their place in the link. With dllimport every call would go through an
// __imp_ pointer, which GNU ld takes only from the import library, never from a local definition.
#ifndef DECLSPEC_IMPORT
#ifdef _WINNT_
#error "platform/win32.h must come before any Windows header"
#endif
#define DECLSPEC_IMPORT
#endif
#include <windows.h>
// WinMM after the base header, whose types it uses (WIN32_LEAN_AND_MEAN leaves it out of it).
#include <mmsystem.h>
#else
#include "platform/win32_subset.h"
#endif
