// The desktop's sound: the samples sndPlaySoundA hands over (its rules are the layer's,
// platform/win32/sound.cpp) played once through an SDL audio device, whatever format the hardware
// wants. The audio subsystem is brought up on its own (SDL_InitSubSystem), independent of the
// video, when the first sound plays.
#pragma once

// The backend's clock in milliseconds (GetTickCount): the monotonic clock, except that from the
// start of a sound it stands until the sound's first sample is heard, and then follows the sound
// as heard (heard_clock.h).
double clock_ms();

// Stops the sound, closes the audio device and shuts the audio subsystem down; ExitProcess and
// the host's teardown call it so that the audio thread ends before the process does. Safe to
// call at any time, and again.
void close_sound();
