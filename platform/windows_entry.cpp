// The Windows executable's own unit. Its entry point is the program's WinMain (app/main.cpp),
// which sits in the solid_app archive; MinGW's start-up code asks for WinMain only after the
// archive has been searched, so naming it here is what takes app/main.cpp into the link.
#include "platform/win32.h"

using WindowsEntry = int(WINAPI*)(HINSTANCE, HINSTANCE, LPSTR, int);
extern const WindowsEntry windows_entry;
const WindowsEntry windows_entry = &WinMain;
