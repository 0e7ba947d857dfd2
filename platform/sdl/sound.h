// WinMM's sndPlaySoundA for Linux, over SDL2 audio (declared in platform/win32/win32_subset.h).
//
// What it supports:
// - SND_MEMORY images only: the pointer is a whole RIFF/WAVE image in memory, read by SDL's WAV
//   reader (PCM of 8 to 32 bits, float, ADPCM, a-law, mu-law; SDL converts for the device). File
//   names and aliases are not played.
// - SND_ASYNC starts the sound in the background and returns at once; without it the call
//   returns when the sound has played. SND_NODEFAULT is what happens anyway: there is no default
//   sound. SND_LOOP is not supported. A null pointer stops the sound that is playing.
// - The sound plays once, from SDL's copy of the samples: the image may change or go once the
//   call has returned. A new sound replaces the one playing.
// - FALSE, with one line on standard error, when the image cannot be played (not a RIFF/WAVE
//   image, a chunk cut short or past the RIFF size, a format SDL cannot read) or no audio device
//   can be opened; the caller then simply goes on in silence. Nothing past the 8 + RIFF size
//   bytes the image declares is read, and a malformed image is refused before any device opens.
// The audio subsystem is brought up on its own (SDL_InitSubSystem), independent of the video.
#pragma once

// Stops the sound, closes the audio device and shuts the audio subsystem down; ExitProcess and
// the host's teardown call it so that the audio thread ends before the process does. Safe to
// call at any time, and again.
void close_sound();

// True from a successful sndPlaySoundA until the last of the image has been handed to the
// device (or the sound is stopped).
bool sound_playing();
