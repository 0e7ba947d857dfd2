// A silent sound player, for builds without the SDL one: the show runs without its soundtrack.
#include "platform/win32.h"

void close_sound();

BOOL sndPlaySoundA(LPCSTR, UINT) {
    return FALSE;
}

void close_sound() {}
